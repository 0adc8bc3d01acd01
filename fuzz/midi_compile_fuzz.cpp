// Compiles a fuzzed MIDI file against the small test patch set.
#include "compiler/compile_song.h"
#include "fuzz/chunk_mutator.h"
#include "fuzz/fuzz_file.h"

#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string song = zb::fuzz::inputFile(data, size, ".mid");
    zb::compiler::TSampleList samples;
    zb::compiler::TSong compiled;
    std::int32_t length = 0;
    try {
        zb::compiler::compileSong(song, ZB_FUZZ_DATA_DIR "/PRG", {{"-1", "10"}}, true,
                                  size % 2 == 0, samples, compiled, length, nullptr);
    } catch (const std::exception&) { // a read failure of the file layer is reported, not a fault
    }
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned seed) {
    return zb::fuzz::mutateChunks(data, size, maxSize, seed, true);
}
