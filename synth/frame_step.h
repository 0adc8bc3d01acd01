#pragma once

#include "synth/config.h"

#include <algorithm>
#include <cstdint>
#include <limits>

// The arithmetic of one output frame of a voice: the interpolated sample at the read position,
// its two products with the gains added into the accumulator, and the step to the next
// position. The mixer's frame loop and the ends of the vector kernels are built from these.
namespace zb::synth {

// The largest step: the fraction's sum stays inside 32 bits.
inline constexpr std::int64_t kMaxStep = std::numeric_limits<std::int32_t>::max() - kFracOne;

// A vibrato deeper than the pitch step would move backwards, so the read position only stands.
inline std::int64_t clampStep(std::int64_t step) {
    return std::clamp<std::int64_t>(step, 0, kMaxStep);
}

// The step of a frame whose vibrato cosine term is cosine (within +-65536).
inline std::int64_t vibratoStep(std::int64_t phaseStep, std::int32_t cosine, std::int64_t depth) {
    return clampStep(phaseStep + ((std::int64_t{cosine} * depth) >> 15));
}

// Linear interpolation in 32-bit arithmetic between cur and cur + delta.
inline std::int32_t interpolate(std::int32_t cur, std::int32_t delta, std::int32_t frac) {
    return cur + ((delta * frac) >> kFracBits);
}

// Each product fits easily; the sums wrap at 64 bits rather than overflow, however many voices
// of absurd level come together.
inline void mixFrame(std::int64_t* out, std::int64_t gainLeft, std::int64_t gainRight,
                     std::int32_t sample) {
    out[0] = static_cast<std::int64_t>(static_cast<std::uint64_t>(out[0]) +
                                       static_cast<std::uint64_t>(gainLeft * sample));
    out[1] = static_cast<std::int64_t>(static_cast<std::uint64_t>(out[1]) +
                                       static_cast<std::uint64_t>(gainRight * sample));
}

// The frame at position q (index << kFracBits | fraction) of data, where the index and the next
// one are inside it.
inline void mixAt(const std::int16_t* data, std::int64_t q, std::int64_t gainLeft,
                  std::int64_t gainRight, std::int64_t* out) {
    const std::int32_t cur = data[q >> kFracBits];
    mixFrame(out, gainLeft, gainRight,
             interpolate(cur, data[(q >> kFracBits) + 1] - cur,
                         static_cast<std::int32_t>(q & kFracMask)));
}

} // namespace zb::synth
