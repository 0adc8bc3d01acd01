#pragma once

#include "compiler/compile_song.h"

#include <ostream>
#include <string>

namespace zb::cli {

struct TDumpOptions {
    std::string songFile;
    std::string prgDir;
    compiler::TDrumGrid drums;
    bool defaultTo0 = true;
    bool legacyMode = false;
    compiler::TCompileOptions controls;
    bool summary = false; // only the song length and the counts, not every sample and voice
};

// Compiles the song and prints it as JSON ("zorbel-song/1"), or the compilation's error as JSON.
// Returns the exit status: 0 on success, 1 on a compilation error.
int dumpSong(const TDumpOptions& options, std::ostream& out);

} // namespace zb::cli
