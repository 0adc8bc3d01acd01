#pragma once

#include <string>

// What zorbel-cli import-sf2 hands to the import module (zorbel-cli-import.so), which holds
// the SoundFont import.
namespace zb::cli {

struct TImportArgs {
    std::string font;
    std::string outDir;
    int bank = 0;
    int drumBank = 128;
};

// The module's entry point, looked up by this name; returns the exit status.
using TImportFunction = int (*)(const TImportArgs* args);
inline constexpr const char* kImportModule = "zorbel-cli-import.so";
inline constexpr const char* kImportSymbol = "zbImportSoundFont";

} // namespace zb::cli
