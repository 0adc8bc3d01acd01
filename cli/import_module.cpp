// The import module of zorbel-cli: the SoundFont import, loaded only by import-sf2.
#include "cli/import_options.h"
#include "importer/sf_importer.h"
#include "importer/sound_font.h"

#include <iostream>
#include <unistd.h>

extern "C" __attribute__((visibility("default"))) int
zbImportSoundFont(const zb::cli::TImportArgs* args) {
    namespace importer = zb::importer;
    try {
        importer::TImportOptions options{args->bank, args->drumBank, {}};
        // A progress line on a terminal; nothing in a log or a pipe.
        if (isatty(STDERR_FILENO) != 0)
            options.progress = [](int done, int total) {
                std::cerr << "\rImporting preset " << done << " of " << total
                          << (done == total ? "\r\033[K" : "") << std::flush;
            };
        const auto summary = importer::importSoundFont(args->font, args->outDir, options);
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
