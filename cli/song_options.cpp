#include "cli/song_options.h"

#include "cli/command.h"

#include <filesystem>
#include <iostream>
#include <sstream>

namespace zb::cli {

namespace {

std::string cell(const std::string& text) {
    return text == "ALL" || text == "all" ? "-1" : text;
}

} // namespace

bool parseDrumList(const std::string& text, compiler::TDrumGrid& grid, std::string& problem) {
    grid.clear();
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        const auto colon = item.find(':');
        if (item.empty() || colon == std::string::npos) {
            problem = "a drum cell is TRACK:CHANNEL, not \"" + item + "\"";
            return false;
        }
        grid.push_back({cell(item.substr(0, colon)), cell(item.substr(colon + 1))});
    }
    return true;
}

void TSongOptions::add(CLI::App& cmd) {
    prgOption = cmd.add_option(
        "--prg", prgDir,
        "Directory of the PRG patch files (default: PRG beside the program; \"\" for the current "
        "directory)");
    cmd.add_option("--drums", drums,
                   "Drum channels as TRACK:CHANNEL cells, ALL for every one (default ALL:10)");
    cmd.add_flag("--no-default-to-0", noDefaultTo0,
                 "Do not fall back to program 0 when a patch file is missing");
    cmd.add_flag("--legacy", legacy, "Use the legacy level formulas");
}

bool TSongOptions::apply(compiler::TDrumGrid& grid, std::string& prg, bool& defaultTo0,
                         bool& legacyMode) const {
    std::string problem;
    if (!parseDrumList(drums, grid, problem)) {
        std::cerr << "zorbel-cli: --drums: " << problem << "\n";
        return false;
    }
    if (prgOption == nullptr || prgOption->count() == 0)
        prg = (dataDir() / "PRG").string();
    else
        prg = prgDir.empty() ? std::string() : std::filesystem::absolute(prgDir).string();
    defaultTo0 = !noDefaultTo0;
    legacyMode = legacy;
    return true;
}

} // namespace zb::cli
