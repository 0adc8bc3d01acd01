#include "synth/wav_writer.h"

#include "instruments/wav_header.h"

namespace zb::synth {

void writeWavHeader(compiler::TFastFile& file, int bits, int channels, std::int32_t rate) {
    constexpr auto headerLength = static_cast<std::int64_t>(instruments::kWavHeaderLength);
    const std::int64_t size = file.size();
    // The size fields are 32 bits wide: a recording near 4 GB wraps them modulo 2^32.
    const std::uint32_t dataLength =
        size < headerLength ? 0U : static_cast<std::uint32_t>(size - headerLength);
    file.seek(0);
    for (const std::uint8_t byte :
         instruments::canonicalWavHeader(dataLength, bits, channels, rate))
        file.writeByte(byte);
}

} // namespace zb::synth
