#pragma once

#include "cli/song_options.h"
#include "compiler/compile_song.h"

#include <string>
#include <vector>

// What zorbel-cli play hands to the sound module (zorbel-cli-audio.so), which holds everything
// that needs Qt. Keeping Qt out of zorbel-cli itself saves every render, dump and check the
// time and memory of loading it.
namespace zb::cli {

struct TPlayOptions {
    std::vector<std::string> songs;
    TSongOptions song;
    compiler::TDrumGrid drums;
    std::string prgDir;
    std::string wavDir;
    std::string destDir;
    bool defaultTo0 = true;
    bool legacyMode = false;
    compiler::TCompileOptions controls;
    bool record = false;
    bool saturate = true;
    bool noSaturate = false;
    int device = -1;
    int volume = 10;
    int balance = 50;
};

// The module's entry points, looked up by these names.
using TPlaySongsFunction = int (*)(TPlayOptions* options);
using TListDevicesFunction = int (*)();
inline constexpr const char* kAudioModule = "zorbel-cli-audio.so";
inline constexpr const char* kPlaySongsSymbol = "zbPlaySongs";
inline constexpr const char* kListDevicesSymbol = "zbListDevices";

} // namespace zb::cli
