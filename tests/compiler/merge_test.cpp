#include "compiler/merge.h"

#include <gtest/gtest.h>

namespace zb::compiler {
namespace {

TNoteGroup note(int key, int start) {
    TNoteGroup g;
    g.events.push_back({TTicks{start}, noteStart, static_cast<std::int16_t>(key), 100, 0});
    g.events.push_back({TTicks{start + 5}, volume, static_cast<std::int16_t>(key), 90, 0});
    g.events.push_back({TTicks{start + 10}, noteEnd, static_cast<std::int16_t>(key), 64, 0});
    return g;
}

std::unique_ptr<TSampleRec> record(const std::string& wav, int baseKey,
                                   std::initializer_list<std::pair<int, int>> notes) {
    auto r = std::make_unique<TSampleRec>();
    r->wavName = wav;
    r->baseKey = static_cast<std::uint8_t>(baseKey);
    r->baseVolume = 100;
    r->sampleRate = 22050;
    for (const auto& [key, start] : notes)
        r->notes.push_back(note(key, start));
    return r;
}

TEST(Merge, ShiftedKeysMayLeaveTheKeyboard) {
    TCompileState state;
    state.samples.push_back(record("a.wav", 0, {{0, 0}}));
    state.samples.push_back(record("a.wav", 127, {{1, 0}}));
    mergeSampleRecords(state);
    EXPECT_EQ(state.samples[0]->notes[0].key(), -126);
}

} // namespace
} // namespace zb::compiler
