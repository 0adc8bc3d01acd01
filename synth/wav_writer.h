#pragma once

#include "compiler/fast_file.h"

#include <cstdint>

namespace zb::synth {

// Writes the canonical 44-byte PCM WAV header at the start of file, sized from the file's
// current size (data size = size - 44, or 0 for a file shorter than 44 bytes). 16 bits unless
// bits is 8; mono when channels is 1, else stereo. Leaves the file open.
void writeWavHeader(compiler::TFastFile& file, int bits, int channels, std::int32_t rate);

} // namespace zb::synth
