#include "compiler/levels.h"

#include <cmath>

namespace zb::compiler {

namespace {

std::int32_t limitStep(Real step) {
    if (!(step < kMaxPitchStep)) // also catches an overflow to infinity
        return kMaxPitchStep;
    return static_cast<std::int32_t>(roundHalfEven(step));
}

} // namespace

std::int32_t pitchStep(int baseKey, int key) {
    return limitStep(1024 / std::pow(2.0L, static_cast<Real>(baseKey - key) / 12));
}

std::int32_t bentPitchStep(int bend, int range, std::int32_t baseStep) {
    return limitStep(std::pow(2.0L, static_cast<Real>(bend * range) / 98304) * baseStep);
}

Real noteLevel(const TSongBlock& voice, const TVoiceState& s, bool legacyMode) {
    const int v = s.curVelocity;
    const int p = s.curPressure;
    const int c = s.curVolume;
    const int e = s.curExpression;
    const std::int64_t b = voice.baseVolume;
    if (legacyMode) {
        const Real pressureTerm =
            1 + static_cast<Real>((p - 64) * voice.pressureSensitivity) / 6400;
        const Real volumeTerm = c + static_cast<Real>(e * voice.expressionSensitivity) / 100;
        return pressureTerm * static_cast<Real>(v * voice.velocitySensitivity) * volumeTerm /
               static_cast<Real>(26214400 * b);
    }
    const int exponent = v * voice.velocitySensitivity + (p - 64) * voice.pressureSensitivity +
                         (e - 127) * voice.expressionSensitivity;
    return (std::pow(10.0L, static_cast<Real>(exponent) / 12800) - 1) * c /
           static_cast<Real>(16384 * b);
}

Real releaseLevel(const TSongBlock& voice, const TVoiceState& s, int r, bool legacyMode) {
    const Real releaseTerm = 1 + static_cast<Real>((r - 64) * voice.releaseSensitivity) / 6400;
    if (legacyMode) {
        const Real volumeTerm =
            s.curVolume + static_cast<Real>(s.curExpression * voice.expressionSensitivity) / 100;
        return volumeTerm / static_cast<Real>(4096 * std::int64_t{voice.baseVolume}) * releaseTerm;
    }
    return noteLevel(voice, s, false) * releaseTerm;
}

} // namespace zb::compiler
