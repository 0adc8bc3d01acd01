#pragma once

#include "instruments/wav_header.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Loading the sample data of a WAV file into the one format the mixer plays: signed 16-bit mono
// at 22,050 samples per second.
namespace zb::instruments {

enum class TWavLoadError {
    none,
    memory,    // "Memory allocation error!"
    readError, // "Error reading WAV file!": fewer data bytes than the header states
};

struct TWavLoadResult {
    TWavLoadError error = TWavLoadError::none;
    // The converted samples followed by zeroed slack (8 samples after the fixed-rate
    // conversions, 64 after the general-rate one, whose whole array starts cleared).
    std::vector<std::int16_t> samples;
    // Samples before the slack. For the general-rate conversion this is the N samples its
    // formula defines, including any trailing ones the interpolation left at 0 because it ran
    // out of source frames.
    std::size_t convertedCount = 0;
};

// Reads the data chunk that a valid header describes and converts it. A data size beyond the
// end of the file is a read error found before anything of that size is allocated.
TWavLoadResult loadWavSamples(const std::string& fileName, const TWAVheader& header);

// Converts raw PCM data (8 or 16 bits, 1 or 2 channels, any positive rate) into 16-bit mono at
// 22,050 Hz, slack included (see TWavLoadResult). Other formats, which a valid header never
// has, give readError. A result of more than 2^31 - 1 samples (slack included), which positions
// downstream could not address, gives memory, as does a failed allocation.
TWavLoadResult convertToMono22050(std::span<const std::uint8_t> raw, int channels, int bits,
                                  std::int32_t rate);

// The file name of a WAV name from a patch line, as messages show it: backslashes become
// directory separators, ".WAV" is appended when the name has no extension, and a name without
// a directory part is put in wavDir.
std::string wavFileName(const std::string& wavName, const std::string& wavDir);

// Where that file is looked for: a relative name is relative to prgDir; then the exact name, then
// a case-insensitive match in its directory. Empty when nothing is found.
std::string findWavFile(const std::string& builtName, const std::string& prgDir);

} // namespace zb::instruments
