#pragma once

#include "instruments/config.h"
#include "instruments/prg_patch.h"

#include <compare>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zb::compiler {

// Kinds of noteEvent, in the order the song format numbers them.
enum TNoteKind : std::uint8_t {
    noteStart = 1,  // value: note-on velocity
    noteEnd = 2,    // value: release value
    pressure = 3,   // polyphonic key pressure of the note's key, or channel pressure
    modulation = 4, // CC1
    volume = 5,     // CC7
    pan = 6,        // CC10
    expression = 7, // CC11
    pitchBend = 8,  // (MSB * 128 + LSB) - 8192
};

// A time of the song in the unit of one compilation stage: MIDI ticks as the reader finds them,
// then whole milliseconds after the timing pass. Each unit is a type of its own, so a time of one
// stage cannot be taken for a time of another (the song blocks' times are output bytes).
template <class Unit> struct TTime {
    std::int32_t value = 0;

    constexpr TTime() = default;
    constexpr explicit TTime(std::int32_t v) : value(v) {}
    // clang-tidy 14 takes the defaulted <=> for a literal 0 compared with a pointer:
    // NOLINTNEXTLINE(modernize-use-nullptr)
    friend constexpr auto operator<=>(const TTime&, const TTime&) = default;
};
using TTicks = TTime<struct TTicksUnit>;
using TMilliseconds = TTime<struct TMillisecondsUnit>;

// One timed event of a note.
template <class Time> struct TNoteEventAt {
    Time time;
    std::uint8_t kind = 0;
    std::int16_t key = 0; // may leave 0..127 once merging shifts it by a base-key difference
    std::int16_t value = 0;
    std::uint8_t groupState = 0;

    friend bool operator==(const TNoteEventAt&, const TNoteEventAt&) = default;
};
// An event as read, at its MIDI tick.
using noteEvent = TNoteEventAt<TTicks>;
// An event of a record's chain, at its millisecond.
using TTimedEvent = TNoteEventAt<TMilliseconds>;

// One note of a sample record: its noteStart, the controller state that differs from the
// defaults at the start, the changes up to its end, and its noteEnd.
struct TNoteGroup {
    std::vector<noteEvent> events;

    std::int16_t key() const { return events.front().key; }
    TTicks startTime() const { return events.front().time; }
};

// One sample file with one set of patch parameters. During compilation it carries its notes,
// ordered by key and then by start tick; after a successful compilation the caller owns it and
// the sample loader attaches the sample data.
struct TSampleRec : instruments::TPatchSound {
    std::uint8_t program = 0;
    std::uint8_t keyLow = 0;
    std::uint8_t keyHigh = 0;
    std::uint8_t isDrum = 0;
    std::vector<std::int16_t> wavData; // filled by the sample loader, empty until then
    std::int32_t sampleRate = 0;
    std::uint8_t baseKey = 0;
    // Working data, empty again after a compilation. The reader and the merge pass keep the
    // notes as groups; the timing pass lays them out as one chain of events in the same order.
    std::vector<TNoteGroup> notes;
    std::vector<TTimedEvent> events;
};

// The sample record chain in chain order. Records are owned singly so that song blocks can
// refer to them while the chain itself changes.
using TSampleList = std::vector<std::unique_ptr<TSampleRec>>;

} // namespace zb::compiler
