#pragma once

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

} // namespace zb::instruments
