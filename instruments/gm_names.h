#pragma once

#include <string>
#include <string_view>

// The names General MIDI gives the programs of melodic channels, and the names of the common
// drum kits, for what a song's channels play.
namespace zb::instruments {

// "Acoustic Grand Piano" for program 0 ... "Gunshot" for 127; empty outside 0..127.
std::string_view gmProgramName(int program);

// "Standard" for kit 0, the kits GS and GM2 name ("Room", "Power", "Electronic", "TR-808",
// "Jazz", "Brush", "Orchestra", "SFX"), "Kit N" for the others.
std::string gmDrumKitName(int program);

// What a channel plays with a program: its General MIDI name, or its kit's name + " kit".
std::string gmPlayedName(int program, bool isDrum);

} // namespace zb::instruments
