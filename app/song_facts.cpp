#include "app/song_facts.h"

#include "compiler/timing.h"
#include "instruments/gm_names.h"

#include <algorithm>

namespace zb::app {

namespace {
constexpr std::int64_t kLevelFall = compiler::msToBytes(600);
} // namespace

TSongFacts songFacts(const std::string& fileName, const compiler::TDrumGrid& drumGrid,
                     std::int32_t tempoPercent) {
    const compiler::TSongScan scan =
        compiler::scanSong(fileName, drumGrid, compiler::isKaraokeName(fileName));
    TSongFacts facts;
    if (scan.errorCode != compiler::errNone)
        return facts;
    const compiler::TTickClock clock(scan.tempoMap, scan.division, tempoPercent);
    for (int slot = 1; slot <= compiler::kSlotCount; ++slot) {
        const auto& use = scan.channels[static_cast<std::size_t>(slot - 1)];
        if (use.notes() == 0)
            continue;
        TChannelRow row{slot, {}, use.notes()};
        for (const auto& program : use.programs) {
            if (!row.programs.empty())
                row.programs += ", ";
            row.programs += instruments::gmPlayedName(program.program, program.isDrum);
        }
        facts.channels.push_back(std::move(row));
        auto& hits = facts.hits[static_cast<std::size_t>(slot - 1)];
        hits.reserve(use.hits.size());
        for (const auto& hit : use.hits)
            hits.push_back({compiler::msToBytes(clock.ms(hit.tick)), hit.velocity});
    }
    facts.lyrics = compiler::lyricLines(scan, tempoPercent);
    return facts;
}

int slotLevel(const TSongFacts& facts, int slot, std::int64_t position) {
    if (slot < 1 || slot > compiler::kSlotCount)
        return 0;
    const auto& hits = facts.hits[static_cast<std::size_t>(slot - 1)];
    // The notes started within the fall time before the position: the loudest after its fall.
    auto it = std::upper_bound(
        hits.begin(), hits.end(), position,
        [](std::int64_t at, const TSongFacts::THit& h) { return at < h.position; });
    std::int64_t level = 0;
    while (it != hits.begin()) {
        --it;
        const std::int64_t age = position - it->position;
        if (age >= kLevelFall)
            break;
        level = std::max(level, it->velocity * (kLevelFall - age) / kLevelFall);
    }
    return static_cast<int>(level);
}

TLyricsView lyricsAt(const std::vector<compiler::TLyricLine>& lines, std::int64_t position) {
    TLyricsView view;
    // The lines that hold words; paragraph breaks only separate them.
    std::vector<const compiler::TLyricLine*> sung;
    for (const auto& line : lines)
        if (!line.syllables.empty())
            sung.push_back(&line);
    if (sung.empty())
        return view;
    view.none = false;
    std::size_t current = 0;
    while (current + 1 < sung.size() && sung[current + 1]->syllables.front().position <= position)
        ++current;
    const auto& syllables = sung[current]->syllables;
    std::size_t at = 0; // syllables before the one being sung
    while (at < syllables.size() && syllables[at].position <= position)
        ++at;
    if (at == 0) {
        view.sungAfter = sung[current]->text();
    } else {
        for (std::size_t i = 0; i < syllables.size(); ++i)
            (i + 1 < at    ? view.sungBefore
             : i + 1 == at ? view.sung
                           : view.sungAfter) += syllables[i].text;
    }
    if (current + 1 < sung.size())
        view.next = sung[current + 1]->text();
    return view;
}

} // namespace zb::app
