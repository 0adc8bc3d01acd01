#pragma once

#include <functional>
#include <string>
#include <vector>

// SoundFont import: turns the presets of one melodic bank and one drum bank of a SoundFont 2
// file into PRG patch files and the WAV samples they name, in OUTDIR/PRG and OUTDIR/WAV.
//
// Every written line has been parsed back with the patch parser, and its positions lie inside
// its WAV file. Failures (unreadable or inconsistent font, unwritable directory) throw
// TImportError (importer/sound_font.h) before or while files are written.
namespace zb::importer {

struct TImportOptions {
    int bank = 0;       // melodic presets: <program>.PRG
    int drumBank = 128; // drum kits: D<program>.PRG
    // Told after each preset of the font: how many are done of how many.
    std::function<void(int done, int total)> progress;
};

struct TImportSummary {
    int melodicPrograms = 0;
    int drumPrograms = 0;
    int wavFiles = 0;
    int lines = 0;
    std::vector<std::string> warnings;
};

TImportSummary importSoundFont(const std::string& fontPath, const std::string& outDir,
                               const TImportOptions& options = {});

} // namespace zb::importer
