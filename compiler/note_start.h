#pragma once

#include "compiler/compile_state.h"

#include <cstdint>
#include <vector>

// Turning one note-on into note groups of sample records.
namespace zb::compiler {

// Handles a note-on with velocity above 0 on slot 1..16: loads the slot's patch on first use,
// and for every patch entry of the key finds or creates the sample record and adds the note's
// group to it. The end of the note and the controller changes up to it are found by reading
// ahead in the file; the reader's position and counters are left as they were.
void startNote(TCompileState& state, int slot, std::uint8_t key, std::uint8_t velocity,
               bool defaultTo0);

// Puts every record's note groups, appended in reading order, into their chain order: by key,
// then by start, the newest first among equal starts.
void orderNoteGroups(TSampleList& samples);

} // namespace zb::compiler
