#include "compiler/timing.h"

#include <gtest/gtest.h>

namespace zb::compiler {
namespace {

// A state with one record whose chain holds one noteStart per tick given.
TCompileState stateWithTicks(std::int16_t division, std::vector<tempoEntry> tempo,
                             const std::vector<int>& ticks) {
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

} // namespace
} // namespace zb::compiler
