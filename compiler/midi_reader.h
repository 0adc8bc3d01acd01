#pragma once

#include "compiler/compile_state.h"

#include <cstdint>

// Reading a Standard MIDI File (format 0 with one track, or format 1) into the compilation
// state: header checks, the track chunks, per-slot controller and program state, the tempo map,
// and every note-on handed to startNote.
namespace zb::compiler {

// Reads state.fileName. Errors go to state.errorCode; the file is closed on every path.
void readMidiFile(TCompileState& state, bool defaultTo0);

// Interprets one event whose status byte has been read (or is the running status).
void readEvent(TCompileState& state, std::uint8_t status, bool defaultTo0);

// Reads a variable-length quantity as an unsigned 32-bit number (longer ones keep their low 32
// bits), adding 1 to counter per byte. The end of the file is error 12 with result 0.
std::uint32_t readVarLen(TCompileState& state, std::int64_t& counter);

// Inserts a tempo entry at state.currentTick after every entry with a lower or equal tick.
void addTempo(TCompileState& state, std::int32_t tempo);

// Adds a delta time to a tick; a sum past 2,147,483,647 is error 42 ("Song too long.").
bool advanceTick(TCompileState& state, std::int32_t& tick, std::uint32_t delta);

} // namespace zb::compiler
