#pragma once

#include "compiler/compile_state.h"

#include <string>

// The patches of the channel slots during a compilation.
namespace zb::compiler {

// The file name of a program's patch as the messages show it: the patch directory, then "D"
// for a drum kit, the program number and ".PRG".
std::string prgFileName(const std::string& prgDir, int program, bool isDrum);

// Loads the patch of program (the drum kit when isDrum) into the slot's table and marks the slot
// loaded. With defaultTo0 a missing file falls back to program 0; the messages still name the
// file tried first. Failures set state.errorCode and leave the slot not loaded.
void loadPrg(TCompileState& state, int slot, int program, bool isDrum, bool defaultTo0);

// A program change: keeps a loaded slot that already has the program, else takes the table of
// the first loaded slot with that program and drum flag, else leaves the slot not loaded.
void programChange(TCompileState& state, int slot, std::uint8_t program);

} // namespace zb::compiler
