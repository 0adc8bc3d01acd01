#include "compiler/timing.h"

#include <gtest/gtest.h>

namespace zb::compiler {
namespace {

// A state with one record whose chain holds one noteStart per tick given.
TCompileState stateWithTicks(std::int16_t division, std::vector<tempoEntry> tempo,
                             std::initializer_list<int> ticks) {
    TCompileState state;
    state.division = division;
    state.tempoMap = std::move(tempo);
    auto rec = std::make_unique<TSampleRec>();
    std::int16_t key = 0;
    for (const int t : ticks) {
        TNoteGroup g;
        g.events.push_back({TTicks{t}, noteStart, key++, 100, 0});
        rec->notes.push_back(g);
    }
    state.samples.push_back(std::move(rec));
    return state;
}

std::vector<int> times(const TCompileState& state) {
    std::vector<int> out;
    for (const auto& e : state.samples[0]->events)
        out.push_back(e.time.value);
    return out;
}

TEST(Timing, QuarterNoteDivisionAtTheDefaultTempo) {
    auto state = stateWithTicks(96, {}, {96, 48, 1, 0});
    computeTiming(state);
    EXPECT_EQ(times(state), (std::vector<int>{500, 250, 5, 0}));
    EXPECT_EQ(state.songLengthMs, 500);
}

TEST(Timing, TempoEntriesStretchTheirPartOfTheSong) {
    auto state = stateWithTicks(480, {{0, 600000}}, {480});
    computeTiming(state);
    EXPECT_EQ(times(state), std::vector<int>{600});

    state = stateWithTicks(480, {{960, 1000000}}, {480, 960, 1440});
    computeTiming(state);
    EXPECT_EQ(times(state), (std::vector<int>{500, 1000, 2000}));

    // Entries at one tick make stretches of length 0: the last one read holds from there on.
    state = stateWithTicks(480, {{480, 100000}, {480, 1000000}}, {480, 960});
    computeTiming(state);
    EXPECT_EQ(times(state), (std::vector<int>{500, 1500}));
}

TEST(Timing, SmpteDivision) {
    // 0xE728: 25 frames per second, 40 ticks per frame.
    auto state = stateWithTicks(static_cast<std::int16_t>(0xE728), {}, {1000, 3});
    computeTiming(state);
    EXPECT_EQ(times(state), (std::vector<int>{1000, 3}));
    state = stateWithTicks(static_cast<std::int16_t>(0xE728), {{0, 250000}}, {1000});
    computeTiming(state);
    EXPECT_EQ(times(state), std::vector<int>{500});
}

TEST(Timing, HalvesRoundToEvenOnTheExactValue) {
    auto state = stateWithTicks(1, {{0, 500}}, {1, 3, 5});
    computeTiming(state);
    EXPECT_EQ(times(state), (std::vector<int>{0, 2, 2}));
    // 25/24 ms a tick: 62.5 and 187.5 ms, which summed in floating point may miss the half.
    state = stateWithTicks(480, {}, {60, 180});
    computeTiming(state);
    EXPECT_EQ(times(state), (std::vector<int>{62, 188}));
}

TEST(Timing, DivisionsWithoutATickLength) {
    EXPECT_EQ(tickDenominator(0), 0);
    EXPECT_EQ(tickDenominator(static_cast<std::int16_t>(0xE700)), 0);
    EXPECT_EQ(tickDenominator(96), 96000);
    EXPECT_EQ(tickDenominator(static_cast<std::int16_t>(0xE728)), 500000);
}

TEST(Timing, MillisecondsPastTheSignedRangeAreSongTooLong) {
    auto state = stateWithTicks(1, {{0, 16777215}}, {2000000000});
    computeTiming(state);
    EXPECT_EQ(state.errorCode, 42);
}

TEST(Timing, SongLengthLimitAndBytePositions) {
    TCompileState state;
    state.songLengthMs = 24347887;
    auto rec = std::make_unique<TSampleRec>();
    rec->events = {{TMilliseconds{1000}, noteStart, 60, 1, 3},
                   {TMilliseconds{1}, noteEnd, 60, 64, 1}};
    state.samples.push_back(std::move(rec));
    checkSongLength(state);
    ASSERT_EQ(state.errorCode, 0);
    EXPECT_EQ(state.songLength, 2147483632);
    EXPECT_EQ(bytePosition(state.samples[0]->events[0].time), 88200);
    EXPECT_EQ(bytePosition(state.samples[0]->events[1].time), 88);
    EXPECT_EQ(state.samples[0]->events[0].groupState, 0);

    TCompileState tooLong;
    tooLong.songLengthMs = 24347888;
    tooLong.songLength = 5;
    checkSongLength(tooLong);
    EXPECT_EQ(tooLong.errorCode, 42);
    EXPECT_EQ(tooLong.songLength, 5);
}

class RedundantEvents : public ::testing::Test {
protected:
    // Converts a chain given in milliseconds (division 1000, 1000 us a quarter: 1 ms a tick).
    struct TRaw {
        std::int32_t time;
        std::uint8_t kind;
        std::int16_t key;
        std::int16_t value;
        std::uint8_t groupState;
    };
    std::vector<TTimedEvent> sweep(std::vector<TRaw> chain) {
        TCompileState state;
        state.division = 1000;
        state.tempoMap = {{0, 1000000}};
        auto rec = std::make_unique<TSampleRec>();
        TNoteGroup group;
        for (const auto& e : chain)
            group.events.push_back({TTicks{e.time}, e.kind, e.key, e.value, e.groupState});
        rec->notes.push_back(std::move(group));
        state.samples.push_back(std::move(rec));
        computeTiming(state);
        return state.samples[0]->events;
    }
};

TEST_F(RedundantEvents, SameTimeOrSameValueRemovesTheFirst) {
    const auto out = sweep({{0, noteStart, 60, 100, 0},
                            {10, volume, 60, 80, 0},
                            {10, volume, 60, 90, 0},
                            {20, volume, 60, 90, 0},
                            {30, pan, 60, 90, 0},
                            {40, noteEnd, 60, 64, 0}});
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[1].time.value, 20);
    EXPECT_EQ(out[1].value, 90);
    EXPECT_EQ(out[2].kind, pan);
}

TEST_F(RedundantEvents, SweepsRepeatUntilNothingMoreGoes) {
    // Removing the middle volume makes the first one redundant in the next sweep.
    const auto out = sweep({{0, noteStart, 60, 100, 0},
                            {5, volume, 60, 5, 0},
                            {10, volume, 60, 6, 0},
                            {10, volume, 60, 5, 0},
                            {40, noteEnd, 60, 64, 0}});
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[1].time.value, 10);
    EXPECT_EQ(out[1].value, 5);
}

TEST_F(RedundantEvents, FirstAndLastEventsStay) {
    const auto out = sweep({{0, volume, 60, 1, 0}, {0, volume, 60, 1, 0}, {0, volume, 60, 1, 0}});
    ASSERT_EQ(out.size(), 2u);
    // The first matches its successor but is never removed; the middle one differs by key.
    const auto keys = sweep({{0, volume, 61, 1, 0}, {0, volume, 61, 1, 0}, {0, volume, 60, 1, 0}});
    EXPECT_EQ(keys.size(), 3u);
}

} // namespace
} // namespace zb::compiler
