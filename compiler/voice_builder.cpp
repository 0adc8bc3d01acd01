#include "compiler/voice_builder.h"

#include "compiler/levels.h"
#include "compiler/timing.h"

#include <algorithm>
#include <limits>

namespace zb::compiler {

namespace {

constexpr std::int64_t kVoiceGap = 22050; // bytes between a voice's last event and its next note
constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

std::int32_t clampIndex(std::int32_t value, std::int32_t low, std::int32_t high) {
    if (value > high)
        return high;
    if (value < low)
        return low;
    return value;
}

bool collapses(std::uint8_t kind) {
    return kind == pressure || kind == volume || kind == pan || kind == expression;
}

Real limitFactor(Real factor) {
    if (factor < 0.01L)
        return 0.01L;
    if (factor > 127)
        return 127;
    return factor;
}

// The event list of a voice from its taken events, in chain order.
void buildEvents(TSongBlock& voice, const std::vector<TTimedEvent>& chain,
                 const std::vector<std::size_t>& taken, bool legacyMode) {
    voice.events.resize(taken.size() + 1);
    TVoiceState& live = voice.live;
    Real level = 0;
    std::int32_t prevTime = 0;
    std::uint8_t prevKind = 0;
    for (std::size_t n = 0; n < taken.size(); ++n) {
        const TTimedEvent& e = chain[taken[n]];
        songEvent& rec = voice.events[n];
        rec.kind = e.kind;
        rec.time = bytePosition(e.time);
        const auto value = static_cast<std::uint8_t>(e.value);
        switch (e.kind) {
        case noteStart:
            live = voice.savedState;
            live.curVelocity = e.value;
            level = noteLevel(voice, live, legacyMode);
            break;
        case pressure:
        case volume:
        case pan:
        case expression:
            (e.kind == pressure ? live.curPressure
             : e.kind == volume ? live.curVolume
             : e.kind == pan    ? live.curPan
                                : live.curExpression) = value;
            level = noteLevel(voice, live, legacyMode);
            break;
        case noteEnd:
            level = releaseLevel(voice, live, e.value, legacyMode);
            break;
        case modulation:
            if (live.lfoPeriod == 0) {
                live.vibratoDepth = 0;
            } else {
                live.curModulation = value;
                live.vibratoDepth = live.curModulation * voice.modulationSensitivity * 256 / 12700;
            }
            rec.value = live.vibratoDepth;
            break;
        case pitchBend:
            live.curBendStep = bentPitchStep(e.value, voice.pitchBendRange, voice.baseStep);
            rec.value = live.curBendStep;
            break;
        default:
            break;
        }
        const int q = live.curPan;
        rec.factorLeft = limitFactor(voice.panpot * level * (127 - q));
        rec.factorRight = limitFactor((127 - voice.panpot) * level * q);
        // A noteStart and the controller records of its time become one record that carries
        // the final factors; the ones before it do nothing.
        if (rec.time == prevTime && collapses(rec.kind) &&
            (prevKind == noteStart || collapses(prevKind))) {
            voice.events[n - 1].kind = noOp;
            rec.kind = prevKind;
        }
        prevTime = rec.time;
        prevKind = rec.kind;
    }
    songEvent& end = voice.events.back();
    end.kind = endMark;
    end.time = taken.empty() ? 0 : voice.events[taken.size() - 1].time;
    end.value = 0;
}

// Walks one record's chain and appends its voices to the song.
void buildVoices(TCompileState& state, TSampleRec& rec, bool legacyMode) {
    std::vector<TTimedEvent>& chain = rec.events;
    const std::size_t size = chain.size();
    std::size_t e = 0;
    std::size_t g = kNone;
    std::size_t restart = kNone;
    TSongBlock* voice = nullptr;
    std::vector<std::size_t> taken;
    const auto keyOf = [&](std::size_t i) { return chain[i].key; };
    const auto done = [&](std::size_t i) { return chain[i].groupState == 2; };

    while (e < size) {
        if (done(e)) {
            ++e;
            if (g != kNone && (e == size || keyOf(e) != keyOf(g)))
                g = kNone;
        } else if (g != kNone && chain[e].kind == noteStart &&
                   bytePosition(chain[e].time) <
                       std::int64_t{bytePosition(chain[g].time)} + kVoiceGap) {
            // Too soon after the open voice's last event: left for a later voice.
            if (restart == kNone)
                restart = e;
            const std::int64_t limit = std::int64_t{bytePosition(chain[g].time)} + kVoiceGap;
            const auto key = keyOf(g);
            while (e < size &&
                   ((keyOf(e) == key && bytePosition(chain[e].time) < limit) || done(e)))
                ++e;
            while (e < size && ((keyOf(e) == key && chain[e].kind != noteStart) || done(e)))
                ++e;
            if (e == size || keyOf(e) != key)
                g = kNone;
        } else {
            if (g == kNone) {
                auto block = std::make_unique<TSongBlock>();
                voice = block.get();
                state.song.push_back(std::move(block));
                setVoiceParameters(*voice, rec, chain[e].key, legacyMode);
                taken.clear();
            }
            chain[e].groupState = 1;
            taken.push_back(e);
            g = e;
            ++e;
            if (e == size || keyOf(e) != keyOf(g))
                g = kNone;
        }
        if (voice != nullptr && g == kNone) {
            buildEvents(*voice, chain, taken, legacyMode);
            for (const std::size_t i : taken)
                chain[i].groupState = 2;
            voice = nullptr;
            if (restart != kNone) {
                e = restart;
                restart = kNone;
            }
        }
    }
}

} // namespace

std::int32_t outputIndex(std::int64_t position, std::int64_t ms, std::int32_t sampleRate) {
    // position x 22050 / rate + ms x 441 / 20 over the common denominator 20 x rate; the
    // numerator stays below 2^58 for 32-bit positions and milliseconds.
    const std::int64_t numerator = position * 22050 * 20 + ms * 441 * sampleRate;
    const std::int64_t index = numerator / (std::int64_t{20} * sampleRate);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        index, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void setVoiceParameters(TSongBlock& v, TSampleRec& s, int key, bool legacyMode) {
    v.sampleRec = &s;
    v.curEvent = 0;
    v.voiceFlag = 1;
    v.endIndex = std::max(outputIndex(s.endPosition, 0, s.sampleRate), 0);
    v.startIndex = clampIndex(outputIndex(s.startPosition, 0, s.sampleRate), 0, v.endIndex);
    v.attackEnd = clampIndex(outputIndex(s.startPosition, s.attackLength, s.sampleRate),
                             v.startIndex, v.endIndex);
    v.decayEnd = clampIndex(
        outputIndex(s.startPosition, std::int64_t{s.attackLength} + s.decayLength, s.sampleRate),
        v.attackEnd, v.endIndex);
    if (s.loopStart < 0) {
        v.loopStartIndex = v.loopEndIndex = -1;
    } else {
        v.loopEndIndex =
            clampIndex(outputIndex(s.loopEnd, 0, s.sampleRate), v.startIndex, v.endIndex);
        v.loopStartIndex =
            clampIndex(outputIndex(s.loopStart, 0, s.sampleRate), v.startIndex, v.loopEndIndex);
    }
    v.loopLength = v.loopEndIndex - v.loopStartIndex + 1;

    v.sustainRate = s.sustainSlope * 128 / 22050;
    Real startRate = v.sustainRate;
    if (s.decayLength > 0) {
        v.decayRate = (s.decayFactor - s.attackFactor) * 128 / (s.decayLength * 22.05L);
        startRate = v.decayRate;
    } else {
        v.decayRate = 0;
    }
    TVoiceState saved;
    if (s.attackLength > 0) {
        v.attackRate = s.attackFactor * 128 / (s.attackLength * 22.05L);
        saved.levelLeft = saved.levelRight = 0;
        saved.envState = envAttack;
    } else {
        v.attackRate = startRate;
        saved.levelLeft = saved.levelRight = s.attackFactor * 128;
        saved.envState = s.decayLength > 0 ? envDecay : envSustain;
    }
    v.releaseRate = s.releaseSlope * 128 / 22050;
    v.baseStep = pitchStep(s.baseKey, key);

    static_cast<instruments::TVoiceControls&>(v) = s;

    saved.phaseStep = v.baseStep;
    saved.sampleIndex = v.startIndex;
    saved.lfoPeriod = s.modulationRate == 0 ? 0u : 22050u / s.modulationRate;
    saved.curExpression = legacyMode ? 0 : 127;
    v.savedState = saved;
}

void buildSongBlocks(TCompileState& state, bool legacyMode) {
    if (state.failed())
        return;
    state.song.clear();
    for (auto& rec : state.samples) {
        buildVoices(state, *rec, legacyMode);
        // The record's events live on in its voices: freeing each chain once it is walked keeps
        // the peak near the size of the song itself.
        rec->events.clear();
        rec->events.shrink_to_fit();
    }
}

} // namespace zb::compiler
