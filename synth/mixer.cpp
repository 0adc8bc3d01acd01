#include "synth/mixer.h"

#include "synth/mix_kernel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

namespace zb::synth {

namespace {

using compiler::songEvent;
using compiler::TSongBlock;
using compiler::TVoiceState;
using Real = zb::Real;

constexpr Real kMinSlope = 0.00128L; // an update at least every 782 frames
constexpr Real kSlowStepFrames = 782.25L;

// The level update's hot path; truncGain is its name outside.
inline std::int32_t gainOf(Real level) {
    if (!(level > -2147483648.0L)) // also NaN
        return level < 0 ? std::numeric_limits<std::int32_t>::min() : 0;
    if (level >= 2147483647.0L)
        return std::numeric_limits<std::int32_t>::max();
    // Truncating an extended real directly switches the x87 rounding mode twice, which costs
    // more than the rest of a level update. The nearest double is within 2^-22 of the level
    // here and every integer in range is a double, so its truncation is the level's or one
    // further from zero, which the comparison in full precision takes back.
    auto gain = static_cast<std::int32_t>(static_cast<double>(level));
    if (level >= 0 ? static_cast<Real>(gain) > level : static_cast<Real>(gain) < level)
        gain += level >= 0 ? -1 : 1;
    return gain;
}

Real absReal(Real x) {
    return x < 0 ? -x : x;
}

// A step of the read position: a vibrato deeper than the pitch step would move backwards, so the
// position only stands; the upper bound keeps the fraction's sum inside 32 bits.
inline std::int64_t clampStep(std::int64_t step) {
    return std::clamp<std::int64_t>(step, 0, std::numeric_limits<std::int32_t>::max() - 1024);
}

// The vibrato's cosine term of every phase of a period, cosTable()[phase x 1607 div period],
// built once per period and kept for the process (periods come from the patches' modulation
// rates, 22050 div rate, so there are few). nullptr for a period beyond that range.
const std::int32_t* lfoCosines(std::uint32_t period) {
    constexpr std::uint32_t kLongest = 22050;
    static std::array<std::atomic<const std::vector<std::int32_t>*>, kLongest + 1> cache{};
    if (period == 0 || period > kLongest)
        return nullptr;
    auto& slot = cache[period];
    if (const auto* known = slot.load(std::memory_order_acquire))
        return known->data();
    auto built = std::make_unique<std::vector<std::int32_t>>(period);
    const auto& table = cosTable();
    for (std::uint32_t phase = 0; phase < period; ++phase)
        (*built)[phase] = table[std::uint64_t{phase} * 1607 / period];
    const std::vector<std::int32_t>* expected = nullptr;
    if (slot.compare_exchange_strong(expected, built.get(), std::memory_order_acq_rel))
        return built.release()->data();
    return expected->data(); // another thread was first
}

// The vibrato's phase and its table index (phase x 1607) div period, kept with its remainder so
// that each frame moves it without a division.
struct TLfo {
    TLfo(std::uint32_t lfoPhase, std::uint32_t lfoPeriod, bool vibrato)
        : phase(lfoPhase), period(lfoPeriod) {
        if (vibrato) {
            index = std::uint64_t{phase} * 1607 / period;
            rest = std::uint64_t{phase} * 1607 % period;
        }
    }
    void advance() {
        if (++phase >= period) { // the phase stays below the period: this wraps to 0
            phase = 0;
            index = 0;
            rest = 0;
            return;
        }
        rest += 1607;
        while (rest >= period) {
            rest -= period;
            ++index;
        }
    }
    // The steps of the next frames (advancing before each), into steps; returns their sum.
    // The phases of the frames run on contiguously up to the period's end, so their cosine
    // terms are a stretch of the period's cosines, and the kernel works the steps out at once.
    std::int64_t fill(std::int32_t* steps, std::int64_t count, std::int64_t phaseStep,
                      std::int64_t depth, const std::int32_t* cosines, TVibratoKernel kernel) {
        std::int64_t sum = 0;
        for (std::int64_t j = 0; j < count;) {
            const std::uint32_t next = phase + 1 >= period ? 0 : phase + 1;
            const std::int64_t run = std::min<std::int64_t>(count - j, period - next);
            sum += kernel(cosines + next, run, phaseStep, depth, steps + j);
            phase = next + static_cast<std::uint32_t>(run) - 1;
            j += run;
        }
        index = std::uint64_t{phase} * 1607 / period;
        rest = std::uint64_t{phase} * 1607 % period;
        return sum;
    }
    // The step of the frame after an advance.
    std::int64_t step(std::int64_t phaseStep, std::int64_t depth,
                      const std::array<std::int32_t, 1607>& table) const {
        return clampStep(phaseStep + ((std::int64_t{table[index]} * depth) >> 15));
    }

    std::uint32_t phase;
    std::uint32_t period;
    std::uint64_t index = 0;
    std::uint64_t rest = 0;
};

// One voice's walk through one buffer.
class TVoiceWalk {
public:
    TVoiceWalk(TSongBlock& voice, std::int64_t bufferStart, std::span<std::int64_t> mix)
        : v(voice), s(voice.live), start(bufferStart), mix(mix) {}

    bool run(std::int64_t bufferEnd, bool continuesBuffer);

private:
    enum class TRun { target, silent, boundary };

    void renderSegment(std::int64_t target);
    // Frames up to target; stops after the frame whose advance silences the voice or reaches
    // boundary (the attack's or decay's end).
    TRun runFrames(std::int64_t target, bool looping, std::int64_t boundary);
    template <bool Vibrato, bool Looping> TRun stretch(std::int64_t frames, std::int64_t boundary);
    template <bool Vibrato, bool Looping>
    TRun fastRun(std::int64_t*& out, std::int64_t& done, std::int64_t frames, std::int64_t& index,
                 std::int32_t& frac, std::int32_t& cur, std::int32_t& delta, TLfo& lfo,
                 std::int64_t boundary);
    TRun finishStretch(TRun result, std::int64_t done, std::int32_t cur, std::int32_t delta,
                       std::int32_t frac, std::int64_t index, std::uint32_t phase);
    // A read index past the loop's end goes back by whole loop lengths; one before the loop's
    // start jumps to it.
    std::int64_t intoLoop(std::int64_t index) const {
        if (index >= v.loopEndIndex)
            index = v.loopEndIndex - v.loopLength + (index - v.loopEndIndex) % v.loopLength;
        return index < v.loopStartIndex ? std::int64_t{v.loopStartIndex} : index;
    }
    // The rules of an index the read position has just moved to: the loop (or the sample's end,
    // which silences the voice), the samples at the new index, and the stretch's boundary.
    template <bool Looping>
    TRun moveTo(std::int64_t& index, std::int32_t& cur, std::int32_t& delta,
                std::int64_t boundary) {
        if constexpr (Looping) {
            index = intoLoop(index);
        } else if (index >= v.endIndex) {
            fallSilent();
            return TRun::silent;
        }
        cur = sampleAt(index);
        delta = sampleAt(index + 1) - cur;
        return index >= boundary ? TRun::boundary : TRun::target;
    }
    bool frameStep(bool looping);
    bool levelUpdate();
    bool advance(bool looping);
    void reload();
    void handleEvent(const songEvent& e);

    void catchUp();
    void setGains() {
        s.gainLeft = gainOf(s.levelLeft);
        s.gainRight = gainOf(s.levelRight);
    }
    void setSlopes(Real rate) {
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
    std::int32_t sampleAt(std::int64_t index) const {
        return index >= 0 && static_cast<std::uint64_t>(index) < v.sampleSize ? v.sampleData[index]
                                                                              : 0;
    }

    TSongBlock& v;
    TVoiceState& s;
    std::int64_t start;
    std::span<std::int64_t> mix;
    std::int64_t pos = 0;
};

bool TVoiceWalk::run(std::int64_t bufferEnd, bool continuesBuffer) {
    pos = start;
    if (!continuesBuffer)
        v.loopDecided = false;
    for (;;) {
        const songEvent& e = v.events[v.curEvent];
        if (e.kind != compiler::endMark && pos < bufferEnd) {
            if (e.time > bufferEnd) {
                renderSegment(bufferEnd);
                continue;
            }
            if (e.time > pos)
                renderSegment(e.time);
            handleEvent(e);
            ++v.curEvent;
            v.loopDecided = false;
            continue;
        }
        if (e.kind == compiler::endMark) {
            if (pos < bufferEnd)
                renderSegment(bufferEnd);
            return s.envState != compiler::envSilent;
        }
        return true;
    }
}

void TVoiceWalk::renderSegment(std::int64_t target) {
    constexpr std::int64_t never = std::numeric_limits<std::int64_t>::max();
    while (pos < target) {
        switch (s.envState) {
        case compiler::envAttack:
            if (s.sampleIndex >= v.attackEnd) {
                endAttack();
                break;
            }
            switch (runFrames(target, false, v.attackEnd)) {
            case TRun::silent:
                pos = target;
                return;
            case TRun::boundary:
                endAttack();
                break;
            case TRun::target:
                break;
            }
            break;
        case compiler::envDecay:
            if (s.sampleIndex >= v.decayEnd) {
                catchUp();
                enterSustain();
                break;
            }
            switch (runFrames(target, false, v.decayEnd)) {
            case TRun::silent:
                pos = target;
                return;
            case TRun::boundary:
                catchUp();
                enterSustain();
                break;
            case TRun::target:
                break;
            }
            break;
        case compiler::envSustain:
        case compiler::envRelease:
            // A degenerate loop can move the index from inside the loop to its end, so the
            // decision taken at the stretch's first frame holds to its end.
            if (!v.loopDecided) {
                v.loopingDecision = s.sampleIndex < v.loopEndIndex;
                v.loopDecided = true;
            }
            if (runFrames(target, v.loopingDecision, never) == TRun::silent)
                pos = target;
            return;
        default: // silent
            pos = target;
            return;
        }
    }
}

TVoiceWalk::TRun TVoiceWalk::runFrames(std::int64_t target, bool looping, std::int64_t boundary) {
    while (pos < target) {
        // Frames before the one that brings the next level update need no check of it.
        const std::int64_t free = std::min((s.nextUpdatePos - pos) / 4 - 1, (target - pos) / 4);
        if (free > 0) {
            const bool vibrato = s.vibratoDepth > 0 && s.lfoPeriod > 0;
            const TRun run = vibrato ? (looping ? stretch<true, true>(free, boundary)
                                                : stretch<true, false>(free, boundary))
                                     : (looping ? stretch<false, true>(free, boundary)
                                                : stretch<false, false>(free, boundary));
            if (run != TRun::target)
                return run;
            continue;
        }
        if (!frameStep(looping))
            return TRun::silent;
        if (s.sampleIndex >= boundary)
            return TRun::boundary;
    }
    return TRun::target;
}

// The frame step of frameStep for a run of frames without a level update, with the voice's
// state in locals: the same arithmetic, in the same order, frame by frame.
template <bool Vibrato, bool Looping>
TVoiceWalk::TRun TVoiceWalk::stretch(std::int64_t frames, std::int64_t boundary) {
    std::int64_t* out = mix.data() + 2 * ((pos - start) / 4);
    std::int32_t cur = s.curSample;
    std::int32_t delta = s.sampleDelta;
    std::int32_t frac = s.phaseFrac;
    std::int64_t index = s.sampleIndex;
    const std::int64_t gainLeft = s.gainLeft;
    const std::int64_t gainRight = s.gainRight;
    const std::int32_t phaseStep = s.phaseStep;
    TLfo lfo(s.lfoPhase, s.lfoPeriod, Vibrato);
    const auto& table = cosTable();
    const std::int64_t depth = s.vibratoDepth;

    TRun result = TRun::target;
    std::int64_t done = 0;
    // The fast runs need cur and delta to be the samples at index. They are once the index has
    // moved in this stretch, and mostly at its start too; but a note start may leave the voice's
    // saved values unrelated to the index, and then the general loop goes first.
    bool reloaded = cur == sampleAt(index) && delta == sampleAt(index + 1) - cur;
    while (done < frames) {
        if (reloaded) {
            const TRun run = fastRun<Vibrato, Looping>(out, done, frames, index, frac, cur, delta,
                                                       lfo, boundary);
            if (run != TRun::target)
                return finishStretch(run, done, cur, delta, frac, index, lfo.phase);
            if (done >= frames)
                break;
        }
        const std::int32_t sample = cur + ((delta * frac) >> 10);
        out[0] = static_cast<std::int64_t>(static_cast<std::uint64_t>(out[0]) +
                                           static_cast<std::uint64_t>(gainLeft * sample));
        out[1] = static_cast<std::int64_t>(static_cast<std::uint64_t>(out[1]) +
                                           static_cast<std::uint64_t>(gainRight * sample));
        out += 2;
        ++done;
        std::int64_t step = clampStep(phaseStep);
        if constexpr (Vibrato) {
            lfo.advance();
            step = lfo.step(phaseStep, depth, table);
        }
        frac += static_cast<std::int32_t>(step);
        if (frac < 1024)
            continue;
        index += frac >> 10;
        frac &= 1023;
        result = moveTo<Looping>(index, cur, delta, boundary);
        if (result != TRun::target)
            break;
        reloaded = true;
    }
    return finishStretch(result, done, cur, delta, frac, index, lfo.phase);
}

TVoiceWalk::TRun TVoiceWalk::finishStretch(TRun result, std::int64_t done, std::int32_t cur,
                                           std::int32_t delta, std::int32_t frac,
                                           std::int64_t index, std::uint32_t phase) {
    s.curSample = cur;
    s.sampleDelta = delta;
    s.phaseFrac = frac;
    if (result != TRun::silent)
        s.sampleIndex = static_cast<std::int32_t>(index);
    s.lfoPhase = phase;
    pos += 4 * done;
    return result;
}

// While the read position moves inside the sample, away from every index that needs a rule
// (the loop's end, the sample's end, the boundary, the last readable sample), a frame only reads
// and interpolates: the position (index x 1024 + fraction) just grows by each frame's step,
// without the per-frame branch of the fraction's carry. Without vibrato the step is the same
// every frame and a kernel renders the frames; with it, the steps come from the vibrato, and
// the largest step it can make bounds how many frames stay clear of the rules. Frame for frame
// this computes what the general loop computes, and the index that needs a rule is handled
// exactly as there.
template <bool Vibrato, bool Looping>
TVoiceWalk::TRun TVoiceWalk::fastRun(std::int64_t*& out, std::int64_t& done, std::int64_t frames,
                                     std::int64_t& index, std::int32_t& frac, std::int32_t& cur,
                                     std::int32_t& delta, TLfo& lfo, std::int64_t boundary) {
    const std::int64_t phaseStep = s.phaseStep;
    const std::int64_t depth = s.vibratoDepth;
    // The cosine is at most 65536 and the step grows with it.
    const std::int64_t maxStep = Vibrato
                                     ? clampStep(phaseStep + ((std::int64_t{65536} * depth) >> 15))
                                     : clampStep(phaseStep);
    const std::int32_t gainLeft = s.gainLeft;
    const std::int32_t gainRight = s.gainRight;
    const std::int16_t* data = v.sampleData;
    const TPlainKernel kernel = plainKernel();
    const TSteppedKernel stepped = steppedKernel();
    const TVibratoKernel vibrato = vibratoKernel();
    const std::int32_t* cosines = Vibrato ? lfoCosines(lfo.period) : nullptr;
    const auto size = static_cast<std::int64_t>(v.sampleSize);
    while (done < frames) {
        std::int64_t limit = Looping ? std::int64_t{v.loopEndIndex} : std::int64_t{v.endIndex};
        limit = std::min(limit, boundary);
        limit = std::min(limit, size - 1);
        // Below the loop's start the next advance jumps to it: the general loop handles that.
        if (maxStep == 0 || (Vibrato && cosines == nullptr) || index < 0 || index >= limit ||
            (Looping && index < v.loopStartIndex))
            return TRun::target;
        const std::int64_t start = (index << 10) + frac;
        // Frames whose read position stays below the limit's, without a division when all of
        // them do.
        const std::int64_t clear = (limit << 10) - start;
        std::int64_t n = frames - done;
        if ((n - 1) * maxStep >= clear)
            n = (clear - 1) / maxStep + 1;
        std::int64_t q = start;
        if constexpr (Vibrato) {
            // The vibrato's steps for a chunk of frames first, then the frames at once.
            constexpr std::int64_t kChunk = 64;
            std::array<std::int32_t, kChunk> steps;
            for (std::int64_t k = 0; k < n; k += kChunk) {
                const std::int64_t m = std::min(kChunk, n - k);
                const std::int64_t advance =
                    lfo.fill(steps.data(), m, phaseStep, depth, cosines, vibrato);
                stepped(data, size, q, steps.data(), maxStep, m, gainLeft, gainRight, out);
                out += 2 * m;
                q += advance;
            }
        } else {
            kernel(data, size, start, maxStep, n, gainLeft, gainRight, out);
            out += 2 * n;
            q += n * maxStep;
        }
        done += n;
        frac = static_cast<std::int32_t>(q & 1023);
        const std::int64_t moved = q >> 10;
        if (moved == index)
            continue; // the index has not moved yet
        index = moved;
        if (moved < limit) {
            cur = data[index];
            delta = data[index + 1] - cur;
            continue;
        }
        // The advance after the last frame reached an index that needs a rule.
        if (const TRun rule = moveTo<Looping>(index, cur, delta, boundary); rule != TRun::target)
            return rule;
    }
    return TRun::target;
}

bool TVoiceWalk::frameStep(bool looping) {
    const std::int32_t sample = s.curSample + ((s.sampleDelta * s.phaseFrac) >> 10);
    const auto frame = static_cast<std::size_t>((pos - start) / 4);
    // Each product fits easily; the sums wrap at 64 bits rather than overflow, however many
    // voices of absurd level come together.
    const auto add = [](std::int64_t& sum, std::int64_t product) {
        sum = static_cast<std::int64_t>(static_cast<std::uint64_t>(sum) +
                                        static_cast<std::uint64_t>(product));
    };
    add(mix[2 * frame], std::int64_t{s.gainLeft} * sample);
    add(mix[2 * frame + 1], std::int64_t{s.gainRight} * sample);
    pos += 4;
    if (pos >= s.nextUpdatePos) {
        if (!levelUpdate())
            return false;
        s.nextUpdatePos += s.updateInterval;
    }
    return advance(looping);
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

bool TVoiceWalk::advance(bool looping) {
    std::int64_t step = s.phaseStep;
    if (s.vibratoDepth > 0 && s.lfoPeriod > 0) {
        if (++s.lfoPhase >= s.lfoPeriod)
            s.lfoPhase %= s.lfoPeriod;
        const auto i = static_cast<std::size_t>(std::uint64_t{s.lfoPhase} * 1607 / s.lfoPeriod);
        step += (std::int64_t{cosTable()[i]} * s.vibratoDepth) >> 15;
    }
    // A vibrato deeper than the pitch step would move backwards; the read position only stands.
    if (step < 0)
        step = 0;
    if (step > std::numeric_limits<std::int32_t>::max() - 1024)
        step = std::numeric_limits<std::int32_t>::max() - 1024;
    s.phaseFrac += static_cast<std::int32_t>(step);
    if (s.phaseFrac < 1024)
        return true;
    std::int64_t index = std::int64_t{s.sampleIndex} + (s.phaseFrac >> 10);
    s.phaseFrac &= 1023;
    if (looping) {
        index = intoLoop(index);
    } else if (index >= v.endIndex) {
        fallSilent();
        return false;
    }
    s.sampleIndex = static_cast<std::int32_t>(index);
    reload();
    return true;
}

void TVoiceWalk::reload() {
    s.curSample = sampleAt(s.sampleIndex);
    s.sampleDelta = sampleAt(std::int64_t{s.sampleIndex} + 1) - s.curSample;
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

} // namespace

std::int32_t truncGain(Real level) noexcept {
    return gainOf(level);
}

const std::array<std::int32_t, 1607>& cosTable() {
    static const std::array<std::int32_t, 1607> table = [] {
        std::array<std::int32_t, 1607> t{};
        for (std::size_t i = 0; i < t.size(); ++i) {
            const auto c = static_cast<float>(
                std::cos(2 * std::numbers::pi_v<long double> * static_cast<long double>(i) / 1608));
            t[i] = static_cast<std::int32_t>(65536.0f * c);
        }
        return t;
    }();
    return table;
}

bool renderVoice(TSongBlock& voice, std::int64_t bufferStart, std::int64_t bufferEnd,
                 std::span<std::int64_t> mix, bool continuesBuffer) noexcept {
    return TVoiceWalk(voice, bufferStart, mix).run(bufferEnd, continuesBuffer);
}

namespace {

// The multiplier of a conversion and the largest |value| / 4096 whose product with it stays far
// below 64 bits, worked out once per buffer rather than once per sample (it costs a division).
struct TOutputScale {
    explicit TOutputScale(std::int32_t mul)
        : m(static_cast<std::uint64_t>(mul < 0 ? 0 : mul)),
          safeHigh(m != 0 ? (std::uint64_t{1} << 62) / m
                          : std::numeric_limits<std::uint64_t>::max()) {}
    std::uint64_t m;
    std::uint64_t safeHigh;
};

inline std::int16_t convertScaled(std::int64_t value, const TOutputScale& scale, bool saturate) {
    // |value| x mul / 4096 in two parts, so that no product leaves 64 bits: the whole multiples
    // of 4096 exactly, and the remainder's share rounded down. Unsigned arithmetic wraps, which
    // keeps the low 16 bits right for the wrapping output whatever the size of the sum.
    const std::uint64_t m = scale.m;
    const std::uint64_t magnitude = value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value)
                                              : static_cast<std::uint64_t>(value);
    const std::uint64_t high = magnitude >> 12;
    const std::uint64_t r = high * m + (((magnitude & 4095) * m) >> 12);
    if (saturate) {
        if (high > scale.safeHigh) // far beyond 16 bits
            return value < 0 ? -32768 : 32767;
        const auto rounded = static_cast<std::int64_t>(r); // below 2^62 + 2^20 here
        return static_cast<std::int16_t>(
            std::clamp<std::int64_t>(value < 0 ? -rounded : rounded, -32768, 32767));
    }
    const std::uint64_t signedR = value < 0 ? std::uint64_t{0} - r : r;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(signedR & 0xFFFF));
}

} // namespace

std::int16_t convertSample(std::int64_t value, std::int32_t mul, bool saturate) noexcept {
    return convertScaled(value, TOutputScale(mul), saturate);
}

void convertOutput(std::span<const std::int64_t> mix, std::span<std::uint8_t> out,
                   std::int32_t leftMul, std::int32_t rightMul, bool saturate) noexcept {
    const TOutputScale left(leftMul);
    const TOutputScale right(rightMul);
    const std::size_t frames = mix.size() / 2;
    const TConvertKernel kernel = convertKernel();
    std::size_t f = 0;
    while (f < frames) {
        if (kernel != nullptr)
            f += kernel(mix.data() + 2 * f, frames - f, out.data() + 4 * f,
                        static_cast<std::int32_t>(left.m), static_cast<std::int32_t>(right.m),
                        saturate);
        // The kernel stops at a group of four frames with a huge sum: those on their own.
        const std::size_t groupEnd = std::min(frames, f + 4);
        for (; f < groupEnd; ++f) {
            const auto l = static_cast<std::uint16_t>(convertScaled(mix[2 * f], left, saturate));
            const auto r =
                static_cast<std::uint16_t>(convertScaled(mix[2 * f + 1], right, saturate));
            out[4 * f] = static_cast<std::uint8_t>(l & 0xFF);
            out[4 * f + 1] = static_cast<std::uint8_t>(l >> 8);
            out[4 * f + 2] = static_cast<std::uint8_t>(r & 0xFF);
            out[4 * f + 3] = static_cast<std::uint8_t>(r >> 8);
        }
    }
}

} // namespace zb::synth
