// Examines, loads and converts a fuzzed WAV file.
#include "fuzz/chunk_mutator.h"
#include "fuzz/fuzz_file.h"
#include "instruments/wav_header.h"
#include "instruments/wav_sample.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string file = zb::fuzz::inputFile(data, size, ".wav");
    const zb::instruments::TWAVheader header(file);
    if (header.valid)
        zb::instruments::loadWavSamples(file, header);
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned seed) {
    return zb::fuzz::mutateChunks(data, size, maxSize, seed, false);
}
