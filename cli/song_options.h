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
    std::string mute;  // slots, "10,11"
    std::string solo;  // slots
    std::string tempo; // "80%" or "80"
    int transpose = 0;

    void add(CLI::App& cmd);
    CLI::Option* prgOption = nullptr;
    // Resolves the options into compile settings; false with a message on stderr for a malformed
    // drum list. Directories given are made absolute: relative names inside patches are resolved
    // against the patch directory, the command line's against where the user is.
    bool apply(compiler::TDrumGrid& grid, std::string& prg, bool& defaultTo0, bool& legacyMode,
               compiler::TCompileOptions& controls) const;
};

// Parses the musician's controls of the command line into compile options; false with a
// message for a slot outside 1..16 or a speed outside 25%..400%.
bool parseControls(const std::string& mute, const std::string& solo, const std::string& tempo,
                   int transpose, compiler::TCompileOptions& controls, std::string& problem);

// Parses a drum list: comma-separated TRACK:CHANNEL cells, "ALL" for every track or channel
// ("ALL:10,2:ALL"). Returns false with a message for a malformed list.
bool parseDrumList(const std::string& text, compiler::TDrumGrid& grid, std::string& problem);

} // namespace zb::cli
