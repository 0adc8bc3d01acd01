#pragma once

#include <cstddef>
#include <cstdint>

// The fixed output format of the engine: 22,050 frames a second of 16-bit stereo, rendered in
// buffers of exactly four seconds, three of them in the ring between engine and device.
namespace zb::synth {

inline constexpr std::int32_t kOutputRate = 22050;
inline constexpr std::int32_t kBytesPerFrame = 4;
inline constexpr std::int32_t kBufferFrames = 88200;
inline constexpr std::int32_t kBufferBytes = kBufferFrames * kBytesPerFrame; // 352,800
// Frames rendered by every voice in turn: 1,024 frames of accumulator (16 KB) fit the first-level
// cache.
inline constexpr std::int32_t kBlockBytes = 1024 * kBytesPerFrame;
inline constexpr int kBufferCount = 3;
// A song handed over while it plays fades out under its successor for 128 frames (6 ms).
inline constexpr std::size_t kFadeFrames = 128;
inline constexpr std::int32_t kDefaultMul = 32; // output multiplier at volume 1, balance 1

// A voice's read position and pitch step count 1/1024 of a sample: 10 fractional bits.
inline constexpr int kFracBits = 10;
inline constexpr std::int32_t kFracOne = 1 << kFracBits;
inline constexpr std::int32_t kFracMask = kFracOne - 1;
// The vibrato's cosine table divides the circle into 1,608 steps and holds the first 1,607 of
// them; a phase's entry is phase x 1,607 div period, so the last step is never read.
inline constexpr std::uint32_t kCosineSteps = 1608;
inline constexpr std::uint32_t kCosineEntries = kCosineSteps - 1;
// The longest vibrato period, in frames (a modulation rate of 1 Hz).
inline constexpr std::uint32_t kLongestLfoPeriod = kOutputRate;

} // namespace zb::synth
