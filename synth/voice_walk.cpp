#include "synth/voice_walk.h"
#include "synth/mix_kernel.h"
#include "synth/mixer.h"

#include <algorithm>
#include <array>
#include <limits>

// The walk of a voice through a buffer and its frames.
namespace zb::synth {

using compiler::songEvent;

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
    const bool vibrato = s.vibratoDepth > 0 && s.lfoPeriod > 0;
    while (pos < target) {
        // Frames before the one that brings the next level update need no check of it.
        const std::int64_t free = std::min((s.nextUpdatePos - pos) / 4 - 1, (target - pos) / 4);
        const TRun run = free > 0
                             ? (vibrato ? (looping ? frames<true, true, false>(free, boundary)
                                                   : frames<true, false, false>(free, boundary))
                                        : (looping ? frames<false, true, false>(free, boundary)
                                                   : frames<false, false, false>(free, boundary)))
                             : (vibrato ? (looping ? frames<true, true, true>(1, boundary)
                                                   : frames<true, false, true>(1, boundary))
                                        : (looping ? frames<false, true, true>(1, boundary)
                                                   : frames<false, false, true>(1, boundary)));
        if (run != TRun::target)
            return run;
    }
    return TRun::target;
}

std::int64_t TVoiceWalk::intoLoop(std::int64_t index) const {
    // A read index past the loop's end goes back by whole loop lengths; one before the loop's
    // start jumps to it.
    if (index >= v.loopEndIndex)
        index = v.loopEndIndex - v.loopLength + (index - v.loopEndIndex) % v.loopLength;
    return index < v.loopStartIndex ? std::int64_t{v.loopStartIndex} : index;
}

// The rules of an index the read position has just moved to: the loop (or the sample's end,
// which silences the voice), the samples at the new index, and the boundary.
template <bool Looping> TVoiceWalk::TRun TVoiceWalk::moveTo(TCursor& c, std::int64_t boundary) {
    if constexpr (Looping) {
        c.index = intoLoop(c.index);
    } else if (c.index >= v.endIndex) {
        fallSilent();
        return TRun::silent;
    }
    c.cur = sampleAt(c.index);
    c.delta = sampleAt(c.index + 1) - c.cur;
    return c.index >= boundary ? TRun::boundary : TRun::target;
}

// The frame step: the interpolated sample times the gains into the accumulator, the level
// update when one is due (Update: only the frame that brings it can have one), then the step of
// the read position with the vibrato and, when the index moves, its rules. Without a level
// update the frames run in locals, and where the read position stays clear of every rule a
// vector kernel renders them (fastRun), frame for frame the same arithmetic.
template <bool Vibrato, bool Looping, bool Update>
TVoiceWalk::TRun TVoiceWalk::frames(std::int64_t count, std::int64_t boundary) {
    std::int64_t* out = mix.data() + 2 * ((pos - start) / kBytesPerFrame);
    TCursor c{s.curSample, s.sampleDelta, s.phaseFrac, s.sampleIndex};
    TLfo lfo(s.lfoPhase, s.lfoPeriod, Vibrato);
    const std::int64_t gainLeft = s.gainLeft;
    const std::int64_t gainRight = s.gainRight;
    const std::int32_t phaseStep = s.phaseStep;
    const std::int64_t depth = s.vibratoDepth;
    // The fast runs need cur and delta to be the samples at index. They are once the index has
    // moved here, and mostly at the start too; but a note start may leave the voice's saved
    // values unrelated to the index, and then the frame loop goes first.
    const bool fast = !Update && plainKernel() != nullptr;
    bool reloaded = fast && c.cur == sampleAt(c.index) && c.delta == sampleAt(c.index + 1) - c.cur;
    TRun result = TRun::target;
    std::int64_t done = 0;
    while (done < count) {
        if (reloaded) {
            result = fastRun<Vibrato, Looping>(out, done, count, c, lfo, boundary);
            if (result != TRun::target || done >= count)
                break;
        }
        mixFrame(out, gainLeft, gainRight, interpolate(c.cur, c.delta, c.frac));
        out += 2;
        ++done;
        if constexpr (Update) {
            if (pos + kBytesPerFrame * done >= s.nextUpdatePos) {
                if (!levelUpdate()) {
                    result = TRun::silent;
                    break;
                }
                s.nextUpdatePos += s.updateInterval;
            }
        }
        std::int64_t step = clampStep(phaseStep);
        if constexpr (Vibrato) {
            lfo.advance();
            step = lfo.step(phaseStep, depth);
        }
        c.frac += static_cast<std::int32_t>(step);
        if (c.frac < kFracOne)
            continue;
        c.index += c.frac >> kFracBits;
        c.frac &= kFracMask;
        result = moveTo<Looping>(c, boundary);
        if (result != TRun::target)
            break;
        reloaded = fast;
    }
    s.curSample = c.cur;
    s.sampleDelta = c.delta;
    s.phaseFrac = c.frac;
    if (result != TRun::silent)
        s.sampleIndex = static_cast<std::int32_t>(c.index);
    s.lfoPhase = lfo.phase;
    pos += kBytesPerFrame * done;
    return result;
}

// While the read position moves inside the sample, away from every index that needs a rule
// (the loop's end, the sample's end, the boundary, the last readable sample), a frame only reads
// and interpolates: the position (index x 1024 + fraction) just grows by each frame's step,
// without the per-frame branch of the fraction's carry. Without vibrato the step is the same
// every frame; with it, the steps come from the vibrato, and the largest step it can make
// bounds how many frames stay clear of the rules. The index that needs a rule is handled
// exactly as in the frame loop.
template <bool Vibrato, bool Looping>
TVoiceWalk::TRun TVoiceWalk::fastRun(std::int64_t*& out, std::int64_t& done, std::int64_t count,
                                     TCursor& c, TLfo& lfo, std::int64_t boundary) {
    const std::int64_t phaseStep = s.phaseStep;
    const std::int64_t depth = s.vibratoDepth;
    // The cosine is at most 65536 and the step grows with it.
    const std::int64_t maxStep =
        Vibrato ? vibratoStep(phaseStep, 65536, depth) : clampStep(phaseStep);
    const std::int32_t gainLeft = s.gainLeft;
    const std::int32_t gainRight = s.gainRight;
    const std::int16_t* data = v.sampleData;
    const TPlainKernel kernel = plainKernel();
    const TSteppedKernel stepped = steppedKernel();
    const TVibratoKernel vibrato = vibratoKernel();
    const std::int32_t* cosines = Vibrato ? lfoCosines(lfo.period) : nullptr;
    const auto size = static_cast<std::int64_t>(v.sampleSize);
    while (done < count) {
        std::int64_t limit = Looping ? std::int64_t{v.loopEndIndex} : std::int64_t{v.endIndex};
        limit = std::min(limit, boundary);
        limit = std::min(limit, size - 1);
        // Below the loop's start the next advance jumps to it: the frame loop handles that.
        if (maxStep == 0 || (Vibrato && cosines == nullptr) || c.index < 0 || c.index >= limit ||
            (Looping && c.index < v.loopStartIndex))
            return TRun::target;
        const std::int64_t first = (c.index << kFracBits) + c.frac;
        // Frames whose read position stays below the limit's, without a division when all of
        // them do.
        const std::int64_t clear = (limit << kFracBits) - first;
        std::int64_t n = count - done;
        if ((n - 1) * maxStep >= clear)
            n = (clear - 1) / maxStep + 1;
        std::int64_t q = first;
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
            kernel(data, size, first, maxStep, n, gainLeft, gainRight, out);
            out += 2 * n;
            q += n * maxStep;
        }
        done += n;
        c.frac = static_cast<std::int32_t>(q & kFracMask);
        const std::int64_t moved = q >> kFracBits;
        if (moved == c.index)
            continue; // the index has not moved yet
        c.index = moved;
        if (moved < limit) {
            c.cur = data[c.index];
            c.delta = data[c.index + 1] - c.cur;
            continue;
        }
        // The advance after the last frame reached an index that needs a rule.
        if (const TRun rule = moveTo<Looping>(c, boundary); rule != TRun::target)
            return rule;
    }
    return TRun::target;
}

bool renderVoice(compiler::TSongBlock& voice, std::int64_t bufferStart, std::int64_t bufferEnd,
                 std::span<std::int64_t> mix, bool continuesBuffer) noexcept {
    return TVoiceWalk(voice, bufferStart, mix).run(bufferEnd, continuesBuffer);
}

} // namespace zb::synth
