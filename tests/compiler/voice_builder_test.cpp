#include "compiler/levels.h"
#include "compiler/timing.h"
#include "compiler/voice_builder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zb::compiler {
namespace {

TSampleRec patch() {
    TSampleRec s;
    s.wavName = "a.wav";
    s.sampleRate = 22050;
    s.baseKey = 60;
    s.panpot = 64;
    s.velocitySensitivity = 100;
    s.attackFactor = 1;
    s.decayFactor = 1;
    s.baseVolume = 4;
    s.endPosition = 10000;
    return s;
}

TTimedEvent ev(int ms, TNoteKind kind, int value, int key = 60) {
    return {TMilliseconds{ms}, kind, static_cast<std::int16_t>(key),
            static_cast<std::int16_t>(value), 0};
}

// Builds the song of one sample record whose chain (times in milliseconds) is given.
TCompileState build(TSampleRec rec, std::vector<TTimedEvent> chain, bool legacy = false) {
    TCompileState state;
    rec.events = std::move(chain);
    state.samples.push_back(std::make_unique<TSampleRec>(std::move(rec)));
    buildSongBlocks(state, legacy);
    return state;
}

TEST(VoiceParameters, SamplePositionsAtTheOutputRate) {
    TSampleRec s = patch();
    TSongBlock v;
    s.startPosition = 1000;
    s.sampleRate = 44100;
    setVoiceParameters(v, s, 60, false);
    EXPECT_EQ(v.startIndex, 500);
    EXPECT_EQ(v.endIndex, 5000);
    s.sampleRate = 11025;
    setVoiceParameters(v, s, 60, false);
    EXPECT_EQ(v.startIndex, 2000);
    EXPECT_EQ(v.endIndex, 20000);
    // 32000 Hz: F = 441/640 has no exact binary form, but 640 frames are exactly 441.
    s.sampleRate = 32000;
    s.startPosition = 640;
    s.endPosition = 64000;
    setVoiceParameters(v, s, 60, false);
    EXPECT_EQ(v.startIndex, 441);
    EXPECT_EQ(v.endIndex, 44100);
}

TEST(VoiceParameters, EnvelopeEndsAndRates) {
    TSampleRec s = patch();
    s.startPosition = 100;
    s.attackLength = 10; // 220.5 frames
    s.decayLength = 20;
    s.attackFactor = 1;
    s.decayFactor = 0.5L;
    s.sustainSlope = -2;
    s.releaseSlope = -4;
    TSongBlock v;
    setVoiceParameters(v, s, 60, false);
    EXPECT_EQ(v.attackEnd, 320);
    EXPECT_EQ(v.decayEnd, 761);
    EXPECT_DOUBLE_EQ(static_cast<double>(v.attackRate), 128.0 / 220.5);
    EXPECT_DOUBLE_EQ(static_cast<double>(v.decayRate), -64.0 / 441);
    EXPECT_DOUBLE_EQ(static_cast<double>(v.sustainRate), -256.0 / 22050);
    EXPECT_DOUBLE_EQ(static_cast<double>(v.releaseRate), -512.0 / 22050);
    EXPECT_EQ(v.savedState.envState, envAttack);
    EXPECT_EQ(v.savedState.levelLeft, 0);

    // Ends past the sample are held at its end.
    s.attackLength = 1000000;
    setVoiceParameters(v, s, 60, false);
    EXPECT_EQ(v.attackEnd, 10000);
    EXPECT_EQ(v.decayEnd, 10000);
}

TEST(VoiceParameters, WithoutAttackAndDecayTheVoiceStartsInSustain) {
    TSampleRec s = patch();
    s.attackFactor = 0.75L;
    s.sustainSlope = -1;
    TSongBlock v;
    setVoiceParameters(v, s, 60, false);
    EXPECT_EQ(v.savedState.envState, envSustain);
    EXPECT_EQ(v.savedState.levelLeft, 96);
    EXPECT_EQ(v.savedState.levelRight, 96);
    EXPECT_EQ(v.attackRate, v.sustainRate);
    EXPECT_EQ(v.attackEnd, v.startIndex);
    EXPECT_EQ(v.decayEnd, v.startIndex);
    s.decayLength = 5;
    setVoiceParameters(v, s, 60, false);
    EXPECT_EQ(v.savedState.envState, envDecay);
    EXPECT_EQ(v.attackRate, v.decayRate);
}

TEST(VoiceParameters, Loops) {
    TSampleRec s = patch();
    s.startPosition = 10;
    s.loopStart = 200;
    s.loopEnd = 900;
    TSongBlock v;
    setVoiceParameters(v, s, 60, false);
    EXPECT_EQ(v.loopStartIndex, 200);
    EXPECT_EQ(v.loopEndIndex, 900);
    EXPECT_EQ(v.loopLength, 701);
    // A loop start with a loop end of -1 puts both at the start index: no loop is heard.
    s.loopEnd = -1;
    setVoiceParameters(v, s, 60, false);
    EXPECT_EQ(v.loopStartIndex, 10);
    EXPECT_EQ(v.loopEndIndex, 10);
    s.loopStart = -1;
    setVoiceParameters(v, s, 60, false);
    EXPECT_EQ(v.loopStartIndex, -1);
    EXPECT_EQ(v.loopLength, 1);
}

TEST(VoiceParameters, PitchStepsAndVibratoPeriod) {
    EXPECT_EQ(pitchStep(60, 72), 2048);
    EXPECT_EQ(pitchStep(60, 48), 512);
    EXPECT_EQ(pitchStep(60, 61), 1085);
    EXPECT_EQ(bentPitchStep(8191, 2, 1024), 1149);
    // Far above the base key the steps stop at 2^24, which the mixer's phase arithmetic holds.
    EXPECT_EQ(pitchStep(0, 60 + 127 * 2), 16777216);
    EXPECT_EQ(bentPitchStep(8191, 127, 16777216), 16777216);
    TSampleRec s = patch();
    s.modulationRate = 5;
    TSongBlock v;
    setVoiceParameters(v, s, 60, false);
    EXPECT_EQ(v.savedState.lfoPeriod, 4410u);
    EXPECT_EQ(v.savedState.phaseStep, 1024);
    EXPECT_EQ(v.savedState.curExpression, 127);
    setVoiceParameters(v, s, 60, true);
    EXPECT_EQ(v.savedState.curExpression, 0);
}

TEST(VoiceEvents, ModulationAndBendCarryTheirValues) {
    TSampleRec s = patch();
    s.modulationRate = 5;
    s.modulationSensitivity = 100;
    s.pitchBendRange = 2;
    auto state = build(s, {ev(0, noteStart, 127), ev(400, modulation, 127),
                           ev(800, pitchBend, 8191), ev(1200, noteEnd, 64)});
    const auto& e = state.song.at(0)->events;
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[1].value, 256);
    EXPECT_EQ(e[2].value, 1149);
    EXPECT_EQ(e[4].kind, endMark);
    EXPECT_EQ(e[4].time, msToBytes(1200));
    EXPECT_EQ(e[4].factorLeft, 0);

    s.modulationRate = 0;
    state = build(s, {ev(0, noteStart, 127), ev(400, modulation, 127), ev(1200, noteEnd, 64)});
    EXPECT_EQ(state.song.at(0)->events[1].value, 0);
}

TEST(VoiceEvents, StandardLevelAndFactors) {
    auto state = build(patch(), {ev(0, noteStart, 127), ev(100, noteEnd, 64)});
    const auto& e = state.song.at(0)->events;
    const Real level = (std::pow(10.0L, 12700.0L / 12800) - 1) * 64 / 65536;
    EXPECT_NEAR(static_cast<double>(e[0].factorLeft), 34.7355, 1e-4);
    EXPECT_EQ(e[0].factorLeft, 64 * level * 63);
    EXPECT_EQ(e[0].factorRight, 63 * level * 64);
    EXPECT_EQ(e[1].factorLeft, e[0].factorLeft); // release 64 leaves the level
}

TEST(VoiceEvents, LegacyLevelAndReleaseLevel) {
    TSampleRec s = patch();
    s.velocitySensitivity = 50;
    s.baseVolume = 1;
    s.releaseSensitivity = 100;
    auto state = build(s, {ev(0, noteStart, 127), ev(100, noteEnd, 64)}, true);
    const auto& e = state.song.at(0)->events;
    EXPECT_EQ(e[0].factorLeft, 62.5078125L);
    EXPECT_EQ(e[0].factorRight, 62.5078125L);
    EXPECT_EQ(e[1].factorLeft, 63);
    EXPECT_EQ(e[1].factorRight, 63);
}

TEST(VoiceEvents, FactorsStayBetweenAHundredthAnd127) {
    TSampleRec s = patch();
    s.panpot = 0;
    s.baseVolume = 1;
    auto state = build(s, {ev(0, noteStart, 127), ev(50, pan, 0), ev(100, noteEnd, 64)});
    const auto& e = state.song.at(0)->events;
    EXPECT_EQ(e[1].factorLeft, 0.01L);
    EXPECT_EQ(e[1].factorRight, 0.01L);
    EXPECT_EQ(e[0].factorLeft, 0.01L); // panpot 0 sends nothing left
    EXPECT_EQ(e[0].factorRight, 127);  // and far more than the limit right
}

TEST(VoiceEvents, ControllersAtTheStartCollapseIntoTheNoteStart) {
    auto state = build(patch(), {ev(4000, noteStart, 100), ev(4000, volume, 100), ev(4000, pan, 20),
                                 ev(4000, modulation, 9), ev(8000, noteEnd, 0)});
    const auto& e = state.song.at(0)->events;
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[0].kind, noOp);
    EXPECT_EQ(e[1].kind, noOp);
    EXPECT_EQ(e[2].kind, noteStart);
    EXPECT_EQ(e[3].kind, modulation);             // modulation does not collapse
    EXPECT_GT(e[2].factorLeft, e[2].factorRight); // pan 20 is to the left with panpot 64
    EXPECT_NE(e[2].factorLeft, e[0].factorLeft);
}

TEST(VoiceGrouping, AQuarterSecondGapDecidesWhetherNotesShareAVoice) {
    const auto voices = [](int gap) {
        return build(patch(), {ev(0, noteStart, 100), ev(10, noteEnd, 64),
                               ev(10 + gap, noteStart, 100), ev(20 + gap, noteEnd, 64)})
            .song.size();
    };
    // 22,050 bytes after the end at 880: 259 ms starts at 22,840, 260 ms at 22,932.
    EXPECT_EQ(voices(249), 2u);
    EXPECT_EQ(voices(250), 1u);
}

TEST(VoiceGrouping, OverlappingNotesGetTheirOwnVoicesInOpeningOrder) {
    auto state =
        build(patch(), {ev(0, noteStart, 1), ev(50000, noteEnd, 64), ev(100, noteStart, 2),
                        ev(200, noteEnd, 64), ev(80000, noteStart, 3), ev(90000, noteEnd, 64),
                        ev(0, noteStart, 4, 62), ev(100, noteEnd, 64, 62)});
    ASSERT_EQ(state.song.size(), 3u);
    // Voice 1: notes 1 and 3 of key 60; voice 2: note 2; voice 3: key 62.
    EXPECT_EQ(state.song[0]->events.size(), 5u);
    EXPECT_EQ(state.song[0]->events[2].time, msToBytes(80000));
    EXPECT_EQ(state.song[1]->events[0].time, msToBytes(100));
    EXPECT_EQ(state.song[2]->baseStep, 1149);
    for (const auto& e : state.samples[0]->events)
        EXPECT_EQ(e.groupState, 2);
}

} // namespace
} // namespace zb::compiler
