#include "synth/mix_kernel.h"

#include "synth/frame_step.h"

#include <algorithm>
#include <atomic>
#include <limits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZB_WIDE_KERNEL 1
#endif

namespace zb::synth {

namespace {

#ifdef ZB_WIDE_KERNEL

// Eight frames per round. With a step up to this, the eight frames read inside the 17 samples
// from the first frame's sample on: the frame at offset o (at most 15) needs the 32-bit word of
// samples o and o + 1 (little-endian: sample o in the low half). Two 32-byte loads, one at the
// first sample and one at the next, hold every such word at a 32-bit boundary, the even
// offsets' in the first and the odd ones' in the second, so two in-register permutes and a
// blend fetch them (a gather is slower on some processors).
constexpr std::int64_t kWideMaxStep = (16 * 1024 - 1024) / 7;

// The constants of the eight-frame rounds.
struct TWideConstants {
    __m256i fracMask;
    __m256i one;
    // _mm256_mul_epi32 multiplies the low 32 bits of each 64-bit lane: the gains sit there in
    // the order of the accumulator (left, right, left, right), and each pair of frames' samples
    // is spread so that every lane of a frame holds that frame's sample.
    __m256i gains;
    __m256i spread[4];
};

__attribute__((target("avx2"), always_inline)) inline TWideConstants
wideConstants(std::int32_t gainLeft, std::int32_t gainRight) noexcept {
    return {_mm256_set1_epi32(1023),
            _mm256_set1_epi32(1),
            _mm256_setr_epi32(gainLeft, 0, gainRight, 0, gainLeft, 0, gainRight, 0),
            {_mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1), _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3),
             _mm256_setr_epi32(4, 4, 4, 4, 5, 5, 5, 5), _mm256_setr_epi32(6, 6, 6, 6, 7, 7, 7, 7)}};
}

// Mixes eight frames whose read positions, relative to the first sample of base in 1/1024 of a
// sample, are positions (each below 16 x 1024), into the sixteen accumulator lanes at out.
__attribute__((target("avx2"), always_inline)) inline void mixEight(const std::int16_t* base,
                                                                    __m256i positions,
                                                                    const TWideConstants& c,
                                                                    std::int64_t* out) noexcept {
    const __m256i offsets = _mm256_srli_epi32(positions, 10);
    const __m256i words = _mm256_srli_epi32(offsets, 1);
    const __m256i even = _mm256_permutevar8x32_epi32(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base)), words);
    const __m256i odd = _mm256_permutevar8x32_epi32(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + 1)), words);
    const __m256i isOdd = _mm256_cmpeq_epi32(_mm256_and_si256(offsets, c.one), c.one);
    const __m256i pairs = _mm256_blendv_epi8(even, odd, isOdd);
    const __m256i cur = _mm256_srai_epi32(_mm256_slli_epi32(pairs, 16), 16);
    const __m256i next = _mm256_srai_epi32(pairs, 16);
    const __m256i fracs = _mm256_and_si256(positions, c.fracMask);
    const __m256i samples = _mm256_add_epi32(
        cur, _mm256_srai_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(next, cur), fracs), 10));
    for (int pair = 0; pair < 4; ++pair) {
        const __m256i products =
            _mm256_mul_epi32(_mm256_permutevar8x32_epi32(samples, c.spread[pair]), c.gains);
        auto* lanes = reinterpret_cast<__m256i*>(out + std::ptrdiff_t{4} * pair);
        _mm256_storeu_si256(lanes, _mm256_add_epi64(_mm256_loadu_si256(lanes), products));
    }
}

__attribute__((target("avx2"))) void plainFramesAvx2(const std::int16_t* data, std::int64_t size,
                                                     std::int64_t q, std::int64_t step,
                                                     std::int64_t frames, std::int32_t gainLeft,
                                                     std::int32_t gainRight,
                                                     std::int64_t* out) noexcept {
    std::int64_t k = 0;
    if (step <= kWideMaxStep) {
        const TWideConstants c = wideConstants(gainLeft, gainRight);
        const __m256i ramp = _mm256_mullo_epi32(_mm256_set1_epi32(static_cast<int>(step)),
                                                _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        // The two loads reach the 17th sample from the round's first one.
        for (; k + 8 <= frames && (q >> 10) + 16 < size; k += 8) {
            const __m256i positions =
                _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(q & 1023)), ramp);
            mixEight(data + (q >> 10), positions, c, out);
            out += 16;
            q += 8 * step;
        }
    }
    for (; k < frames; ++k, out += 2, q += step) // the frames a round does not take
        mixAt(data, q, gainLeft, gainRight, out);
}

// The same with a step of its own for every frame: the eight positions of a round are the
// running sums of its steps, added up in the register.
__attribute__((target("avx2"))) void
steppedFramesAvx2(const std::int16_t* data, std::int64_t size, std::int64_t q,
                  const std::int32_t* steps, std::int64_t maxStep, std::int64_t frames,
                  std::int32_t gainLeft, std::int32_t gainRight, std::int64_t* out) noexcept {
    std::int64_t k = 0;
    if (maxStep <= kWideMaxStep) {
        const TWideConstants c = wideConstants(gainLeft, gainRight);
        const __m256i lastOfLow = _mm256_set1_epi32(3);
        for (; k + 8 <= frames && (q >> 10) + 16 < size; k += 8) {
            const __m256i own = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(steps + k));
            // Running sums within each half, then the low half's total added to the high half.
            __m256i sums = _mm256_add_epi32(own, _mm256_slli_si256(own, 4));
            sums = _mm256_add_epi32(sums, _mm256_slli_si256(sums, 8));
            const __m256i lowTotal = _mm256_permutevar8x32_epi32(sums, lastOfLow);
            sums =
                _mm256_add_epi32(sums, _mm256_blend_epi32(_mm256_setzero_si256(), lowTotal, 0xF0));
            // Each frame reads before its own step: the sums of the steps before it.
            const __m256i before = _mm256_sub_epi32(sums, own);
            const __m256i positions =
                _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(q & 1023)), before);
            mixEight(data + (q >> 10), positions, c, out);
            out += 16;
            q += _mm256_extract_epi32(sums, 7);
        }
    }
    for (; k < frames; q += steps[k], ++k, out += 2)
        mixAt(data, q, gainLeft, gainRight, out);
}

// The steps the vector rounds do not take.
std::int64_t vibratoStepsOneByOne(const std::int32_t* cosines, std::int64_t count,
                                  std::int64_t phaseStep, std::int64_t depth,
                                  std::int32_t* steps) noexcept {
    std::int64_t sum = 0;
    for (std::int64_t j = 0; j < count; ++j) {
        const std::int64_t step = vibratoStep(phaseStep, cosines[j], depth);
        steps[j] = static_cast<std::int32_t>(step);
        sum += step;
    }
    return sum;
}

// Eight steps per round while the products and sums fit in 32 bits: a depth below 2^15 keeps
// |cosine x depth| below 2^31 (the vibrato depths of songs stay below 700), and a pitch step
// within +-2^30 keeps the sum inside 32 bits.
__attribute__((target("avx2"))) std::int64_t
vibratoStepsAvx2(const std::int32_t* cosines, std::int64_t count, std::int64_t phaseStep,
                 std::int64_t depth, std::int32_t* steps) noexcept {
    if (depth < 0 || depth >= 32768 || phaseStep < -(std::int64_t{1} << 30) ||
        phaseStep > (std::int64_t{1} << 30))
        return vibratoStepsOneByOne(cosines, count, phaseStep, depth, steps);
    const __m256i base = _mm256_set1_epi32(static_cast<int>(phaseStep));
    const __m256i scale = _mm256_set1_epi32(static_cast<int>(depth));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i top = _mm256_set1_epi32(std::numeric_limits<std::int32_t>::max() - 1024);
    __m256i sums = _mm256_setzero_si256(); // four 64-bit lanes
    std::int64_t k = 0;
    for (; k + 8 <= count; k += 8) {
        const __m256i cos = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cosines + k));
        const __m256i term = _mm256_srai_epi32(_mm256_mullo_epi32(cos, scale), 15);
        const __m256i step =
            _mm256_min_epi32(_mm256_max_epi32(_mm256_add_epi32(base, term), zero), top);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(steps + k), step);
        // The steps are at least 0: their halves widen without sign.
        sums = _mm256_add_epi64(sums, _mm256_cvtepu32_epi64(_mm256_castsi256_si128(step)));
        sums = _mm256_add_epi64(sums, _mm256_cvtepu32_epi64(_mm256_extracti128_si256(step, 1)));
    }
    alignas(32) std::int64_t lanes[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), sums);
    return lanes[0] + lanes[1] + lanes[2] + lanes[3] +
           vibratoStepsOneByOne(cosines + k, count - k, phaseStep, depth, steps + k);
}

// Four frames per round while every sum is below 2^31 in magnitude, so that |sum| x mul fits
// in 64 bits and the conversion's two-part product is just (|sum| x mul) >> 12.
__attribute__((target("avx2"))) std::size_t
convertFramesAvx2(const std::int64_t* mix, std::size_t frames, std::uint8_t* out,
                  std::int32_t leftMul, std::int32_t rightMul, bool saturate) noexcept {
    const __m256i muls = _mm256_setr_epi32(leftMul, 0, rightMul, 0, leftMul, 0, rightMul, 0);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i tooLarge = _mm256_set1_epi64x(~std::int64_t{0x7FFFFFFF});
    const __m256i cap = _mm256_set1_epi64x(65535);
    const __m256i lowWords = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    std::size_t f = 0;
    for (; f + 4 <= frames; f += 4) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mix + 2 * f));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mix + 2 * f + 4));
        const __m256i signA = _mm256_cmpgt_epi64(zero, a);
        const __m256i signB = _mm256_cmpgt_epi64(zero, b);
        const __m256i magA = _mm256_sub_epi64(_mm256_xor_si256(a, signA), signA);
        const __m256i magB = _mm256_sub_epi64(_mm256_xor_si256(b, signB), signB);
        if (!_mm256_testz_si256(_mm256_or_si256(magA, magB), tooLarge))
            break;
        __m256i ra = _mm256_srli_epi64(_mm256_mul_epu32(magA, muls), 12);
        __m256i rb = _mm256_srli_epi64(_mm256_mul_epu32(magB, muls), 12);
        if (saturate) {
            // Capped at 65535 the result keeps its side of the 16-bit range, and the signed
            // pack below saturates it.
            ra = _mm256_blendv_epi8(ra, cap, _mm256_cmpgt_epi64(ra, cap));
            rb = _mm256_blendv_epi8(rb, cap, _mm256_cmpgt_epi64(rb, cap));
        }
        // The sign back on, then the low 32 bits of each lane: exact for the capped values,
        // and the low 16 bits are right in any case.
        const __m256i sa = _mm256_permutevar8x32_epi32(
            _mm256_sub_epi64(_mm256_xor_si256(ra, signA), signA), lowWords);
        const __m256i sb = _mm256_permutevar8x32_epi32(
            _mm256_sub_epi64(_mm256_xor_si256(rb, signB), signB), lowWords);
        __m128i words;
        if (saturate) {
            words = _mm_packs_epi32(_mm256_castsi256_si128(sa), _mm256_castsi256_si128(sb));
        } else {
            words = _mm_packus_epi32(_mm256_castsi256_si128(_mm256_and_si256(sa, low16)),
                                     _mm256_castsi256_si128(_mm256_and_si256(sb, low16)));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * f), words);
    }
    return f;
}

bool wideRuns() noexcept {
    static const bool runs = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return runs;
}

#endif

std::atomic<bool> wideWanted{true};

} // namespace

#ifdef ZB_WIDE_KERNEL
TPlainKernel plainFramesWide() noexcept {
    return wideRuns() ? &plainFramesAvx2 : nullptr;
}
TVibratoKernel vibratoStepsWide() noexcept {
    return wideRuns() ? &vibratoStepsAvx2 : nullptr;
}
TSteppedKernel steppedFramesWide() noexcept {
    return wideRuns() ? &steppedFramesAvx2 : nullptr;
}
TConvertKernel convertFramesWide() noexcept {
    return wideRuns() ? &convertFramesAvx2 : nullptr;
}
#else
TPlainKernel plainFramesWide() noexcept {
    return nullptr;
}
TVibratoKernel vibratoStepsWide() noexcept {
    return nullptr;
}
TSteppedKernel steppedFramesWide() noexcept {
    return nullptr;
}
TConvertKernel convertFramesWide() noexcept {
    return nullptr;
}
#endif

namespace {

// The wide kernel where it runs and is wanted, else none.
template <typename TKernel> TKernel choose(TKernel wide) {
    return wideWanted.load(std::memory_order_relaxed) ? wide : nullptr;
}

} // namespace

TPlainKernel plainKernel() noexcept {
    return choose(plainFramesWide());
}

TSteppedKernel steppedKernel() noexcept {
    return choose(steppedFramesWide());
}

TVibratoKernel vibratoKernel() noexcept {
    return choose(vibratoStepsWide());
}

TConvertKernel convertKernel() noexcept {
    return choose(convertFramesWide());
}

void useWideKernels(bool wide) noexcept {
    wideWanted.store(wide, std::memory_order_relaxed);
}

} // namespace zb::synth
