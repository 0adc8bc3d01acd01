#include "compiler/timing.h"

#include <gtest/gtest.h>

#include <algorithm>

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

std::vector<int> times(const TCompileState& state) {
    std::vector<int> out;
    for (const auto& e : state.samples[0]->events)
        out.push_back(e.time.value);
    return out;
}

// Ticks through a division and a tempo map to milliseconds, each rounded on its exact value.
TEST(Timing, EachDivisionAndTempoMapGivesItsMilliseconds) {
    constexpr auto smpte25x40 = static_cast<std::int16_t>(0xE728);
    struct TCase {
        std::int16_t division;
        std::vector<tempoEntry> tempo;
        std::vector<int> ticks;
        std::vector<int> ms;
    };
    const std::vector<TCase> cases = {
        {96, {}, {96, 48, 1, 0}, {500, 250, 5, 0}},
        {480, {{0, 600000}}, {480}, {600}},
        {480, {{960, 1000000}}, {480, 960, 1440}, {500, 1000, 2000}},
        // Entries at one tick make stretches of length 0: the last one read holds from there on.
        {480, {{480, 100000}, {480, 1000000}}, {480, 960}, {500, 1500}},
        {smpte25x40, {}, {1000, 3}, {1000, 3}},
        {smpte25x40, {{0, 250000}}, {1000}, {500}},
        // Halves go to even; 62.5 and 187.5 ms summed in floating point may miss the half.
        {1, {{0, 500}}, {1, 3, 5}, {0, 2, 2}},
        {480, {}, {60, 180}, {62, 188}},
    };
    for (const auto& c : cases) {
        auto state = stateWithTicks(c.division, c.tempo, c.ticks);
        computeTiming(state);
        EXPECT_EQ(times(state), c.ms) << "division " << c.division;
        EXPECT_EQ(state.songLengthMs, *std::max_element(c.ms.begin(), c.ms.end()));
    }
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

// An event followed by one of its kind and key at its time or of its value goes; sweeps repeat
// until nothing more goes; the first and the last event of a chain stay.
TEST_F(RedundantEvents, EachChainKeepsItsEvents) {
    struct TCase {
        std::vector<TRaw> chain;
        std::vector<std::int32_t> kept; // the times of what stays
    };
    const std::vector<TCase> cases = {
        {{{0, noteStart, 60, 100, 0},
          {10, volume, 60, 80, 0},
          {10, volume, 60, 90, 0},
          {20, volume, 60, 90, 0},
          {30, pan, 60, 90, 0},
          {40, noteEnd, 60, 64, 0}},
         {0, 20, 30, 40}},
        // Removing the middle volume makes the first one redundant in the next sweep.
        {{{0, noteStart, 60, 100, 0},
          {5, volume, 60, 5, 0},
          {10, volume, 60, 6, 0},
          {10, volume, 60, 5, 0},
          {40, noteEnd, 60, 64, 0}},
         {0, 10, 40}},
        {{{0, volume, 60, 1, 0}, {1, volume, 60, 1, 0}, {2, volume, 60, 1, 0}}, {0, 2}},
        {{{0, volume, 61, 1, 0}, {1, volume, 61, 1, 0}, {2, volume, 60, 1, 0}}, {0, 1, 2}},
    };
    for (const auto& c : cases) {
        std::vector<std::int32_t> kept;
        for (const auto& e : sweep(c.chain))
            kept.push_back(e.time.value);
        EXPECT_EQ(kept, c.kept) << c.chain.size() << " events";
    }
}

} // namespace
} // namespace zb::compiler
