#include "cli/command.h"

#include "cli/import_options.h"
#include "cli/module.h"

#include <iostream>
#include <memory>

namespace zb::cli {

namespace {

int runImport(const TImportArgs& args) {
    auto* import = reinterpret_cast<TImportFunction>(
        moduleSymbol(kImportModule, kImportSymbol, "SoundFont import"));
    return import != nullptr ? import(&args) : 1;
}

} // namespace

void addImportSf2Command(CLI::App& app, TCommands& commands) {
    auto args = std::make_shared<TImportArgs>();
    auto* cmd = app.add_subcommand(
        "import-sf2", "Import the presets of a SoundFont into PRG patch files and WAV samples");
    cmd->add_option("FONT", args->font, "The SoundFont 2 file")->required();
    cmd->add_option("OUTDIR", args->outDir, "Directory that receives PRG/ and WAV/")->required();
    cmd->add_option("--bank", args->bank, "Bank of the melodic presets (default 0)")
        ->check(CLI::Range(0, 16383));
    cmd->add_option("--drum-bank", args->drumBank, "Bank of the drum kits (default 128)")
        ->check(CLI::Range(0, 16383));
    commands.push_back({cmd, [args] { return runImport(*args); }});
}

} // namespace zb::cli
