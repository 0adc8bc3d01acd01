#pragma once

#include "synth/config.h"
#include "synth/frame_step.h"
#include "synth/mix_kernel.h"

#include <algorithm>
#include <array>
#include <cstdint>

// The vibrato: a cosine of the voice's period moves each frame's step.
namespace zb::synth {

// 65536 x cos(2 pi i / 1608) for i = 0..1606, the cosine rounded to single precision first and
// the product truncated.
const std::array<std::int32_t, kCosineEntries>& cosTable();

// Builds the cosine terms of every phase of a vibrato period, cosTable()[phase x 1607 div
// period], once per period for the process (periods come from the patches' modulation rates,
// 22050 div rate, so there are few). Called when a song's samples are loaded, so that rendering
// never allocates.
void prepareLfoCosines(std::uint32_t period);
// The terms prepareLfoCosines built, or nullptr when it did not build them (the frame loop
// then works them out frame by frame).
const std::int32_t* lfoCosines(std::uint32_t period) noexcept;

// The vibrato's phase and its table index (phase x 1607) div period, kept with its remainder so
// that each frame moves it without a division.
struct TLfo {
    TLfo(std::uint32_t lfoPhase, std::uint32_t lfoPeriod, bool vibrato)
        : phase(lfoPhase), period(lfoPeriod) {
        if (vibrato) {
            index = std::uint64_t{phase} * kCosineEntries / period;
            rest = std::uint64_t{phase} * kCosineEntries % period;
        }
    }
    void advance() {
        if (++phase >= period) { // the phase stays below the period: this wraps to 0
            phase = 0;
            index = 0;
            rest = 0;
            return;
        }
        rest += kCosineEntries;
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
        index = std::uint64_t{phase} * kCosineEntries / period;
        rest = std::uint64_t{phase} * kCosineEntries % period;
        return sum;
    }
    // The step of the frame after an advance.
    std::int64_t step(std::int64_t phaseStep, std::int64_t depth) const {
        return vibratoStep(phaseStep, cosTable()[index], depth);
    }

    std::uint32_t phase;
    std::uint32_t period;
    std::uint64_t index = 0;
    std::uint64_t rest = 0;
};

} // namespace zb::synth
