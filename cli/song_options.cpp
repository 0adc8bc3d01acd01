#include "cli/song_options.h"

#include "cli/command.h"

#include <array>
#include <charconv>
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

namespace {

// A comma-separated list of slots 1..16 ("10,11").
bool parseSlots(const std::string& text, std::array<bool, compiler::kSlotCount>& slots,
                std::string& problem) {
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        int slot = 0;
        const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), slot);
        if (error != std::errc() || end != item.data() + item.size() || slot < 1 ||
            slot > compiler::kSlotCount) {
            problem = "a channel is 1 to 16, not \"" + item + "\"";
            return false;
        }
        slots[static_cast<std::size_t>(slot - 1)] = true;
    }
    return true;
}

} // namespace

bool parseControls(const std::string& mute, const std::string& solo, const std::string& tempo,
                   int transpose, compiler::TCompileOptions& controls, std::string& problem) {
    using compiler::TCompileOptions;
    controls = {};
    if (!parseSlots(mute, controls.muted, problem) || !parseSlots(solo, controls.soloed, problem))
        return false;
    if (!tempo.empty()) {
        const std::string digits = tempo.back() == '%' ? tempo.substr(0, tempo.size() - 1) : tempo;
        int percent = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), percent);
        if (error != std::errc() || end != digits.data() + digits.size() || digits.empty() ||
            percent < TCompileOptions::kMinTempoPercent ||
            percent > TCompileOptions::kMaxTempoPercent) {
            problem = "the speed is 25% to 400%, not \"" + tempo + "\"";
            return false;
        }
        controls.tempoPercent = percent;
    }
    controls.transpose = transpose;
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
    cmd.add_option("--mute", mute, "Leave out these channels, as 10,11 (1-16)");
    cmd.add_option("--solo", solo, "Play only these channels, as 1 or 1,2 (1-16)");
    cmd.add_option("--tempo", tempo, "Speed in percent of the song's, 25%-400% (default 100%)");
    cmd.add_option("--transpose", transpose,
                   "Semitones to move every note of the melodic channels, -24 to 24; notes moved "
                   "off the keyboard are left out")
        ->check(CLI::Range(-compiler::TCompileOptions::kMaxTranspose,
                           compiler::TCompileOptions::kMaxTranspose));
}

bool TSongOptions::apply(compiler::TDrumGrid& grid, std::string& prg, bool& defaultTo0,
                         bool& legacyMode, compiler::TCompileOptions& controls) const {
    std::string problem;
    if (!parseDrumList(drums, grid, problem)) {
        std::cerr << "zorbel-cli: --drums: " << problem << "\n";
        return false;
    }
    if (!parseControls(mute, solo, tempo, transpose, controls, problem)) {
        std::cerr << "zorbel-cli: " << problem << "\n";
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
