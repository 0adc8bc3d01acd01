#include "compiler/lyrics.h"

#include "compiler/timing.h"

#include <string_view>

namespace zb::compiler {

std::string TLyricLine::text() const {
    std::string line;
    for (const auto& s : syllables)
        line += s.text;
    return line;
}

bool isKaraokeName(const std::string& fileName) {
    if (fileName.size() < 4)
        return false;
    std::string ext = fileName.substr(fileName.size() - 4);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return ext == ".kar";
}

std::vector<TLyricLine> lyricLines(const TSongScan& scan, std::int32_t tempoPercent) {
    const TTickClock clock(scan.tempoMap, scan.division, tempoPercent);
    std::vector<TLyricLine> lines;
    bool open = false;
    for (const auto& event : scan.lyrics) {
        std::string_view text = event.text;
        if (text.starts_with('@'))
            continue;
        if (!text.empty() && (text.front() == '/' || text.front() == '\\')) {
            if (text.front() == '\\' && !lines.empty())
                lines.emplace_back();
            open = false;
            text.remove_prefix(1);
        }
        const std::int64_t ms = clock.ms(event.tick);
        TLyricSyllable syllable{ms, msToBytes(ms), ""};
        const auto flush = [&] {
            if (syllable.text.empty())
                return;
            if (!open)
                lines.emplace_back();
            open = true;
            lines.back().syllables.push_back(syllable);
            syllable.text.clear();
        };
        for (const char c : text) {
            if (c == '\r' || c == '\n') {
                flush();
                open = false;
            } else {
                syllable.text.push_back(c);
            }
        }
        flush();
    }
    return lines;
}

} // namespace zb::compiler
