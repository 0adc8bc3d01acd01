#pragma once

#include "compiler/midi_tokenizer.h"
#include "compiler/sample_rec.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace zb::compiler {

// The look-ahead of a track chunk's notes: the chunk parsed once, as far as the notes read so
// far need, with a tempo event skipped by its length, so that a note's end and its controller
// changes are a few searches instead of a re-read of the track (a track of many notes without
// note-offs is then not quadratic).
//
// A parse applies to a note only where the reader's state at the note-on (file position, byte
// count, running status) is a state of that parse. The reader reads a tempo event as four
// bytes, so after a tempo event whose length byte is not 3 the two can part; then the parse
// starts again from the note-on.
class TTrackIndex final {
public:
    static constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();

    struct TEvent {
        std::int64_t tick = 0;          // sum of the deltas since the parse began (no limit)
        std::int64_t positionAfter = 0; // file position after the event's bytes
        std::int64_t counterAfter = 0;  // the chunk byte counter after the event
        std::uint8_t runningAfter = 0;  // running status after the event
        std::uint8_t status = 0;        // the event's status (running status applied)
        std::uint8_t d1 = 0;            // first data byte, or the meta type
        std::uint8_t d2 = 0;
    };

    // Starts a parse at position, the delta that follows an event of the reader, with the
    // reader's byte counter and running status; the event itself, when given, becomes event 0
    // at tick 0.
    void start(TFastFile& file, std::int64_t position, std::int32_t chunkLength,
               std::int64_t counter, std::uint8_t running, const TEvent* first = nullptr);
    bool started() const { return started_; }

    // The event whose bytes end at position with that counter and running status; none when
    // the parse never passes such a state. Parses on as far as that position.
    std::uint32_t find(std::int64_t position, std::int64_t counter, std::uint8_t running);

    // Parses on until the note-on k has its end (endOf[k]) or the parse stops.
    void parseToEndOf(std::uint32_t k);

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

private:
    // Parses one more event (and the delta before it); false once the parse has stopped.
    bool parseEvent();
    // Parses on while more() holds, from where the parse stopped.
    template <typename TMore> void parseWhile(TMore more);
    void add(const TEvent& e);

    TMidiTokenizer tokens_;
    TFastFile* file_ = nullptr;
    std::int64_t position_ = 0; // where the parse goes on in the file
    bool started_ = false;
    bool done_ = false; // the chunk, an error or the end-of-track event stopped the parse
    // The note-ons of every channel and key still waiting for their end.
    std::vector<std::vector<std::uint32_t>> open_;
};

// The note event a controller change makes for the notes of its channel: controllers 1, 7, 10
// and 11 (modulation, volume, pan, expression); nothing for the others.
std::optional<TNoteKind> controllerKind(std::uint8_t controller);

// The release value of a note that the event ending it gives: a note-off its velocity, a
// note-on of the key 64 or 127 (velocity 0 or not), the end of the track or of the chunk 64;
// under a held sustain pedal a third of the note-off velocity, or 21 and 42.
int releaseValue(const TTrackIndex::TEvent* end, bool pedal);

} // namespace zb::compiler
