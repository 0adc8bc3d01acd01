#include "synth/wav_writer.h"

#include <array>
#include <cstddef>

namespace zb::synth {

namespace {

constexpr std::int64_t headerLength = 44;

class THeaderBytes final {
public:
    void tag(const char (&text)[5]) {
        for (std::size_t i = 0; i < 4; ++i)
            put(static_cast<std::uint8_t>(text[i]));
    }
    void u16(std::uint32_t value) {
        put(static_cast<std::uint8_t>(value & 0xFFU));
        put(static_cast<std::uint8_t>(value >> 8 & 0xFFU));
    }
    void u32(std::uint32_t value) {
        u16(value & 0xFFFFU);
        u16(value >> 16);
    }
    const std::array<std::uint8_t, headerLength>& bytes() const { return bytes_; }

private:
    void put(std::uint8_t byte) { bytes_[used_++] = byte; }

    std::array<std::uint8_t, headerLength> bytes_{};
    std::size_t used_ = 0;
};

} // namespace

void writeWavHeader(compiler::TFastFile& file, int bits, int channels, std::int32_t rate) {
    const std::int64_t size = file.size();
    // The size fields are 32 bits wide. Unsigned arithmetic keeps a recording near 4 GB from
    // overflowing: the sizes then wrap modulo 2^32 instead of being undefined.
    const std::uint32_t dataLength =
        size < headerLength ? 0U : static_cast<std::uint32_t>(size - headerLength);
    const std::uint32_t sampleBytes = bits == 8 ? 1U : 2U;
    const std::uint32_t channelCount = channels == 1 ? 1U : 2U;
    const std::uint32_t blockAlign = channelCount * sampleBytes;

    THeaderBytes h;
    h.tag("RIFF");
    h.u32(dataLength + 36U);
    h.tag("WAVE");
    h.tag("fmt ");
    h.u32(16);
    h.u16(1); // PCM
    h.u16(channelCount);
    h.u32(static_cast<std::uint32_t>(rate));
    h.u32(blockAlign * static_cast<std::uint32_t>(rate));
    h.u16(blockAlign);
    h.u16(sampleBytes * 8U);
    h.tag("data");
    h.u32(dataLength);

    file.seek(0);
    for (const std::uint8_t byte : h.bytes())
        file.writeByte(byte);
}

} // namespace zb::synth
