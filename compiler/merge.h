#pragma once

#include "compiler/compile_state.h"

namespace zb::compiler {

// Folds every sample record into the first earlier record that uses the same WAV file with the
// same sound parameters, moving its note groups over with their keys shifted by the base-key
// difference so that they keep their pitch.
void mergeSampleRecords(TCompileState& state);

// The merge key: everything that makes a sample sound different. Program, key range, drum flag,
// sample rate and base key are not part of it.
bool sameSound(const TSampleRec& a, const TSampleRec& b);

} // namespace zb::compiler
