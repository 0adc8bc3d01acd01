#pragma once

#include "compiler/compile_state.h"

#include <cstdint>

// Reading a Standard MIDI File (format 0 with one track, or format 1) into the compilation
// state: header checks, the track chunks, per-slot controller and program state, the tempo map,
// and every note-on handed to startNote.
namespace zb::compiler {

// Reads state.fileName. Errors go to state.errorCode; the file is closed on every path.
void readMidiFile(TCompileState& state, bool defaultTo0);

// Inserts a tempo entry at state.currentTick after every entry with a lower or equal tick.
void addTempo(TCompileState& state, std::int32_t tempo);

} // namespace zb::compiler
