// Imports a fuzzed SoundFont into a scratch directory: a clear error or a set of patches, never
// a crash.
#include "fuzz/chunk_mutator.h"
#include "fuzz_file.h"
#include "importer/sf_importer.h"
#include "importer/sound_font.h"

#include <filesystem>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string font = zb::fuzz::inputFile(data, size, ".sf2");
    static const std::string out =
        (std::filesystem::temp_directory_path() / ("zb-fuzz-sf2-" + std::to_string(getpid())))
            .string();
    try {
        zb::importer::importSoundFont(font, out);
    } catch (const zb::importer::TImportError&) {
    }
    std::error_code ec;
    std::filesystem::remove_all(out, ec);
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned seed) {
    return zb::fuzz::mutateChunks(data, size, maxSize, seed, false);
}
