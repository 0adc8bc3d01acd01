#pragma once

#include "compiler/midi_reader.h"

#include <cstdint>
#include <string>
#include <vector>

// A song's words as lines of syllables, timed by the clock of its notes (TTickClock).
namespace zb::compiler {

struct TLyricSyllable {
    std::int64_t ms = 0;
    std::int64_t position = 0; // output bytes: where the syllable is heard
    std::string text;
};
struct TLyricLine {
    std::vector<TLyricSyllable> syllables;
    std::string text() const;
};

// A karaoke file (".kar", in any case): its text events are lyrics too.
bool isKaraokeName(const std::string& fileName);

// The lyric texts of the scan as lines: a text starting with "/" begins a new line, one starting
// with "\" a new paragraph (an empty line before it), a CR or LF inside ends the line. Texts
// starting with "@" are a karaoke file's header (title, language, credits) and are left out.
std::vector<TLyricLine> lyricLines(const TSongScan& scan, std::int32_t tempoPercent);

} // namespace zb::compiler
