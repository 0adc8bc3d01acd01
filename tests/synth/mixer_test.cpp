#include "compiler/voice_builder.h"
#include "synth/lfo.h"
#include "synth/mixer.h"

#include <gtest/gtest.h>

#include <vector>

namespace zb::synth {
namespace {

using compiler::songEvent;
using compiler::TSampleRec;
using compiler::TSongBlock;

constexpr std::int64_t kBuffer = 352800;

// A voice over a given sample, built by the compiler's own parameter code.
struct TTestVoice {
    explicit TTestVoice(std::vector<std::int16_t> samples, TSampleRec patch = flatPatch())
        : data(std::move(samples)), rec(std::move(patch)) {
        rec.endPosition = static_cast<std::int32_t>(data.size()) - 1;
        if (rec.loopStart >= 0 && rec.loopEnd < 0)
            rec.loopEnd = rec.endPosition;
        compiler::setVoiceParameters(voice, rec, rec.baseKey, false);
        voice.sampleData = data.data();
        voice.sampleSize = data.size();
        voice.savedState.sampleDelta = data.empty() ? 0 : data[0];
    }
    // Full level at once and a flat sustain: gain 128 x factor.
    static TSampleRec flatPatch() {
        TSampleRec s;
        s.sampleRate = 22050;
        s.baseKey = 60;
        s.attackFactor = 1;
        s.decayFactor = 1;
        s.releaseSlope = -1;
        return s;
    }
    void events(std::vector<songEvent> list) {
        list.push_back({compiler::endMark, list.empty() ? 0 : list.back().time, 0, 0, 0});
        voice.events = std::move(list);
        voice.curEvent = 0;
        voice.live = voice.savedState;
        voice.live.envState = compiler::envSilent;
    }
    // Renders the buffer starting at bufferStart; returns whether the voice stays active.
    bool render(std::int64_t bufferStart = 0) {
        mix.assign(2 * 88200, 0);
        return renderVoice(voice, bufferStart, bufferStart + kBuffer, mix);
    }
    std::int64_t left(std::size_t frame) const { return mix[2 * frame]; }
    std::int64_t right(std::size_t frame) const { return mix[2 * frame + 1]; }

    std::vector<std::int16_t> data;
    TSampleRec rec;
    TSongBlock voice;
    std::vector<std::int64_t> mix;
};

songEvent at(std::int64_t frame, std::uint8_t kind, Real left = 1, Real right = 1,
             std::int32_t value = 0) {
    return {kind, static_cast<std::int32_t>(frame * 4), value, left, right};
}

TEST(Mixer, ZeroReleaseSlopeStillEnds) {
    TSampleRec patch = TTestVoice::flatPatch();
    patch.releaseSlope = 0;
    patch.loopStart = 0;
    patch.loopEnd = -1; // set to the end by the fixture: a looping voice
    TTestVoice t(std::vector<std::int16_t>(100, 10), patch);
    t.events({at(0, compiler::noteStart), at(10, compiler::noteEnd)});
    // 128 falling by 0.00128 a frame: below 1 after about 99,200 frames, in the second buffer.
    EXPECT_TRUE(t.render());
    EXPECT_EQ(t.voice.live.slopeLeft, -0.00128L);
    EXPECT_EQ(t.voice.live.stepFrames, 782);
    EXPECT_FALSE(t.render(kBuffer));
}

TEST(OutputConversion, SymmetricRoundingThenSaturationOrWrap) {
    for (const std::int64_t v : {1, 127, 128, 129, 4095, 12345, 1000000}) {
        EXPECT_EQ(convertSample(-v, 32, true), -convertSample(v, 32, true)) << v;
        EXPECT_EQ(convertSample(v, 45, false), v * 45 / 4096) << v;
    }
    EXPECT_EQ(convertSample(-129, 32, true), -1); // toward zero, not toward minus infinity
    const std::int64_t v = 40000 * 128;           // gives 40000 at the neutral multiplier
    EXPECT_EQ(convertSample(v, 32, true), 32767);
    EXPECT_EQ(convertSample(-v, 32, true), -32768);
    EXPECT_EQ(convertSample(v, 32, false), 40000 - 65536);
    // Far beyond 32 bits the sum neither overflows nor turns around in sign, and without
    // saturation its low 16 bits are kept: 3,931,159,822,034 x 64 / 4096 ends in 0x89FB.
    EXPECT_EQ(convertSample(std::int64_t{1} << 50, 32, true), 32767);
    EXPECT_EQ(convertSample(-(std::int64_t{1} << 62), 1000, true), -32768);
    EXPECT_EQ(convertSample(3931159822034, 64, false), -30213);
    EXPECT_EQ(convertSample(-3931159822034, 64, false), 30213);
}

} // namespace
} // namespace zb::synth
