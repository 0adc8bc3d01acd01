#pragma once

#include "compiler/compile_song.h"

#include <CLI/CLI.hpp>

#include <string>

namespace zb::cli {

// The options of every command that compiles songs.
struct TSongOptions {
    std::string prgDir;
    std::string drums = "ALL:10";
    bool noDefaultTo0 = false;
    bool legacy = false;

    void add(CLI::App& cmd);
    CLI::Option* prgOption = nullptr;
    // Resolves the options into compile settings; false with a message on stderr for a malformed
    // drum list. Directories given are made absolute: relative names inside patches are resolved
    // against the patch directory, the command line's against where the user is.
    bool apply(compiler::TDrumGrid& grid, std::string& prg, bool& defaultTo0,
               bool& legacyMode) const;
};

// Parses a drum list: comma-separated TRACK:CHANNEL cells, "ALL" for every track or channel
// ("ALL:10,2:ALL"). Returns false with a message for a malformed list.
bool parseDrumList(const std::string& text, compiler::TDrumGrid& grid, std::string& problem);

} // namespace zb::cli
