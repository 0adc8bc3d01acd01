#pragma once

#include "compiler/song_block.h"
#include "instruments/config.h"
#include "instruments/rounding.h"

#include <cstdint>

// The level and pitch formulas of the voices. Levels are reals on which 1 is the sample's full
// level before the base volume, pan and master volume.
namespace zb::compiler {

inline constexpr std::int32_t kMaxPitchStep = 16777216; // 2^24: 14 octaves above the sample

// Round(1024 / 2^((baseKey - key) / 12)), at most kMaxPitchStep.
std::int32_t pitchStep(int baseKey, int key);

// Round(2^(bend x range / 98304) x baseStep), at most kMaxPitchStep.
std::int32_t bentPitchStep(int bend, int range, std::int32_t baseStep);

// The level of the voice's current controller state (velocity, pressure, volume, expression).
Real noteLevel(const TSongBlock& voice, const TVoiceState& state, bool legacyMode);

// The level after the note's end with release value r.
Real releaseLevel(const TSongBlock& voice, const TVoiceState& state, int r, bool legacyMode);

} // namespace zb::compiler
