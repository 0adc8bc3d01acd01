#pragma once

// Modules of zorbel-cli: the sound output (with Qt) and the SoundFont import live in shared
// objects beside the executable and are loaded only by the commands that need them, so that
// rendering, dumping and checking start without them.
namespace zb::cli {

// The entry point name of module file (in the program directory), loaded on first use and kept
// until the process ends. nullptr after telling the user on stderr that what is not available.
void* moduleSymbol(const char* file, const char* name, const char* what);

} // namespace zb::cli
