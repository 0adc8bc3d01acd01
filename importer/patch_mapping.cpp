#include "importer/patch_mapping.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace zb::importer {

namespace {

// The level factor of the compiler's standard formula at velocity 100, volume 100, expression
// 127 and pressure 64, times the base volume.
double referenceLevelTimesBase() {
    return (std::pow(10.0, 100.0 * kVelocitySensitivity / 12800.0) - 1.0) * 100.0 / 16384.0;
}

int msOf(double seconds) {
    return static_cast<int>(std::lround(std::max(0.0, seconds) * 1000));
}

std::string real(double v) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.6f", v);
    return text.data();
}

} // namespace

TEnvelope mapEnvelope(double delay, double attack, double hold, double decay, double sustainDb,
                      double release) {
    TEnvelope e;
    const double rise = delay + attack;
    e.attackLength = rise < 0.002 ? 0 : msOf(rise);
    const double sustain = std::clamp(sustainDb, 0.0, 100.0);
    if (sustain > 0.05) {
        if (sustain <= 20) {
            e.decayFactor = std::pow(10.0, -sustain / 20);
            e.decayLength = std::max(1, msOf(hold + decay * sustain / 100));
        } else {
            e.decayFactor = 0.25; // -12 dB
            const double firstLine = decay * 0.12;
            e.decayLength = std::max(1, msOf(hold + firstLine));
            const double silentAt = decay * std::min(sustain, 30.0) / 100;
            e.sustainSlope = -0.25 / std::max(0.001, silentAt - firstLine);
        }
    }
    e.releaseSlope = -1.0 / std::max(0.01, release * 0.3);
    return e;
}

TEnvelope pairedDecay(const TEnvelope& e, double hold, double decay, double reach) {
    TEnvelope p = e;
    p.decayLength = msOf(hold);
    p.decayFactor = 1;
    p.sustainSlope = -1.0 / std::max(0.001, decay * reach);
    return p;
}

double levelAt(const TEnvelope& e, double seconds) {
    const double ms = seconds * 1000;
    if (ms < e.attackLength)
        return e.attackFactor * ms / e.attackLength;
    const double intoDecay = ms - e.attackLength;
    if (intoDecay < e.decayLength)
        return e.attackFactor + (e.decayFactor - e.attackFactor) * intoDecay / e.decayLength;
    const double held = (intoDecay - e.decayLength) / 1000;
    return std::max(0.0, e.decayFactor + e.sustainSlope * held);
}

TEnvelope fitEnvelope(const TEnvelope& time, double r, double limitMs, double loopStartMs) {
    TEnvelope e = time;
    double attack = time.attackLength * r;
    if (attack > limitMs)
        attack = std::floor(limitMs);
    double decay = time.decayLength * r;
    double decayFactor = time.decayFactor;
    e.attackLength = static_cast<int>(std::lround(attack));
    if (e.attackLength + decay < loopStartMs && loopStartMs < limitMs) {
        // Through the onset to the loop, at the level the envelope has there.
        decay = std::ceil(loopStartMs) - e.attackLength;
        decayFactor = levelAt(time, (e.attackLength + decay) / r / 1000);
    } else if (time.decayLength > 0 && attack + decay > limitMs) {
        const double keep = std::max(0.0, limitMs - attack) / decay;
        const double reached = 1 + (time.decayFactor - 1) * keep;
        const double now = time.decayLength / 1000.0 * keep;
        const double silentAt = time.sustainSlope < 0 ? time.decayLength / 1000.0 +
                                                            time.decayFactor / -time.sustainSlope
                                                      : -1;
        e.sustainSlope = silentAt > now ? -reached / (silentAt - now) : 0;
        decayFactor = reached;
        decay = std::floor(std::max(0.0, limitMs - attack));
    }
    e.decayLength = static_cast<int>(std::floor(decay + 0.5));
    // Without an attack the level starts at its full value and the decay's rate comes from the
    // factor alone, which a fast step would need below zero: a 1 ms attack gives it a scale.
    if (e.attackLength == 0 && e.decayLength > 0 && 1 + r * (decayFactor - 1) < 0)
        e.attackLength = 1;
    if (e.attackLength + e.decayLength > limitMs)
        e.decayLength = std::max(0, static_cast<int>(std::floor(limitMs)) - e.attackLength);
    if (e.attackLength > 0) {
        e.attackFactor = r;
        e.decayFactor = r * decayFactor;
    } else {
        e.attackFactor = 1;
        e.decayFactor = std::max(0.0, 1 + r * (decayFactor - 1));
    }
    return e;
}

int panpotOf(int sfPan) {
    const double p = std::clamp(sfPan, -500, 500);
    return static_cast<int>(std::lround(63.5 - p * 63.5 / 500.0 + (p == 0 ? 0.5 : 0.0)));
}

std::int64_t baseVolumeFor(double amplitude, int panpot) {
    const double left = panpot * 63.0;
    const double right = (127.0 - panpot) * 64.0;
    const double power = std::sqrt(left * left + right * right);
    const double b = referenceLevelTimesBase() * power / (std::sqrt(2.0) * amplitude);
    if (!(b >= 1))
        return 1;
    return std::min<std::int64_t>(std::llround(b), 2000000000);
}

double referenceAmplitude(std::int64_t baseVolume) {
    return referenceLevelTimesBase() * 64.0 * 63.0 / static_cast<double>(baseVolume);
}

int modulationSensitivityFor(int key, int baseKey) {
    // Depth d moves the step by 2 * d / 1024 of the recorded pitch; full modulation gives
    // d = 2.56 * sensitivity.
    const double step = std::pow(2.0, (key - baseKey) / 12.0);
    const double depth = step * 1024 * (std::pow(2.0, kVibratoCents / 1200) - 1) / 2;
    return std::clamp(static_cast<int>(std::lround(depth / 2.56)), 0, 100);
}

int modulationRateFor(double hz) {
    return std::clamp(static_cast<int>(std::lround(hz)), 1, 100);
}

std::string keyCode(int key) {
    static const std::array<const char*, 12> names{"C",  "C#", "D",  "D#", "E",  "F",
                                                   "F#", "G",  "G#", "A",  "A#", "B"};
    const int k = std::clamp(key, 0, 131);
    return std::string(names[static_cast<std::size_t>(k % 12)]) + std::to_string(k / 12);
}

std::string formatPrgLine(const TPrgLineValues& v) {
    std::string line = keyCode(v.keyLow);
    if (v.keyHigh != v.keyLow) {
        line += '-';
        line += keyCode(v.keyHigh);
    }
    auto add = [&line](const std::string& field) {
        line += ' ';
        line += field;
    };
    add(v.wavName);
    add(keyCode(v.baseKey));
    add(std::to_string(v.baseVolume));
    add(std::to_string(v.panpot));
    add(std::to_string(kVelocitySensitivity));
    add(std::to_string(kPressureSensitivity));
    add(std::to_string(kExpressionSensitivity));
    add(std::to_string(kReleaseSensitivity));
    add(std::to_string(kPitchBendRange));
    add(std::to_string(v.modulationSensitivity));
    add(std::to_string(v.modulationRate));
    add(real(v.envelope.attackFactor));
    add(real(v.envelope.decayFactor));
    add(real(v.envelope.sustainSlope));
    add(real(v.envelope.releaseSlope));
    add(std::to_string(v.envelope.attackLength));
    add(std::to_string(v.envelope.decayLength));
    add(std::to_string(v.startPosition));
    add(std::to_string(v.endPosition));
    add(std::to_string(v.loopStart));
    add(std::to_string(v.loopEnd));
    add("16 1");
    add(std::to_string(kOutputRate));
    return line;
}

} // namespace zb::importer
