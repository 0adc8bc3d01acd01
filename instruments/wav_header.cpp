#include "instruments/wav_header.h"

#include "instruments/little_endian.h"
#include "instruments/span_reader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace zb::instruments {

namespace {

constexpr std::size_t headerLength = 36;
constexpr std::size_t chunkHeaderLength = 8;

// Reading with an explicit position and the size found at opening. "At the end" means the
// position has reached the file size, which is what decides truncation below: a read that
// delivers the last byte of the file leaves the reader at the end. Positions are 64-bit and
// skips only move forward, so no length field of a hostile file can wrap a position back.
class TByteReader final {
public:
    TByteReader(const std::string& fileName, std::int64_t size)
        : in_(fileName, std::ios::binary), size_(size) {}

    bool isOpen() const { return in_.is_open(); }
    bool atEnd() const { return position_ >= size_; }
    std::int64_t position() const { return position_; }

    // Reads up to count bytes into dest, stopping at the end of the file; returns how many
    // were read. A read that fails early (the file shrank, an I/O error) counts as the end.
    std::size_t read(std::uint8_t* dest, std::size_t count) {
        if (atEnd())
            return 0;
        const auto available = static_cast<std::uint64_t>(size_ - position_);
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(count, available));
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(position_));
        // std::istream reads char; the bytes land in dest unchanged.
        in_.read(reinterpret_cast<char*>(dest), static_cast<std::streamsize>(wanted));
        const auto got = in_.gcount() > 0 ? static_cast<std::size_t>(in_.gcount()) : 0;
        position_ += static_cast<std::int64_t>(got);
        if (got < wanted)
            size_ = position_;
        return got;
    }

    // Moves forward by count bytes; the position may end up beyond the end of the file.
    void skip(std::uint64_t count) { position_ += static_cast<std::int64_t>(count); }

private:
    std::ifstream in_;
    std::int64_t size_;
    std::int64_t position_ = 0;
};

} // namespace

TWAVheader::TWAVheader(const std::string& fileName) {
    // The size comes from the file system: a directory or a special file has none and is not a
    // file that can be opened here, even where the C library would open it.
    std::error_code ec;
    const std::uintmax_t fileSize = std::filesystem::file_size(fileName, ec);
    if (ec)
        return;
    TByteReader reader(fileName, static_cast<std::int64_t>(fileSize));
    if (!reader.isOpen())
        return;
    opened = true;

    // The fixed part up to and including bits per sample. A file that ends with its 36th byte
    // has nothing after the format fields and is refused as well.
    std::array<std::uint8_t, headerLength> header{};
    reader.read(header.data(), header.size());
    if (reader.atEnd()) {
        truncated = true;
        return;
    }

    // The fields are read through a checked reader over the bytes that were really read.
    TSpanReader fields(header);
    const auto riff = fields.tag();
    fields.skip(4); // the RIFF size: the chunks are walked against the file's real size
    const auto wave = fields.tag();
    const auto fmt = fields.tag();
    const std::uint32_t formatLength = fields.u32().value_or(0);
    const std::uint32_t formatTag = fields.u16().value_or(0);
    const std::uint32_t channelCount = fields.u16().value_or(0);
    const auto rate = static_cast<std::int32_t>(fields.u32().value_or(0));
    fields.skip(6); // bytes per second and block alignment
    const std::uint32_t bits = fields.u16().value_or(0);
    if (riff != "RIFF" || wave != "WAVE" || fmt != "fmt " || formatTag != 1)
        return;
    isPcm = true;

    // Only 8- and 16-bit data has a conversion, and a rate of zero (or one beyond 2^31 that
    // reads as negative) cannot be resampled; such files are refused here with the channel
    // counts that are not 1 or 2, instead of being loaded into data nothing can play.
    if ((channelCount != 1 && channelCount != 2) || (bits != 8 && bits != 16) || rate <= 0)
        return;

    if (formatLength < 16) {
        truncated = true;
        return;
    }
    reader.skip(std::uint64_t{formatLength} - 16 + (formatLength & 1U));

    // Every chunk before "data" is skipped with its pad byte. A short read at the end leaves
    // the chunk unread, and the reader is then at the end, which refuses the file.
    std::array<std::uint8_t, chunkHeaderLength> chunk{};
    std::uint32_t length = 0;
    for (;;) {
        const std::size_t got = reader.read(chunk.data(), chunk.size());
        TSpanReader chunkFields(std::span<const std::uint8_t>(chunk.data(), got));
        const auto name = chunkFields.tag();
        length = chunkFields.u32().value_or(0);
        if (name == "data" || reader.atEnd())
            break;
        reader.skip(std::uint64_t{length} + (length & 1U));
        if (reader.atEnd())
            break;
    }
    // Also refuses a data chunk header that is the last thing in the file.
    if (reader.atEnd()) {
        truncated = true;
        return;
    }

    formatOK = true;
    dataOffset = reader.position();
    dataSize = length;
    channels = static_cast<std::int32_t>(channelCount);
    samplesPerSec = rate;
    bitsPerSample = static_cast<std::int32_t>(bits);
    valid = true;
}

std::array<std::uint8_t, kWavHeaderLength> canonicalWavHeader(std::uint32_t dataLength, int bits,
                                                              int channels, std::int32_t rate) {
    const std::uint32_t sampleBytes = bits == 8 ? 1U : 2U;
    const std::uint32_t channelCount = channels == 1 ? 1U : 2U;
    const std::uint32_t blockAlign = channelCount * sampleBytes;
    std::array<std::uint8_t, kWavHeaderLength> h{};
    const auto tag = [&h](std::size_t at, const char(&text)[5]) {
        std::copy(text, text + 4, h.begin() + static_cast<std::ptrdiff_t>(at));
    };
    tag(0, "RIFF");
    putLE32(&h[4], dataLength + 36U);
    tag(8, "WAVE");
    tag(12, "fmt ");
    putLE32(&h[16], 16);
    putLE16(&h[20], 1); // PCM
    putLE16(&h[22], channelCount);
    putLE32(&h[24], static_cast<std::uint32_t>(rate));
    putLE32(&h[28], blockAlign * static_cast<std::uint32_t>(rate));
    putLE16(&h[32], blockAlign);
    putLE16(&h[34], sampleBytes * 8U);
    tag(36, "data");
    putLE32(&h[40], dataLength);
    return h;
}

} // namespace zb::instruments
