#pragma once

#include "compiler/compile_state.h"
#include "compiler/lyrics.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What the channels dialog and the lyrics window show of the loaded song: its channels, their
// liveliness at the heard position and the words being sung.
namespace zb::app {

struct TChannelRow {
    int slot = 0;         // 1..16
    std::string programs; // "Acoustic Grand Piano, Strings": the programs in the order played
    std::int64_t notes = 0;
    bool operator==(const TChannelRow&) const = default;
};

struct TSongFacts {
    std::vector<TChannelRow> channels; // the slots with notes, in slot order
    std::vector<compiler::TLyricLine> lyrics;
    // Every note start of each slot: its output byte position at the song's speed, and velocity.
    struct THit {
        std::int64_t position = 0;
        std::uint8_t velocity = 0;
    };
    std::array<std::vector<THit>, compiler::kSlotCount> hits;
};

// The facts of a MIDI file at a speed in percent; empty facts when it does not read. Any thread
// may make them.
TSongFacts songFacts(const std::string& fileName, const compiler::TDrumGrid& drumGrid,
                     std::int32_t tempoPercent);

// How loud a slot is at an output byte position, 0..127: its newest note's velocity, falling to 0
// over 600 ms.
int slotLevel(const TSongFacts& facts, int slot, std::int64_t position);

// The lyrics at the heard position: the line being sung split around the syllable being sung,
// and the line after it. Before the first syllable the first line waits with nothing sung.
struct TLyricsView {
    bool none = true; // the song has no lyrics
    std::string sungBefore, sung, sungAfter;
    std::string next;
};
TLyricsView lyricsAt(const std::vector<compiler::TLyricLine>& lines, std::int64_t position);

} // namespace zb::app
