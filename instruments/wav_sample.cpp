#include "instruments/wav_sample.h"

#include "instruments/file_lookup.h"
#include "instruments/little_endian.h"
#include "instruments/path_join.h"
#include "instruments/rounding.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>

namespace zb::instruments {

namespace {

constexpr std::int32_t outputRate = 22050;
constexpr std::size_t fixedRateSlack = 8;    // zero samples after a fixed-rate conversion
constexpr std::size_t generalRateSlack = 64; // zero samples after the interpolated one

// Sample positions downstream are 32-bit; a sample that could not be addressed in full is
// refused like one that does not fit in memory, before anything of that size is allocated.
constexpr std::uint64_t maxOutputSamples =
    static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());

// The source frames of raw PCM data. Each frame is reduced to the sum of its channels with
// unsigned 8-bit samples re-centred on zero, so every mono value below is that sum scaled; all
// arithmetic is int, which holds the sum of four 16-bit samples with room to spare.
class TSourceFrames final {
public:
    TSourceFrames(std::span<const std::uint8_t> raw, int channels, int bits)
        : raw_(raw), channels_(channels), eightBit_(bits == 8),
          frameBytes_(static_cast<std::size_t>(channels) * (bits == 8 ? 1U : 2U)),
          count_(raw.size() / frameBytes_) {}

    std::size_t count() const { return count_; }

    // Sum of the channels of frame f.
    int sum(std::size_t f) const {
        const std::uint8_t* p = raw_.data() + f * frameBytes_;
        int total = 0;
        for (int c = 0; c < channels_; ++c) {
            if (eightBit_) {
                total += static_cast<int>(p[0]) - 128;
                p += 1;
            } else {
                total += getSample16(p);
                p += 2;
            }
        }
        return total;
    }

    // The mono value of a channel sum: 8-bit (b - 128) * 256 per frame, mixed as
    // (l + r - 256) * 128; 16-bit s, mixed as (l + r) / 2. Integer division truncates toward
    // zero, which is the rounding these values are defined with.
    int mono(int total) const { return eightBit_ ? total * (256 / channels_) : total / channels_; }

    // Half the mono value with its own rounding, (l + r) / 4 rather than mono / 2. The same
    // scale applied to the sum of two frames gives the 44,100 Hz pair average.
    int half(int total) const {
        return eightBit_ ? total * (128 / channels_) : total / (2 * channels_);
    }

    int m(std::size_t f) const { return mono(sum(f)); }
    int h(std::size_t f) const { return half(sum(f)); }

private:
    std::span<const std::uint8_t> raw_;
    int channels_;
    bool eightBit_;
    std::size_t frameBytes_;
    std::size_t count_;
};

std::int16_t toSample(int value) {
    return static_cast<std::int16_t>(std::clamp(value, -32768, 32767));
}

// A zeroed array of count samples plus slack, or an error when it cannot be had.
bool allocate(TWavLoadResult& result, std::uint64_t count, std::size_t slack) {
    if (count + slack > maxOutputSamples) {
        result.error = TWavLoadError::memory;
        return false;
    }
    try {
        result.samples.assign(static_cast<std::size_t>(count + slack), 0);
    } catch (const std::bad_alloc&) {
        result.error = TWavLoadError::memory;
        return false;
    }
    result.convertedCount = static_cast<std::size_t>(count);
    return true;
}

void copyMono(const TSourceFrames& src, std::span<const std::uint8_t> raw, bool mono16,
              TWavLoadResult& result) {
    if (!allocate(result, src.count(), fixedRateSlack))
        return;
    if (mono16) {
        // 16-bit mono at the output rate, the common case: each sample as it stands (a simple
        // loop the compiler turns into a copy).
        for (std::size_t f = 0; f < src.count(); ++f)
            result.samples[f] = getSample16(&raw[2 * f]);
        return;
    }
    for (std::size_t f = 0; f < src.count(); ++f)
        result.samples[f] = toSample(src.m(f));
}

// Two frames make one sample; an unpaired last frame is dropped.
void halveRate(const TSourceFrames& src, TWavLoadResult& result) {
    const std::size_t count = src.count() / 2;
    if (!allocate(result, count, fixedRateSlack))
        return;
    for (std::size_t k = 0; k < count; ++k)
        result.samples[k] = toSample(src.half(src.sum(2 * k) + src.sum(2 * k + 1)));
}

// Every frame gives a sample between it and the previous frame (the first one starts from
// silence), then the frame itself.
void doubleRate(const TSourceFrames& src, TWavLoadResult& result) {
    if (!allocate(result, std::uint64_t{src.count()} * 2, fixedRateSlack))
        return;
    int previousHalf = 0;
    for (std::size_t f = 0; f < src.count(); ++f) {
        const int total = src.sum(f);
        const int currentHalf = src.half(total);
        result.samples[2 * f] = toSample(previousHalf + currentHalf);
        result.samples[2 * f + 1] = toSample(src.mono(total));
        previousHalf = currentHalf;
    }
}

// Linear interpolation between source frames, stepping r = rate / 22050 frames per output
// sample. The array holds N = Round(2 * frames / r) div 2 + 1 samples and starts zeroed; the
// walk stops early at the last source frame, leaving the rest of the N samples silent.
void interpolate(const TSourceFrames& src, std::int32_t rate, TWavLoadResult& result) {
    const long double r = static_cast<long double>(rate) / outputRate;
    const long double doubled = roundHalfEven(2.0L * static_cast<long double>(src.count()) / r);
    // Frames stay below 2^32 and r is at least 1/22050, so doubled fits easily in 64 bits; the
    // comparison only guards the conversion.
    if (doubled > static_cast<long double>(2 * maxOutputSamples)) {
        result.error = TWavLoadError::memory;
        return;
    }
    const auto n = static_cast<std::uint64_t>(doubled) / 2 + 1;
    if (!allocate(result, n, generalRateSlack))
        return;

    const auto frames = static_cast<std::uint64_t>(src.count());
    for (std::uint64_t k = 0; k < n; ++k) {
        const long double p = static_cast<long double>(k) * r;
        const auto i = static_cast<std::uint64_t>(p); // p >= 0: truncation is Trunc
        if (i >= frames)
            break;
        const auto fi = static_cast<std::size_t>(i);
        const int mi = src.m(fi);
        if (i + 1 >= frames) {
            result.samples[k] = toSample(mi);
            break;
        }
        const int next = src.m(fi + 1);
        const long double frac = p - static_cast<long double>(i);
        // The value lies between mi and next, both in range; it is truncated toward zero as a
        // whole, not as mi plus a truncated step.
        const long double value = frac * static_cast<long double>(next - mi) + mi;
        result.samples[k] = toSample(static_cast<int>(value));
    }
}

} // namespace

TWavLoadResult convertToMono22050(std::span<const std::uint8_t> raw, int channels, int bits,
                                  std::int32_t rate) {
    TWavLoadResult result;
    // A valid header never gets here with anything else; data that cannot be interpreted is
    // reported like data that could not be read.
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate <= 0) {
        result.error = TWavLoadError::readError;
        return result;
    }
    const TSourceFrames src(raw, channels, bits);
    switch (rate) {
    case outputRate:
        copyMono(src, raw, channels == 1 && bits == 16, result);
        break;
    case 2 * outputRate:
        halveRate(src, result);
        break;
    case outputRate / 2:
        doubleRate(src, result);
        break;
    default:
        interpolate(src, rate, result);
        break;
    }
    return result;
}

TWavLoadResult loadWavSamples(const std::string& fileName, const TWAVheader& header) {
    TWavLoadResult result;
    result.error = TWavLoadError::readError;
    if (!header.valid || header.dataOffset < 0)
        return result;

    std::ifstream in(fileName, std::ios::binary);
    if (!in.is_open())
        return result;
    // The stated size is checked against the file before anything of that size is allocated,
    // so a header claiming gigabytes in a small file costs nothing.
    in.seekg(0, std::ios::end);
    const std::streamoff fileSize = in.tellg();
    if (fileSize < 0 || header.dataOffset > fileSize ||
        std::int64_t{header.dataSize} > fileSize - header.dataOffset)
        return result;

    // Not zeroed first: the read fills every byte or the load fails.
    const std::size_t size = header.dataSize;
    std::unique_ptr<std::uint8_t[]> bytes;
    try {
        bytes = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    } catch (const std::bad_alloc&) { // also a length no array can have
        result.error = TWavLoadError::memory;
        return result;
    }
    const std::span<const std::uint8_t> raw(bytes.get(), size);
    in.seekg(static_cast<std::streamoff>(header.dataOffset));
    // std::istream reads char; the bytes land in raw unchanged.
    in.read(reinterpret_cast<char*>(bytes.get()), static_cast<std::streamsize>(size));
    if (in.gcount() != static_cast<std::streamsize>(size))
        return result;
    in.close();

    return convertToMono22050(raw, header.channels, header.bitsPerSample, header.samplesPerSec);
}

std::string wavFileName(const std::string& wavName, const std::string& wavDir) {
    std::string name = wavName;
    std::replace(name.begin(), name.end(), '\\', '/');
    const std::size_t slash = name.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (name.find('.', nameStart) == std::string::npos)
        name += ".WAV";
    if (slash == std::string::npos)
        return joinPath(wavDir, name);
    return name;
}

std::string findWavFile(const std::string& builtName, const std::string& prgDir) {
    std::string path = builtName;
    if (!prgDir.empty() && std::filesystem::path(builtName).is_relative())
        path = joinPath(prgDir, builtName);
    return findFileIgnoringCase(path).value_or(std::string());
}

} // namespace zb::instruments
