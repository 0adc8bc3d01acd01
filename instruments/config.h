#pragma once

#include <cstdint>

// Constants shared by the patch loader, the compiler and the engine, and the one alias for the
// engine's extended-precision reals.
namespace zb {

using Real = long double;

inline constexpr int kKeyCount = 128;       // MIDI keys 0..127: the size of every per-key table
inline constexpr int kMaxEntriesPerKey = 6; // patch lines that may sound together on one key
inline constexpr int kMaxOctave = 10;       // key codes run from C0 (0) to G10 (127)
inline constexpr int kMaxSampleRate = 100000;

} // namespace zb
