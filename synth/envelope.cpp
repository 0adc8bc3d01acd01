#include "synth/mixer.h"
#include "synth/voice_walk.h"

#include <algorithm>
#include <cmath>

// The envelope's stages and level updates, and the events that change them.
namespace zb::synth {

using compiler::songEvent;
using Real = zb::Real;

namespace {

constexpr Real kMinSlope = 0.00128L; // an update at least every 782 frames
constexpr Real kSlowStepFrames = 782.25L;

Real absReal(Real x) {
    return x < 0 ? -x : x;
}

} // namespace

std::int32_t truncGain(Real level) noexcept {
    return gainOf(level);
}

bool TVoiceWalk::levelUpdate() {
    if (s.envState == compiler::envAttack || s.envState == compiler::envDecay) {
        s.levelLeft += s.stepFrames * s.slopeLeft;
        s.levelRight += s.stepFrames * s.slopeRight;
        setGains();
        return true;
    }
    if (s.leftActive) {
        s.levelLeft += s.stepFrames * s.slopeLeft;
        s.gainLeft = gainOf(s.levelLeft);
        if (s.gainLeft < 1 && s.slopeLeft < 0) {
            s.leftActive = 0;
            if (!s.rightActive) {
                fallSilent();
                return false;
            }
        }
    }
    if (s.rightActive) {
        s.levelRight += s.stepFrames * s.slopeRight;
        s.gainRight = gainOf(s.levelRight);
        if (s.gainRight < 1 && s.slopeRight < 0) {
            s.rightActive = 0;
            if (!s.leftActive) {
                fallSilent();
                return false;
            }
        }
    }
    return true;
}

void TVoiceWalk::catchUp() {
    const std::int64_t frames = (pos - (s.nextUpdatePos - s.updateInterval)) / 4;
    s.levelLeft += frames * s.slopeLeft;
    s.levelRight += frames * s.slopeRight;
    setGains();
}

void TVoiceWalk::setReleaseSlopes() {
    setSlopes(v.releaseRate);
    // Every release must end: a flat or too shallow slope is made just steep enough.
    for (Real* slope : {&s.slopeLeft, &s.slopeRight})
        if (absReal(*slope) < kMinSlope)
            *slope = *slope > 0 ? kMinSlope : -kMinSlope;
}

void TVoiceWalk::channelCheck() {
    if (s.gainLeft < 1 && s.slopeLeft < 0)
        s.leftActive = 0;
    if (s.gainRight < 1 && s.slopeRight < 0)
        s.rightActive = 0;
}

void TVoiceWalk::stepRule(bool activeOnly) {
    Real m = 0;
    if (!activeOnly || s.leftActive)
        m = absReal(s.slopeLeft);
    if ((!activeOnly || s.rightActive) && absReal(s.slopeRight) > m)
        m = absReal(s.slopeRight);
    if (m < kMinSlope)
        m = kMinSlope;
    s.stepFrames = std::trunc(1 / m + 1);
    s.updateInterval = 4 * static_cast<std::int32_t>(s.stepFrames);
    s.nextUpdatePos = pos + s.updateInterval;
}

void TVoiceWalk::endAttack() {
    catchUp();
    if (s.sampleIndex < v.decayEnd) {
        s.envState = compiler::envDecay;
        setSlopes(v.decayRate);
        stepRule(false);
    } else {
        enterSustain();
    }
}

void TVoiceWalk::enterSustain() {
    s.envState = compiler::envSustain;
    setSlopes(v.sustainRate);
    channelCheck();
    silentOrStep();
}

void TVoiceWalk::handleEvent(const songEvent& e) {
    switch (e.kind) {
    case compiler::noteStart:
        s = v.savedState;
        s.factorLeft = e.factorLeft;
        s.factorRight = e.factorRight;
        s.levelLeft = s.levelLeft * s.factorLeft;
        s.levelRight = s.levelRight * s.factorRight;
        setGains();
        setSlopes(v.attackRate);
        stepRule(false);
        break;
    case compiler::noteEnd:
        if (s.envState == compiler::envRelease || s.envState == compiler::envSilent)
            break;
        catchUp();
        s.envState = compiler::envRelease;
        s.factorLeft = e.factorLeft;
        s.factorRight = e.factorRight;
        setReleaseSlopes();
        channelCheck();
        silentOrStep();
        break;
    case 0:
    case compiler::pressure:
    case compiler::volume:
    case compiler::pan:
    case compiler::expression: {
        s.levelLeft = s.levelLeft * e.factorLeft / s.factorLeft;
        s.levelRight = s.levelRight * e.factorRight / s.factorRight;
        setGains();
        s.factorLeft = e.factorLeft;
        s.factorRight = e.factorRight;
        switch (s.envState) {
        case compiler::envAttack:
        case compiler::envDecay: {
            setSlopes(s.envState == compiler::envAttack ? v.attackRate : v.decayRate);
            const Real m = std::max(absReal(s.slopeLeft), absReal(s.slopeRight));
            s.stepFrames = m < kMinSlope ? kSlowStepFrames : 1 / m + 1;
            break;
        }
        case compiler::envSustain:
            setSlopes(v.sustainRate);
            channelCheck();
            silentOrStep();
            break;
        case compiler::envRelease:
            setReleaseSlopes();
            channelCheck();
            silentOrStep();
            break;
        default:
            break;
        }
        break;
    }
    case compiler::modulation:
        s.vibratoDepth = e.value;
        break;
    case compiler::pitchBend:
        s.phaseStep = e.value;
        break;
    default: // noOp
        break;
    }
}

} // namespace zb::synth
