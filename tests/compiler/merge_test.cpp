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

std::vector<std::pair<int, int>> starts(const TSampleRec& r) {
    std::vector<std::pair<int, int>> out;
    for (const auto& g : r.notes)
        out.emplace_back(g.key(), g.startTime().value);
    return out;
}

TEST(Merge, MovedNotesKeepTheirPitchThroughTheBaseKeyShift) {
    TCompileState state;
    state.samples.push_back(record("a.wav", 60, {{60, 0}}));
    state.samples.push_back(record("a.wav", 48, {{50, 100}}));
    mergeSampleRecords(state);
    ASSERT_EQ(state.samples.size(), 1u);
    EXPECT_EQ(starts(*state.samples[0]), (std::vector<std::pair<int, int>>{{60, 0}, {62, 100}}));
    for (const auto& e : state.samples[0]->notes[1].events)
        EXPECT_EQ(e.key, 62); // every event of the group moves with it
}

TEST(Merge, ProgramDrumFlagRangeAndRateDoNotSeparate) {
    TCompileState state;
    state.samples.push_back(record("a.wav", 60, {{60, 0}}));
    auto b = record("a.wav", 60, {{61, 0}});
    b->program = 7;
    b->isDrum = 1;
    b->keyLow = 10;
    b->keyHigh = 20;
    b->sampleRate = 44100;
    state.samples.push_back(std::move(b));
    mergeSampleRecords(state);
    ASSERT_EQ(state.samples.size(), 1u);
    EXPECT_EQ(state.samples[0]->program, 0);
    EXPECT_EQ(state.samples[0]->sampleRate, 22050);
    EXPECT_EQ(state.samples[0]->notes.size(), 2u);
}

TEST(Merge, NameCaseOrOneRealFieldKeepRecordsApart) {
    TCompileState state;
    state.samples.push_back(record("a.wav", 60, {{60, 0}}));
    state.samples.push_back(record("A.wav", 60, {{60, 0}}));
    auto c = record("a.wav", 60, {{60, 0}});
    c->sustainSlope = -0.0001L;
    state.samples.push_back(std::move(c));
    mergeSampleRecords(state);
    EXPECT_EQ(state.samples.size(), 3u);
}

TEST(Merge, GroupsGoInKeyAndStartOrderAfterEqualStarts) {
    TCompileState state;
    state.samples.push_back(record("a.wav", 60, {{60, 0}, {60, 100}, {64, 0}}));
    auto b = record("a.wav", 60, {{40, 500}, {60, 50}, {60, 100}, {70, 0}});
    b->notes[2].events[0].value = 7; // the moved group of tick 100
    state.samples.push_back(std::move(b));
    mergeSampleRecords(state);
    const auto& a = *state.samples[0];
    EXPECT_EQ(starts(a),
              (std::vector<std::pair<int, int>>{
                  {40, 500}, {60, 0}, {60, 50}, {60, 100}, {60, 100}, {64, 0}, {70, 0}}));
    EXPECT_EQ(a.notes[3].events[0].value, 100); // A's own group of tick 100 stays first
    EXPECT_EQ(a.notes[4].events[0].value, 7);
}

TEST(Merge, EveryRecordOfAClassGoesIntoTheFirst) {
    TCompileState state;
    state.samples.push_back(record("a.wav", 60, {{60, 0}}));
    state.samples.push_back(record("b.wav", 60, {{60, 0}}));
    state.samples.push_back(record("a.wav", 60, {{61, 0}}));
    state.samples.push_back(record("b.wav", 60, {{62, 0}}));
    state.samples.push_back(record("a.wav", 72, {{63, 0}}));
    mergeSampleRecords(state);
    ASSERT_EQ(state.samples.size(), 2u);
    EXPECT_EQ(state.samples[0]->wavName, "a.wav");
    EXPECT_EQ(starts(*state.samples[0]),
              (std::vector<std::pair<int, int>>{{51, 0}, {60, 0}, {61, 0}}));
    EXPECT_EQ(state.samples[1]->wavName, "b.wav");
    EXPECT_EQ(state.samples[1]->notes.size(), 2u);
}

TEST(Merge, ShiftedKeysMayLeaveTheKeyboard) {
    TCompileState state;
    state.samples.push_back(record("a.wav", 0, {{0, 0}}));
    state.samples.push_back(record("a.wav", 127, {{1, 0}}));
    mergeSampleRecords(state);
    EXPECT_EQ(state.samples[0]->notes[0].key(), -126);
}

TEST(Merge, NothingHappensAfterAnError) {
    TCompileState state;
    state.errorCode = 12;
    state.samples.push_back(record("a.wav", 60, {{60, 0}}));
    state.samples.push_back(record("a.wav", 60, {{61, 0}}));
    mergeSampleRecords(state);
    EXPECT_EQ(state.samples.size(), 2u);
}

} // namespace
} // namespace zb::compiler
