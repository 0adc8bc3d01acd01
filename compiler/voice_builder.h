#pragma once

#include "compiler/compile_state.h"

#include <cstdint>

// The last pass of a compilation: the note events of every sample record become voices (song
// blocks) with their parameters, a saved start state, and event lists whose records carry the
// output position and the left and right level factors from there on.
namespace zb::compiler {

// Builds state.song from the sample records in chain order. A voice plays notes of one key one
// after another; a note joins the open voice only when it starts at least 22,050 bytes (a
// quarter second) after the voice's last event, otherwise a later voice takes it.
void buildSongBlocks(TCompileState& state, bool legacyMode);

// Parameters and saved state of a voice playing rec at key (exposed for tests).
void setVoiceParameters(TSongBlock& voice, TSampleRec& rec, int key, bool legacyMode);

// trunc(position x 22050 / sampleRate + ms x 22.05) computed exactly, saturated to 32 bits.
std::int32_t outputIndex(std::int64_t position, std::int64_t ms, std::int32_t sampleRate);

} // namespace zb::compiler
