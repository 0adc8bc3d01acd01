#pragma once

#include "compiler/song_block.h"
#include "synth/config.h"
#include "synth/lfo.h"

#include <cstdint>
#include <limits>
#include <span>

// One voice's walk through one buffer: its events at their positions, the envelope's stages and
// level updates between them, and the frames. Used by renderVoice only.
namespace zb::synth {

// A level as a gain, truncated toward zero and clamped to 32 bits (0 for NaN).
inline std::int32_t gainOf(zb::Real level) {
    if (!(level > -2147483648.0L)) // also NaN
        return level < 0 ? std::numeric_limits<std::int32_t>::min() : 0;
    if (level >= 2147483647.0L)
        return std::numeric_limits<std::int32_t>::max();
    // Truncating an extended real directly switches the x87 rounding mode twice, which costs
    // more than the rest of a level update. The nearest double is within 2^-22 of the level
    // here and every integer in range is a double, so its truncation is the level's or one
    // further from zero, which the comparison in full precision takes back.
    auto gain = static_cast<std::int32_t>(static_cast<double>(level));
    if (level >= 0 ? static_cast<zb::Real>(gain) > level : static_cast<zb::Real>(gain) < level)
        gain += level >= 0 ? -1 : 1;
    return gain;
}

class TVoiceWalk {
public:
    TVoiceWalk(compiler::TSongBlock& voice, std::int64_t bufferStart, std::span<std::int64_t> mix)
        : v(voice), s(voice.live), start(bufferStart), mix(mix) {}

    bool run(std::int64_t bufferEnd, bool continuesBuffer);

private:
    enum class TRun { target, silent, boundary };
    // The read position while frames render, in locals.
    struct TCursor {
        std::int32_t cur;
        std::int32_t delta;
        std::int32_t frac;
        std::int64_t index;
    };

    // The voice walk (voice_walk.cpp).
    void renderSegment(std::int64_t target);
    // Frames up to target; stops after the frame whose advance silences the voice or reaches
    // boundary (the attack's or decay's end).
    TRun runFrames(std::int64_t target, bool looping, std::int64_t boundary);
    template <bool Vibrato, bool Looping, bool Update>
    TRun frames(std::int64_t count, std::int64_t boundary);
    template <bool Vibrato, bool Looping>
    TRun fastRun(std::int64_t*& out, std::int64_t& done, std::int64_t count, TCursor& c, TLfo& lfo,
                 std::int64_t boundary);
    template <bool Looping> TRun moveTo(TCursor& c, std::int64_t boundary);
    std::int64_t intoLoop(std::int64_t index) const;
    std::int32_t sampleAt(std::int64_t index) const {
        return index >= 0 && static_cast<std::uint64_t>(index) < v.sampleSize ? v.sampleData[index]
                                                                              : 0;
    }

    // The envelope and the events (envelope.cpp).
    bool levelUpdate();
    void handleEvent(const compiler::songEvent& e);
    void catchUp();
    void setGains() {
        s.gainLeft = gainOf(s.levelLeft);
        s.gainRight = gainOf(s.levelRight);
    }
    void setSlopes(zb::Real rate) {
        s.slopeLeft = s.factorLeft * rate;
        s.slopeRight = s.factorRight * rate;
    }
    void setReleaseSlopes();
    void channelCheck();
    void stepRule(bool activeOnly);
    void endAttack();
    void enterSustain();
    void fallSilent() { s.envState = compiler::envSilent; }
    // After K: silent when no channel sounds, else the update interval of the active ones.
    void silentOrStep() {
        if (!s.leftActive && !s.rightActive)
            fallSilent();
        else
            stepRule(true);
    }

    compiler::TSongBlock& v;
    compiler::TVoiceState& s;
    std::int64_t start;
    std::span<std::int64_t> mix;
    std::int64_t pos = 0;
};

} // namespace zb::synth
