// The import module of zorbel-cli: the SoundFont import, loaded only by import-sf2.
#include "cli/import_options.h"
#include "importer/sf_importer.h"
#include "importer/sound_font.h"

#include <iostream>

extern "C" __attribute__((visibility("default"))) int
zbImportSoundFont(const zb::cli::TImportArgs* args) {
    namespace importer = zb::importer;
    try {
        const auto summary =
            importer::importSoundFont(args->font, args->outDir, {args->bank, args->drumBank});
        for (const auto& warning : summary.warnings)
            std::cerr << "zorbel-cli: warning: " << warning << "\n";
        std::cout << "Imported " << summary.melodicPrograms << " programs and "
                  << summary.drumPrograms << " drum kits (" << summary.lines << " lines, "
                  << summary.wavFiles << " WAV files) into " << args->outDir << "\n";
        return 0;
    } catch (const importer::TImportError& e) {
        std::cerr << "zorbel-cli: " << e.what() << "\n";
        return 1;
    }
}
