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

} // namespace
} // namespace zb::compiler
