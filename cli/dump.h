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
};

// Parses the --drums list: comma-separated TRACK:CHANNEL cells, "ALL" for every track or channel
// ("ALL:10,2:ALL"). Returns false with a message for a malformed list.
bool parseDrumList(const std::string& text, compiler::TDrumGrid& grid, std::string& problem);

// Compiles the song and prints it as JSON ("zorbel-song/1"), or the compilation's error as JSON.
// Returns the exit status: 0 on success, 1 on a compilation error.
int dumpSong(const TDumpOptions& options, std::ostream& out);

} // namespace zb::cli
