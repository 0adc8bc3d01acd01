#include "synth/frame_step.h"
#include "synth/mix_kernel.h"
#include "synth/mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace zb::synth {
namespace {

// The frame step of the mixer's frame loop, which the wide kernels must match.
void plainFrames(const std::int16_t* data, std::int64_t q, std::int64_t step, std::int64_t frames,
                 std::int32_t gainLeft, std::int32_t gainRight, std::int64_t* out) {
    for (std::int64_t k = 0; k < frames; ++k, out += 2, q += step)
        mixAt(data, q, gainLeft, gainRight, out);
}

void steppedFrames(const std::int16_t* data, std::int64_t q, const std::int32_t* steps,
                   std::int64_t frames, std::int32_t gainLeft, std::int32_t gainRight,
                   std::int64_t* out) {
    for (std::int64_t k = 0; k < frames; q += steps[k], ++k, out += 2)
        mixAt(data, q, gainLeft, gainRight, out);
}

#define ZB_SKIP_WITHOUT(kernel)                                                                    \
    if ((kernel) == nullptr)                                                                       \
    GTEST_SKIP() << "no AVX2"

// Restores the default kernel choice after a test that switched it.
struct TKernelChoice {
    explicit TKernelChoice(bool wide) { useWideKernels(wide); }
    ~TKernelChoice() { useWideKernels(true); }
    TKernelChoice(const TKernelChoice&) = delete;
    TKernelChoice& operator=(const TKernelChoice&) = delete;
};

std::vector<std::int16_t> noise(std::mt19937& rng, std::size_t size) {
    std::uniform_int_distribution<int> any(-32768, 32767);
    std::vector<std::int16_t> data(size);
    for (auto& d : data)
        d = static_cast<std::int16_t>(any(rng));
    return data;
}

// Runs both kernels over the same frames into two copies of the same accumulator. The data
// vector is exactly as long as the frames need, so a read past it shows under AddressSanitizer.
void expectSamePlainFrames(const std::vector<std::int16_t>& data, std::int64_t q, std::int64_t step,
                           std::int64_t frames, std::int32_t gainLeft, std::int32_t gainRight,
                           std::int64_t seed) {
    std::vector<std::int64_t> generic(static_cast<std::size_t>(2 * frames));
    for (std::size_t i = 0; i < generic.size(); ++i) // near the wrap of the 64-bit sums
        generic[i] =
            std::numeric_limits<std::int64_t>::max() - seed * 7919 - static_cast<std::int64_t>(i);
    auto wide = generic;
    const auto size = static_cast<std::int64_t>(data.size());
    plainFrames(data.data(), q, step, frames, gainLeft, gainRight, generic.data());
    plainFramesWide()(data.data(), size, q, step, frames, gainLeft, gainRight, wide.data());
    ASSERT_EQ(generic, wide) << "q " << q << " step " << step << " frames " << frames << " gains "
                             << gainLeft << "/" << gainRight;
}

TEST(MixKernel, WideVoiceLoopAddsExactlyWhatTheFrameLoopAdds) {
    ZB_SKIP_WITHOUT(plainFramesWide());
    std::mt19937 rng(20261206);
    const std::int32_t gains[] = {0,
                                  1,
                                  -1,
                                  128,
                                  4096,
                                  -4096,
                                  1 << 20,
                                  std::numeric_limits<std::int32_t>::max(),
                                  std::numeric_limits<std::int32_t>::min()};
    // Steps around the wide loop's limit, slow and fast ones, standing still and huge jumps.
    const std::int64_t steps[] = {
        0,    1,    500,  1023,   1024,
        1025, 1500, 2047, 2048,   2194,
        2195, 2196, 4096, 100000, std::numeric_limits<std::int32_t>::max() - 1024};
    for (int round = 0; round < 400; ++round) {
        const std::int64_t step = steps[static_cast<std::size_t>(round) % std::size(steps)];
        // Huge steps read far apart: a few frames keep their sample data small.
        const std::int64_t frames =
            std::uniform_int_distribution<std::int64_t>(0, step > 100000 ? 3 : 70)(rng);
        const std::int64_t q = std::uniform_int_distribution<std::int64_t>(0, 5000)(rng);
        // Long enough for the last frame's successor and not a sample more.
        const std::int64_t lastRead = frames == 0 ? 1 : ((q + (frames - 1) * step) >> 10) + 2;
        const auto data = noise(rng, static_cast<std::size_t>(lastRead));
        const std::int32_t left = gains[static_cast<std::size_t>(round) % std::size(gains)];
        const std::int32_t right = gains[static_cast<std::size_t>(round / 3) % std::size(gains)];
        expectSamePlainFrames(data, q, step, frames, left, right, round);
    }
}

TEST(MixKernel, ExtremeSamplesInterpolateAlike) {
    ZB_SKIP_WITHOUT(plainFramesWide());
    // Full-scale jumps between neighbours give the largest interpolation products.
    std::vector<std::int16_t> data(300);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = i % 2 == 0 ? std::int16_t{-32768} : std::int16_t{32767};
    for (const std::int64_t step : {1, 333, 1024, 1999})
        expectSamePlainFrames(data, 1023, step, 100, std::numeric_limits<std::int32_t>::max(),
                              std::numeric_limits<std::int32_t>::min(), step);
}

TEST(MixKernel, WideVibratoLoopAddsExactlyWhatTheFrameLoopAdds) {
    ZB_SKIP_WITHOUT(steppedFramesWide());
    std::mt19937 rng(61207);
    // Largest steps around the wide loop's limit, and far beyond it.
    const std::int64_t maxSteps[] = {0, 1, 700, 1024, 2000, 2194, 2195, 5000, 1 << 20};
    for (int round = 0; round < 600; ++round) {
        const std::int64_t maxStep =
            maxSteps[static_cast<std::size_t>(round) % std::size(maxSteps)];
        const std::int64_t frames = std::uniform_int_distribution<std::int64_t>(0, 70)(rng);
        std::vector<std::int32_t> steps(static_cast<std::size_t>(frames));
        std::uniform_int_distribution<std::int64_t> anyStep(0, maxStep);
        std::int64_t reach = 0; // the last frame's position, relative to the first
        for (std::size_t k = 0; k < steps.size(); ++k) {
            // Runs of the largest step as well as random ones.
            steps[k] = static_cast<std::int32_t>(round % 3 == 0 ? maxStep : anyStep(rng));
            if (k + 1 < steps.size())
                reach += steps[k];
        }
        const std::int64_t q = std::uniform_int_distribution<std::int64_t>(0, 5000)(rng);
        const auto data = noise(rng, static_cast<std::size_t>(((q + reach) >> 10) + 2));
        const std::int32_t left = round % 2 == 0 ? std::numeric_limits<std::int32_t>::max() : 77;
        const std::int32_t right = round % 5 == 0 ? std::numeric_limits<std::int32_t>::min() : -3;
        std::vector<std::int64_t> generic(static_cast<std::size_t>(2 * frames), round * 1000003LL);
        auto wide = generic;
        const auto size = static_cast<std::int64_t>(data.size());
        steppedFrames(data.data(), q, steps.data(), frames, left, right, generic.data());
        steppedFramesWide()(data.data(), size, q, steps.data(), maxStep, frames, left, right,
                            wide.data());
        ASSERT_EQ(generic, wide) << "round " << round << " max step " << maxStep;
    }
}

TEST(MixKernel, WideVibratoStepsAreThoseOfTheFrameLoop) {
    const TVibratoKernel wide = vibratoStepsWide();
    ZB_SKIP_WITHOUT(wide);
    std::mt19937 rng(1607);
    std::uniform_int_distribution<std::int32_t> cosine(-65536, 65536);
    // Depths and pitch steps inside the wide loop's range and beyond it, and steps that clamp.
    const std::int64_t depths[] = {0, 1, 11, 652, 32767, 32768, 1 << 20, -5};
    const std::int64_t pitchSteps[] = {0,       1024,          -3000,      (1 << 30) - 5,
                                       1 << 30, (1 << 30) + 1, -(1 << 30), 2147482000};
    for (int round = 0; round < 400; ++round) {
        const std::int64_t count = std::uniform_int_distribution<std::int64_t>(0, 70)(rng);
        std::vector<std::int32_t> cosines(static_cast<std::size_t>(count));
        for (auto& c : cosines)
            c = round % 7 == 0 ? 65536 : cosine(rng);
        const std::int64_t depth = depths[static_cast<std::size_t>(round) % std::size(depths)];
        const std::int64_t pitch =
            pitchSteps[static_cast<std::size_t>(round / 8) % std::size(pitchSteps)];
        std::vector<std::int32_t> generic(cosines.size()), fast(cosines.size());
        std::int64_t genericSum = 0;
        for (std::size_t j = 0; j < cosines.size(); ++j) {
            generic[j] = static_cast<std::int32_t>(vibratoStep(pitch, cosines[j], depth));
            genericSum += generic[j];
        }
        const std::int64_t fastSum = wide(cosines.data(), count, pitch, depth, fast.data());
        ASSERT_EQ(generic, fast) << "depth " << depth << " pitch step " << pitch;
        ASSERT_EQ(genericSum, fastSum);
    }
}

std::vector<std::uint8_t> convert(const std::vector<std::int64_t>& mix, std::int32_t leftMul,
                                  std::int32_t rightMul, bool saturate, bool wide) {
    const TKernelChoice choice(wide);
    std::vector<std::uint8_t> out(mix.size() * 2);
    convertOutput(mix, out, leftMul, rightMul, saturate);
    return out;
}

TEST(MixKernel, WideConversionGivesTheSameBytes) {
    ZB_SKIP_WITHOUT(convertFramesWide());
    std::mt19937_64 rng(7);
    std::vector<std::int64_t> mix(2 * 1024 + 6); // not a whole number of four-frame groups
    for (std::size_t i = 0; i < mix.size(); ++i) {
        const int kind = static_cast<int>(i / 16 % 5);
        std::int64_t v = 0;
        if (kind == 0) // ordinary sums
            v = std::uniform_int_distribution<std::int64_t>(-5000000, 5000000)(rng);
        else if (kind == 1) // just below and above the wide loop's range
            v = std::uniform_int_distribution<std::int64_t>(-(1LL << 31) - 2, (1LL << 31) + 2)(rng);
        else if (kind == 2) // huge
            v = static_cast<std::int64_t>(rng());
        else if (kind == 3)
            v = i % 3 == 0
                    ? std::numeric_limits<std::int64_t>::min()
                    : std::numeric_limits<std::int64_t>::max() - static_cast<std::int64_t>(i);
        else // where saturation starts
            v = (i % 2 == 0 ? 1 : -1) *
                std::uniform_int_distribution<std::int64_t>(4000000, 4300000)(rng);
        mix[i] = v;
    }
    for (const bool saturate : {true, false})
        for (const auto& [l, r] : {std::pair{32, 45}, std::pair{0, 1 << 20}, std::pair{-5, 64},
                                   std::pair{std::numeric_limits<std::int32_t>::max(), 1}})
            EXPECT_EQ(convert(mix, l, r, saturate, true), convert(mix, l, r, saturate, false))
                << saturate << " " << l << " " << r;
}

TEST(MixKernel, EveryConvertedFrameMatchesTheSampleConversion) {
    // The wide conversion against convertSample frame by frame, around the 16-bit edges.
    std::vector<std::int64_t> mix;
    for (std::int64_t v = 2097000; v <= 2098300; v += 13) {
        mix.push_back(v);
        mix.push_back(-v);
    }
    for (const bool saturate : {true, false}) {
        const auto out = convert(mix, 64, 64, saturate, true);
        for (std::size_t i = 0; i < mix.size(); ++i) {
            const auto word = static_cast<std::uint16_t>(out[2 * i] | out[2 * i + 1] << 8);
            ASSERT_EQ(static_cast<std::int16_t>(word), convertSample(mix[i], 64, saturate))
                << mix[i] << " " << saturate;
        }
    }
}

// The gain's truncation against the plain conversion, right at and beside integers, where the
// level's extra precision beyond a double decides the result.
TEST(GainTruncation, MatchesTheExtendedConversionBesideEveryInteger) {
    const auto plain = [](Real level) { return static_cast<std::int32_t>(level); };
    std::mt19937_64 rng(3);
    std::vector<Real> levels = {0.0L, -0.0L, 0.5L, -0.5L, 2147483646.5L, -2147483647.5L};
    for (int i = 0; i < 20000; ++i) {
        const auto n = static_cast<Real>(
            std::uniform_int_distribution<std::int64_t>(-2147483647, 2147483646)(rng));
        for (const Real near : {n, std::nextafter(n, n + 1), std::nextafter(n, n - 1)})
            levels.push_back(near);
    }
    for (const Real max : {2147483646.0L, 2147483647.0L, -2147483647.0L, -2147483648.0L})
        for (const Real near : {std::nextafter(max, 0.0L), std::nextafter(max, max * 2)})
            if (near > -2147483648.0L && near < 2147483647.0L)
                levels.push_back(near);
    for (const Real level : levels)
        ASSERT_EQ(truncGain(level), plain(level)) << static_cast<double>(level);

    EXPECT_EQ(truncGain(2147483647.0L), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(truncGain(1e30L), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(truncGain(-2147483648.0L), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(truncGain(-1e30L), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(truncGain(std::numeric_limits<Real>::quiet_NaN()), 0);
}

} // namespace
} // namespace zb::synth
