#pragma once

#include "compiler/fast_file.h"

#include <cstdint>

// The event grammar of a track chunk, read once for the song reader and for the look-ahead of
// its notes: delta times, running status, channel messages, system exclusive and meta events.
namespace zb::compiler {

// One event of a track chunk.
struct TMidiEvent {
    std::int64_t tick = 0;    // sum of the deltas since the tokenizer started (no limit)
    std::uint8_t status = 0;  // running status applied
    std::uint8_t d1 = 0;      // first data byte; the type of a meta event
    std::uint8_t d2 = 0;      // second data byte of a two-byte channel message
    std::uint32_t length = 0; // the skipped data of a system exclusive or meta event
    std::int32_t tempo = 0;   // microseconds per quarter note of a tempo event read whole
};

// How a tempo event (FF 51) is read. The song reader takes its length byte and the 24-bit
// tempo after it, four bytes whatever the length byte says, so that files with a wrong length
// byte keep their tempo. A note's look-ahead skips it by its length like any meta event. The
// two parses of a chunk part only at a tempo event whose length byte is not 3.
enum class TTempoRule { fourBytes, byLength };

// Reads the items of one track chunk in turn from the file's position. The chunk's byte count
// starts at 1 and ends the chunk once it reaches the chunk length. A step that finds the file's
// end is error 12; an undefined status byte (F1-F6, F8-FD) is error 14. Both leave the
// tokenizer stopped, as does the end-of-track event (FF 2F, whose length byte is read and
// ignored).
class TMidiTokenizer final {
public:
    enum TStep { delta, event, chunkEnd, failed };

    TMidiTokenizer() = default;
    TMidiTokenizer(TFastFile& file, std::int32_t chunkLength, TTempoRule rule,
                   std::int64_t counter = 1, std::uint8_t running = 0xFE)
        : file_(&file), chunkLength_(chunkLength), rule_(rule), counter_(counter),
          running_(running) {}

    // Reads the next delta time or event (they alternate, a delta first).
    TStep next();

    const TMidiEvent& current() const { return event_; }
    std::int64_t tick() const { return tick_; }
    std::int64_t counter() const { return counter_; } // chunk bytes consumed plus 1
    std::uint8_t running() const { return running_; }
    bool endOfTrack() const { return endOfTrack_; }
    std::int32_t errorCode() const { return errorCode_; } // 0, 12 or 14

private:
    bool readVarLen(std::uint32_t& value);
    TStep fail(std::int32_t code);
    TStep readEvent();

    TFastFile* file_ = nullptr;
    std::int32_t chunkLength_ = 0;
    TTempoRule rule_ = TTempoRule::fourBytes;
    std::int64_t counter_ = 1;
    std::uint8_t running_ = 0xFE;
    std::int64_t tick_ = 0;
    bool expectDelta_ = true;
    bool stopped_ = false;
    bool endOfTrack_ = false;
    std::int32_t errorCode_ = 0;
    TMidiEvent event_;
};

} // namespace zb::compiler
