#pragma once

#include <cstddef>
#include <cstdint>

// The vector forms of the mixer's frame step (synth/frame_step.h): frames of one voice read at
// a constant step with linear interpolation, times the voice's two gains, added into the stereo
// accumulator; the vibrato's steps; the output conversion. Where the processor lacks them the
// mixer runs its frame loop alone. They compute exactly the sums of the frame loop.
namespace zb::synth {

// Adds frames frames: frame k reads at q + k x step (in 1/1024 of a sample), interpolates
// between the samples at i = that >> 10 and i + 1 as cur + ((next - cur) x (that & 1023)) >> 10
// in 32-bit arithmetic, and adds gainLeft and gainRight times the result to out[2k] and
// out[2k + 1] with wrapping 64-bit additions. The caller guarantees q >= 0, 0 <= step and that
// every i + 1 read lies below size, the number of samples at data.
using TPlainKernel = void (*)(const std::int16_t* data, std::int64_t size, std::int64_t q,
                              std::int64_t step, std::int64_t frames, std::int32_t gainLeft,
                              std::int32_t gainRight, std::int64_t* out) noexcept;

// The same with a step of its own for every frame: frame k reads at q + steps[0] + ... +
// steps[k - 1]. Every step lies between 0 and maxStep.
using TSteppedKernel = void (*)(const std::int16_t* data, std::int64_t size, std::int64_t q,
                                const std::int32_t* steps, std::int64_t maxStep,
                                std::int64_t frames, std::int32_t gainLeft, std::int32_t gainRight,
                                std::int64_t* out) noexcept;

// The vibrato's steps of count frames whose cosine terms are cosines[0..count):
// steps[j] = phaseStep + (cosines[j] x depth) >> 15, clamped to 0 .. 2^31 - 1025; returns their
// sum. The cosines lie within +-65536.
using TVibratoKernel = std::int64_t (*)(const std::int32_t* cosines, std::int64_t count,
                                        std::int64_t phaseStep, std::int64_t depth,
                                        std::int32_t* steps) noexcept;

// Converts frames frames of the accumulator (left, right pairs) into 16-bit little-endian
// stereo as convertOutput does, and returns how many it converted: it stops before the first
// group of four frames holding a sum of 2^31 or more in magnitude, which the caller converts
// on its own. The multipliers are at least 0.
using TConvertKernel = std::size_t (*)(const std::int64_t* mix, std::size_t frames,
                                       std::uint8_t* out, std::int32_t leftMul,
                                       std::int32_t rightMul, bool saturate) noexcept;

// The kernels for x86-64 processors with AVX2 (eight frames at a time for the voices, four for
// the conversion), or nullptr where they cannot run: another architecture or compiler, or a
// processor without AVX2.
TPlainKernel plainFramesWide() noexcept;
TSteppedKernel steppedFramesWide() noexcept;
TVibratoKernel vibratoStepsWide() noexcept;
TConvertKernel convertFramesWide() noexcept;

// The kernels the mixer uses: the wide ones where they run, unless turned off; nullptr: none,
// the frame loop renders (converts) every frame on its own.
TPlainKernel plainKernel() noexcept;
TSteppedKernel steppedKernel() noexcept;
TVibratoKernel vibratoKernel() noexcept;
TConvertKernel convertKernel() noexcept;

// Turns the wide kernels off (or on again where they run); for tests and benchmarks that
// compare them with the frame loop.
void useWideKernels(bool wide) noexcept;

} // namespace zb::synth
