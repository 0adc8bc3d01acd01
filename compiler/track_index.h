#pragma once

#include "compiler/fast_file.h"

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace zb::compiler {

// One pass over a track chunk, parsed exactly as a note's look-ahead parses it, so that the
// look-ahead of every note becomes a few searches instead of a re-read of the track: a track
// of many notes without note-offs is then no longer quadratic.
//
// The index applies to a look-ahead only where the reader's state at the note-on (file
// position, byte count, running status) is a state of this parse; the two parses only part
// where a tempo event's length byte is not 3, and there the byte-wise look-ahead is used.
class TTrackIndex final {
public:
    static constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();

    struct TEvent {
        std::int64_t tick = 0;          // sum of the deltas from the chunk start (no limit)
        std::int64_t positionAfter = 0; // file position after the event's bytes
        std::int64_t counterAfter = 0;  // the chunk byte counter after the event
        std::uint8_t runningAfter = 0;  // running status after the event
        std::uint8_t status = 0;        // the event's status (running status applied)
        std::uint8_t d1 = 0;            // first data byte, or the meta type
        std::uint8_t d2 = 0;
    };

    // Parses the chunk from the file's position (the first delta) and returns there.
    void build(TFastFile& file, std::int32_t chunkLength);

    // The event whose bytes end at position with that counter and running status; none when
    // the reader is in a state this parse never passed.
    std::uint32_t find(std::int64_t position, std::int64_t counter, std::uint8_t running) const;

    std::vector<TEvent> events;
    // Where the parse failed (the number of whole events before the failing item) and how.
    std::uint32_t errorAt = none;
    std::int32_t errorCode = 0; // 12 or 14
    std::int64_t errorTick = 0; // the tick when the failing item began to be read
    // The tick when the chunk's byte count ran out (a last delta included); valid when neither
    // an error nor an end-of-track event stopped the parse.
    std::int64_t finalTick = 0;
    // For every note-on: the first later event that ends a note of its channel and key (a
    // note-off or note-on of that key, or the end-of-track event); none when nothing does.
    std::vector<std::uint32_t> endOf;
    // For every channel: the events that a note of that channel collects (key and channel
    // pressure, controllers 1, 7, 10 and 11, pitch bend), in order.
    std::array<std::vector<std::uint32_t>, 16> channelEvents;
};

} // namespace zb::compiler
