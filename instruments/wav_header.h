#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zb::instruments {

// What examining one WAV file found. Only `valid` decides anything; the other flags tell why a
// file was refused. Never throws for a missing or malformed file.
struct TWAVheader {
    explicit TWAVheader(const std::string& fileName);

    bool valid = false;     // header read, PCM 1 or 2 channels of 8 or 16 bits, data chunk found
    bool opened = false;    // the file could be opened for reading
    bool truncated = false; // the file ended before the data
    bool isPcm = false;     // "RIFF", "WAVE", "fmt " and the PCM format tag were found
    // False for a channel count other than 1 or 2, a width other than 8 or 16 bits or a rate
    // that is not positive; true once the data chunk was found.
    bool formatOK = false;
    std::int32_t channels = 0;
    std::int32_t samplesPerSec = 0;
    std::int32_t bitsPerSample = 0;
    std::int64_t dataOffset = 0; // file offset of the first data byte
    std::uint32_t dataSize = 0;  // length of the data chunk as the file states it
};

constexpr std::size_t kWavHeaderLength = 44;

// The canonical 44-byte PCM header that every WAV file the system writes starts with (the
// recorder's, the renderer's and the importer's): dataLength bytes of data, 16 bits unless bits
// is 8, mono when channels is 1, else stereo. The RIFF size is dataLength + 36, wrapping modulo
// 2^32 for a recording near 4 GB rather than overflowing.
std::array<std::uint8_t, kWavHeaderLength> canonicalWavHeader(std::uint32_t dataLength, int bits,
                                                              int channels, std::int32_t rate);

} // namespace zb::instruments
