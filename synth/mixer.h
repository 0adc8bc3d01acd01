#pragma once

#include "compiler/song_block.h"

#include <array>
#include <cstdint>
#include <span>

// The voice mixer: per output frame only integer work (interpolation, vibrato, accumulation);
// reals only at events and level updates.
namespace zb::synth {

// Renders one voice into mix (interleaved left/right frames of the buffer that starts at output
// byte bufferStart) up to bufferEnd, handling its events at their positions. Returns false when
// the voice has reached its endMark and is silent, so it can leave the active list.
// continuesBuffer: this call renders the next block of the same buffer as the previous call, so
// the stretch the previous call ended in goes on (as if the buffer were rendered in one call).
bool renderVoice(compiler::TSongBlock& voice, std::int64_t bufferStart, std::int64_t bufferEnd,
                 std::span<std::int64_t> mix, bool continuesBuffer = false) noexcept;

// A level as a gain: truncated toward zero, clamped to 32 bits, 0 for NaN.
std::int32_t truncGain(zb::Real level) noexcept;

// value x mul / 4096 rounded toward zero, symmetric in sign; clamped to 16 bits when saturate is
// set, else its low 16 bits.
std::int16_t convertSample(std::int64_t value, std::int32_t mul, bool saturate) noexcept;

// Converts the accumulator into 16-bit little-endian stereo frames.
void convertOutput(std::span<const std::int64_t> mix, std::span<std::uint8_t> out,
                   std::int32_t leftMul, std::int32_t rightMul, bool saturate) noexcept;

} // namespace zb::synth
