// Examines, loads and converts a fuzzed WAV file.
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
