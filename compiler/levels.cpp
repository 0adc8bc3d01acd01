#include "compiler/levels.h"

#include <cmath>
#include <unordered_map>

namespace zb::compiler {

namespace {

std::int32_t limitStep(Real step) {
    if (!(step < kMaxPitchStep)) // also catches an overflow to infinity
        return kMaxPitchStep;
    return static_cast<std::int32_t>(roundHalfEven(step));
}

// Songs ask for the same few powers over and over (one per key distance, bend or level
// exponent), and the extended-precision power is the costliest step of a compilation. The power
// is a pure function, so remembering its results per thread changes no value.
template <typename TCompute>
Real remembered(std::unordered_map<std::int64_t, Real>& memo, std::int64_t key, TCompute compute) {
    if (const auto it = memo.find(key); it != memo.end())
        return it->second;
    if (memo.size() >= 65536)
        memo.clear();
    return memo.emplace(key, compute()).first->second;
}

} // namespace

std::int32_t pitchStep(int baseKey, int key) {
    thread_local std::unordered_map<std::int64_t, Real> memo;
    const int distance = baseKey - key;
    return limitStep(remembered(
        memo, distance, [&] { return 1024 / std::pow(2.0L, static_cast<Real>(distance) / 12); }));
}

std::int32_t bentPitchStep(int bend, int range, std::int32_t baseStep) {
    thread_local std::unordered_map<std::int64_t, Real> memo;
    const int amount = bend * range;
    return limitStep(remembered(memo, amount,
                                [&] { return std::pow(2.0L, static_cast<Real>(amount) / 98304); }) *
                     baseStep);
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
    thread_local std::unordered_map<std::int64_t, Real> memo;
    const Real power = remembered(
        memo, exponent, [&] { return std::pow(10.0L, static_cast<Real>(exponent) / 12800); });
    return (power - 1) * c / static_cast<Real>(16384 * b);
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
