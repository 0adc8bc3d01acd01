#pragma once

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
inline constexpr std::int32_t kDefaultMul = 32; // output multiplier at volume 1, balance 1

} // namespace zb::synth
