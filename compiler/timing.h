#pragma once

#include "compiler/compile_state.h"

#include <cstdint>

// Putting every note event on the output time axis: ticks to whole milliseconds through the
// division and the tempo map, then to output byte positions (22,050 frames of 4 bytes a second).
namespace zb::compiler {

// Lays each record's note groups out as one event chain, converts every time to milliseconds
// (rounded half to even), finds the song length and removes redundant events. Error 42 when a
// time passes 2,147,483,647 ms.
void computeTiming(TCompileState& state);

// Refuses songs whose length in output bytes does not fit 31 bits (error 42), sets
// state.songLength and turns every event time into an output byte position.
void checkSongLength(TCompileState& state);

// The denominator that turns a sum of ticks x tempo into milliseconds: division x 1000 ticks
// per quarter note, or fps x ticks-per-frame x 500 in the SMPTE form. 0 when the division gives
// no tick length.
std::int64_t tickDenominator(std::int16_t division);

// n / d rounded to the nearest integer, halves to even (n >= 0, d > 0).
std::int64_t divRoundHalfEven(std::int64_t n, std::int64_t d);

// The output byte position at which millisecond ms begins: Trunc(ms x 22.05) x 4, exactly.
constexpr std::int64_t msToBytes(std::int64_t ms) {
    return ms * 441 / 20 * 4;
}
// The output byte position of a chain event's time; checkSongLength has made sure that every
// time of the song fits.
constexpr std::int32_t bytePosition(TMilliseconds time) {
    return static_cast<std::int32_t>(msToBytes(time.value));
}

} // namespace zb::compiler
