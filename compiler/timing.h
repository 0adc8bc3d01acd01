#pragma once

#include "compiler/compile_state.h"

#include <cstdint>
#include <vector>

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

// The milliseconds of any tick through a tempo map (500,000 us a quarter before its first entry)
// at a speed in percent, rounded half to even: the clock of every note event, lyric and tempo
// change. A speed of p percent divides every tempo by p / 100 without rounding a tempo: the sums
// of ticks x tempo are multiplied by 100 and the tick length's denominator by p (at most
// 2^55 x 100, inside 64 bits). A division without a tick length gives 0 for every tick.
class TTickClock {
public:
    TTickClock(const std::vector<tempoEntry>& map, std::int16_t division,
               std::int32_t tempoPercent);
    std::int64_t ms(std::int64_t tick) const;

private:
    // The tempo map as prefix sums of ticks x tempo, so that any tick converts in one search.
    struct TPoint {
        std::int64_t tick;
        std::int64_t tempo;
        std::int64_t sum; // up to this point's tick
    };
    std::vector<TPoint> points;
    std::int64_t scale;
    std::int64_t denominator;
};

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
