#include "cli/command.h"

#ifdef ZB_HAVE_IMPORTER
#include "importer/sf_importer.h"
#include "importer/sound_font.h"
#endif

#include <iostream>
#include <memory>

namespace zb::cli {

namespace {

struct TImportArgs {
    std::string font;
    std::string outDir;
    int bank = 0;
    int drumBank = 128;
};

int runImport(const TImportArgs& args) {
#ifdef ZB_HAVE_IMPORTER
    try {
        const auto summary =
            importer::importSoundFont(args.font, args.outDir, {args.bank, args.drumBank});
        for (const auto& warning : summary.warnings)
            std::cerr << "zorbel-cli: warning: " << warning << "\n";
        std::cout << "Imported " << summary.melodicPrograms << " programs and "
                  << summary.drumPrograms << " drum kits (" << summary.lines << " lines, "
                  << summary.wavFiles << " WAV files) into " << args.outDir << "\n";
        return 0;
    } catch (const importer::TImportError& e) {
        std::cerr << "zorbel-cli: " << e.what() << "\n";
        return 1;
    }
#else
    (void)args;
    std::cerr << "zorbel-cli: import-sf2 was built without libgig (install libgig-dev)\n";
    return 1;
#endif
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
