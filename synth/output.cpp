#include "instruments/little_endian.h"
#include "synth/mix_kernel.h"
#include "synth/mixer.h"

#include <algorithm>
#include <limits>

// The accumulator's conversion into 16-bit output frames.
namespace zb::synth {

namespace {

// The multiplier of a conversion and the largest |value| / 4096 whose product with it stays far
// below 64 bits, worked out once per buffer rather than once per sample (it costs a division).
struct TOutputScale {
    explicit TOutputScale(std::int32_t mul)
        : m(static_cast<std::uint64_t>(mul < 0 ? 0 : mul)),
          safeHigh(m != 0 ? (std::uint64_t{1} << 62) / m
                          : std::numeric_limits<std::uint64_t>::max()) {}
    std::uint64_t m;
    std::uint64_t safeHigh;
};

inline std::int16_t convertScaled(std::int64_t value, const TOutputScale& scale, bool saturate) {
    // |value| x mul / 4096 in two parts, so that no product leaves 64 bits: the whole multiples
    // of 4096 exactly, and the remainder's share rounded down. Unsigned arithmetic wraps, which
    // keeps the low 16 bits right for the wrapping output whatever the size of the sum.
    const std::uint64_t m = scale.m;
    const std::uint64_t magnitude = value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value)
                                              : static_cast<std::uint64_t>(value);
    const std::uint64_t high = magnitude >> 12;
    const std::uint64_t r = high * m + (((magnitude & 4095) * m) >> 12);
    if (saturate) {
        if (high > scale.safeHigh) // far beyond 16 bits
            return value < 0 ? -32768 : 32767;
        const auto rounded = static_cast<std::int64_t>(r); // below 2^62 + 2^20 here
        return static_cast<std::int16_t>(
            std::clamp<std::int64_t>(value < 0 ? -rounded : rounded, -32768, 32767));
    }
    const std::uint64_t signedR = value < 0 ? std::uint64_t{0} - r : r;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(signedR & 0xFFFF));
}

} // namespace

std::int16_t convertSample(std::int64_t value, std::int32_t mul, bool saturate) noexcept {
    return convertScaled(value, TOutputScale(mul), saturate);
}

void convertOutput(std::span<const std::int64_t> mix, std::span<std::uint8_t> out,
                   std::int32_t leftMul, std::int32_t rightMul, bool saturate) noexcept {
    const TOutputScale left(leftMul);
    const TOutputScale right(rightMul);
    const std::size_t frames = mix.size() / 2;
    const TConvertKernel kernel = convertKernel();
    std::size_t f = 0;
    while (f < frames) {
        if (kernel != nullptr)
            f += kernel(mix.data() + 2 * f, frames - f, out.data() + 4 * f,
                        static_cast<std::int32_t>(left.m), static_cast<std::int32_t>(right.m),
                        saturate);
        // The kernel stops at a group of four frames with a huge sum: those on their own.
        const std::size_t groupEnd = std::min(frames, f + 4);
        for (; f < groupEnd; ++f) {
            const auto l = static_cast<std::uint16_t>(convertScaled(mix[2 * f], left, saturate));
            const auto r =
                static_cast<std::uint16_t>(convertScaled(mix[2 * f + 1], right, saturate));
            instruments::putLE16(&out[4 * f], l);
            instruments::putLE16(&out[4 * f + 2], r);
        }
    }
}

} // namespace zb::synth
