#pragma once

#include "compiler/fast_file.h"
#include "compiler/sample_rec.h"
#include "compiler/song_block.h"
#include "compiler/track_index.h"
#include "instruments/prg_patch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zb::compiler {

inline constexpr int kSlotCount = 16; // channel slots 1..16 (MIDI channel + 1)

// What a musician changes about a song without touching its file: slots muted or soloed (when
// any slot is soloed only soloed slots sound), the speed in percent of the file's (every tempo
// divided by it) and a transposition of the melodic slots. The defaults change nothing.
struct TCompileOptions {
    std::array<bool, kSlotCount> muted{};
    std::array<bool, kSlotCount> soloed{};
    std::int32_t tempoPercent = 100; // kMinTempoPercent..kMaxTempoPercent
    std::int32_t transpose = 0;      // semitones, -kMaxTranspose..kMaxTranspose

    static constexpr std::int32_t kMinTempoPercent = 25;
    static constexpr std::int32_t kMaxTempoPercent = 400;
    static constexpr std::int32_t kMaxTranspose = 24;

    // Whether the notes of slot 1..16 are compiled at all.
    bool sounds(int slot) const {
        const auto i = static_cast<std::size_t>(slot - 1);
        for (const bool solo : soloed)
            if (solo)
                return soloed[i];
        return !muted[i];
    }
    // The options with speed and transposition inside their ranges, as they are compiled.
    TCompileOptions clamped() const {
        TCompileOptions c = *this;
        c.tempoPercent = std::clamp(tempoPercent, kMinTempoPercent, kMaxTempoPercent);
        c.transpose = std::clamp(transpose, -kMaxTranspose, kMaxTranspose);
        return c;
    }
    bool operator==(const TCompileOptions&) const = default;
};

// Error codes of a compilation (the patch line codes come from the patch parser).
enum TCompileError : std::int32_t {
    errNone = 0,
    errOpenMidi = 11,
    errUnexpectedEnd = 12,
    errNotStandardMidi = 13,
    errUndefinedStatus = 14,
    errNoteNotAssigned = 15,
    errSongTooLong = 42,
};

// Details that the message of the first error shows.
struct TErrorDetails {
    std::uint8_t key = 0;
    std::uint8_t channel = 0;
    std::string prgFileName; // as built: the first file tried, also when the fallback was read
    std::int32_t lineNumber = 0;
};

struct drumEntry {
    std::int32_t track = 0;   // 1-based track number, -1 = every track
    std::int16_t channel = 0; // channel slot 1..16, -1 = every channel
};

struct tempoEntry {
    std::int32_t tick = 0;  // absolute tick of the tempo event in its track
    std::int32_t tempo = 0; // microseconds per quarter note
};

// One channel slot of the track being read: its patch and its controller state. Everything is
// reset at the start of every track chunk.
struct TChannelSlot {
    // The loaded patch. Tables never change once loaded, so a program change that finds the
    // same program loaded on another slot shares that table instead of copying it.
    std::shared_ptr<const instruments::prgEntryRec> table;
    std::uint8_t slotProgram = 0;
    bool slotIsDrum = false;
    bool slotLoaded = false;
    std::uint8_t slotVolume = 64;
    std::uint8_t slotPan = 64;
    std::uint8_t slotModulation = 0;
    std::uint8_t slotExpression = 0;
    std::uint8_t slotSustain = 0;
    std::int16_t slotPitchBend = 0;

    int entryCount(int key) const { return table ? table->entryCount[key] : 0; }
    // The field of a controller that notes follow (modulation, volume, pan, expression).
    std::uint8_t& controller(TNoteKind kind) {
        switch (kind) {
        case modulation:
            return slotModulation;
        case volume:
            return slotVolume;
        case pan:
            return slotPan;
        default:
            return slotExpression;
        }
    }
};

// The state that every pass of one compilation reads and writes. It lives for one compileSong
// call; the first failure stores its code in errorCode and every later step does nothing.
struct TCompileState {
    std::string fileName;
    std::string prgDir;
    TCompileOptions options;

    std::int32_t errorCode = errNone;
    TErrorDetails errorType;
    std::vector<drumEntry> drumList;
    TSampleList samples;              // the sample record chain
    std::vector<tempoEntry> tempoMap; // ascending tick order, equal ticks in reading order

    std::array<TChannelSlot, kSlotCount> slotState{};
    TChannelSlot& slot(int slotNumber) {
        return slotState[static_cast<std::size_t>(slotNumber - 1)];
    }

    // MIDI header values.
    std::uint16_t trackCount = 0;
    std::int16_t division = 0;

    // Track reading state.
    std::int32_t trackNumber = 0;
    std::int32_t chunkLength = 0;
    std::int64_t chunkStart = 0; // file position of the chunk's first delta
    std::int32_t currentTick = 0;
    TMidiTokenizer track; // the reader's parse of the chunk
    std::unique_ptr<TFastFile> file;
    // The look-ahead of the chunk's notes, started at its first note.
    TTrackIndex trackIndex;

    // Outputs of the timing and voice-building passes.
    std::int32_t songLengthMs = 0;
    std::int32_t songLength = 0; // output bytes
    TSong song;

    bool failed() const { return errorCode != errNone; }
    void setError(std::int32_t code) {
        if (errorCode == errNone)
            errorCode = code;
    }
};

} // namespace zb::compiler
