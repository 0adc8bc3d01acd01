#pragma once

#include "compiler/compile_song.h"
#include "compiler/compile_state.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Reading a Standard MIDI File (format 0 with one track, or format 1) into the compilation
// state: header checks, the track chunks, per-slot controller and program state, the tempo map,
// and every note-on handed to startNote.
namespace zb::compiler {

// Reads state.fileName. Errors go to state.errorCode; the file is closed on every path.
void readMidiFile(TCompileState& state, bool defaultTo0);

// Inserts a tempo entry at state.currentTick after every entry with a lower or equal tick.
void addTempo(TCompileState& state, std::int32_t tempo);

// What a song holds, read as the compiler reads it but without patches: per channel slot the
// programs its notes play (in the order of first use, drum programs apart) and its note count,
// the tempo map, and the lyric events (meta type 5, and text events, type 1, when
// textsAreLyrics: the karaoke files' convention) with their ticks.
struct TSongScan {
    struct TProgramUse {
        std::uint8_t program = 0;
        bool isDrum = false;
        bool operator==(const TProgramUse&) const = default;
    };
    struct TNoteHit {
        std::int32_t tick = 0;
        std::uint8_t velocity = 0;
    };
    struct TSlotUse {
        std::vector<TProgramUse> programs;
        std::vector<TNoteHit> hits; // every note start, in the order of its ticks
        std::int64_t notes() const { return static_cast<std::int64_t>(hits.size()); }
    };
    struct TText {
        std::int32_t tick = 0;
        std::string text;
    };
    std::int32_t errorCode = errNone; // the reader's error: 11 to 14, or 42
    std::int16_t division = 0;
    std::array<TSlotUse, kSlotCount> channels; // slot 1 first
    std::vector<tempoEntry> tempoMap;
    std::vector<TText> lyrics; // in the order of their ticks, equal ticks in reading order
};
// The drum grid marks drum channels as for compileSong.
TSongScan scanSong(const std::string& fileName, const TDrumGrid& drumGrid, bool textsAreLyrics);

} // namespace zb::compiler
