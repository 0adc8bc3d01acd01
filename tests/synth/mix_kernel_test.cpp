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

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

template <typename T> T any(std::mt19937_64& rng, T low, T high) {
    return std::uniform_int_distribution<T>(low, high)(rng);
}

// The wide voice loops against the mixer's frame step, with and without vibrato: steps around
// the wide loops' limits, standing still and huge jumps, gains at the 32-bit ends, full-scale
// jumps between neighbours, and sums near the wrap of the 64-bit accumulator. The data is exactly
// as long as the frames need, so a read past it shows under AddressSanitizer.
TEST(MixKernel, WideVoiceLoopsAddExactlyWhatTheFrameStepAdds) {
    if (plainFramesWide() == nullptr || steppedFramesWide() == nullptr)
        GTEST_SKIP() << "no AVX2";
    std::mt19937_64 rng(20261206);
    const std::int32_t gains[] = {0, 1, -1, 128, 4096, -4096, 1 << 20, kMax, kMin};
    const std::int64_t maxSteps[] = {0,    1,    500,     1023,   1024,       1025,
                                     1500, 2047, 2048,    2194,   2195,       2196,
                                     4096, 5000, 1 << 20, 100000, kMax - 1024};
    for (int round = 0; round < 1000; ++round) {
        const std::int64_t maxStep =
            maxSteps[static_cast<std::size_t>(round) % std::size(maxSteps)];
        const bool vibrato = round % 2 == 1;
        const std::int64_t frames = any<std::int64_t>(rng, 0, maxStep > 100000 ? 3 : 70);
        std::vector<std::int32_t> steps(static_cast<std::size_t>(frames));
        std::int64_t reach = 0; // the last frame's position, relative to the first
        for (std::size_t k = 0; k < steps.size(); ++k) {
            steps[k] = static_cast<std::int32_t>(
                vibrato && round % 3 != 0 ? any<std::int64_t>(rng, 0, maxStep) : maxStep);
            reach += k + 1 < steps.size() ? steps[k] : 0;
        }
        const std::int64_t q = any<std::int64_t>(rng, 0, 5000);
        std::vector<std::int16_t> data(static_cast<std::size_t>(((q + reach) >> 10) + 2));
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = round % 10 == 0 ? static_cast<std::int16_t>(i % 2 == 0 ? -32768 : 32767)
                                      : static_cast<std::int16_t>(any(rng, -32768, 32767));
        const std::int32_t left = gains[static_cast<std::size_t>(round) % std::size(gains)];
        const std::int32_t right = gains[static_cast<std::size_t>(round / 3) % std::size(gains)];
        std::vector<std::int64_t> generic(static_cast<std::size_t>(2 * frames));
        for (std::size_t i = 0; i < generic.size(); ++i)
            generic[i] = std::numeric_limits<std::int64_t>::max() - round * 7919LL -
                         static_cast<std::int64_t>(i);
        auto wide = generic;
        std::int64_t at = q;
        for (std::int64_t k = 0; k < frames; at += steps[static_cast<std::size_t>(k)], ++k)
            mixAt(data.data(), at, left, right, &generic[static_cast<std::size_t>(2 * k)]);
        const auto size = static_cast<std::int64_t>(data.size());
        if (vibrato)
            steppedFramesWide()(data.data(), size, q, steps.data(), maxStep, frames, left, right,
                                wide.data());
        else
            plainFramesWide()(data.data(), size, q, maxStep, frames, left, right, wide.data());
        ASSERT_EQ(generic, wide) << "round " << round << " q " << q << " step " << maxStep;
    }
}

TEST(MixKernel, WideVibratoStepsAreThoseOfTheFrameLoop) {
    const TVibratoKernel wide = vibratoStepsWide();
    if (wide == nullptr)
        GTEST_SKIP() << "no AVX2";
    std::mt19937_64 rng(1607);
    // Depths and pitch steps inside the wide loop's range and beyond it, and steps that clamp.
    const std::int64_t depths[] = {0, 1, 11, 652, 32767, 32768, 1 << 20, -5};
    const std::int64_t pitchSteps[] = {0,       1024,          -3000,      (1 << 30) - 5,
                                       1 << 30, (1 << 30) + 1, -(1 << 30), 2147482000};
    for (int round = 0; round < 400; ++round) {
        std::vector<std::int32_t> cosines(static_cast<std::size_t>(any(rng, 0, 70)));
        for (auto& c : cosines)
            c = round % 7 == 0 ? 65536 : any(rng, -65536, 65536);
        const std::int64_t depth = depths[static_cast<std::size_t>(round) % std::size(depths)];
        const std::int64_t pitch =
            pitchSteps[static_cast<std::size_t>(round / 8) % std::size(pitchSteps)];
        std::vector<std::int32_t> generic(cosines.size()), fast(cosines.size());
        std::int64_t genericSum = 0;
        for (std::size_t j = 0; j < cosines.size(); ++j)
            genericSum += generic[j] =
                static_cast<std::int32_t>(vibratoStep(pitch, cosines[j], depth));
        const auto count = static_cast<std::int64_t>(cosines.size());
        ASSERT_EQ(wide(cosines.data(), count, pitch, depth, fast.data()), genericSum);
        ASSERT_EQ(generic, fast) << "depth " << depth << " pitch step " << pitch;
    }
}

std::vector<std::uint8_t> convert(const std::vector<std::int64_t>& mix, std::int32_t leftMul,
                                  std::int32_t rightMul, bool saturate, bool wide) {
    useWideKernels(wide);
    std::vector<std::uint8_t> out(mix.size() * 2);
    convertOutput(mix, out, leftMul, rightMul, saturate);
    useWideKernels(true);
    return out;
}

// Ordinary sums, sums just inside and outside the wide loop's range, huge ones, the 64-bit ends
// and a ramp over the 16-bit edges; not a whole number of four-frame groups.
TEST(MixKernel, ConversionGivesTheBytesOfTheSampleConversion) {
    std::mt19937_64 rng(7);
    std::vector<std::int64_t> mix;
    for (std::int64_t i = 0; i < 2 * 1024 + 6; ++i) {
        const std::int64_t kind = i / 16 % 4;
        mix.push_back(kind == 0    ? any<std::int64_t>(rng, -5000000, 5000000)
                      : kind == 1  ? any<std::int64_t>(rng, -(1LL << 31) - 2, (1LL << 31) + 2)
                      : kind == 2  ? static_cast<std::int64_t>(rng())
                      : i % 3 == 0 ? std::numeric_limits<std::int64_t>::min()
                                   : std::numeric_limits<std::int64_t>::max() - i);
    }
    for (std::int64_t v = 2097000; v <= 2098300; v += 13)
        mix.insert(mix.end(), {v, -v});
    for (const bool saturate : {true, false}) {
        for (const auto& [l, r] :
             {std::pair{32, 45}, std::pair{0, 1 << 20}, std::pair{-5, 64}, std::pair{kMax, 1}}) {
            if (convertFramesWide() != nullptr) {
                EXPECT_EQ(convert(mix, l, r, saturate, true), convert(mix, l, r, saturate, false))
                    << saturate << " " << l << " " << r;
            }
        }
        const auto out = convert(mix, 64, 64, saturate, true);
        for (std::size_t i = 0; i < mix.size(); ++i) {
            const auto word = static_cast<std::uint16_t>(out[2 * i] | out[2 * i + 1] << 8);
            ASSERT_EQ(static_cast<std::int16_t>(word), convertSample(mix[i], 64, saturate))
                << mix[i] << " " << saturate;
        }
    }
}

// The gain's truncation against the plain conversion, right at and beside integers, where the
// level's extra precision beyond a double decides the result, and clamped at the 32-bit ends.
TEST(GainTruncation, MatchesTheExtendedConversionBesideEveryInteger) {
    std::mt19937_64 rng(3);
    std::vector<Real> levels = {0.0L, -0.0L, 0.5L, -0.5L, 2147483646.5L, -2147483647.5L};
    for (int i = 0; i < 20000; ++i) {
        const auto n = static_cast<Real>(any<std::int64_t>(rng, -2147483647, 2147483646));
        levels.insert(levels.end(), {n, std::nextafter(n, n + 1), std::nextafter(n, n - 1)});
    }
    for (const Real level : levels)
        ASSERT_EQ(truncGain(level), static_cast<std::int32_t>(level)) << static_cast<double>(level);
    EXPECT_EQ(truncGain(std::nextafter(2147483647.0L, 0.0L)), kMax - 1);
    EXPECT_EQ(truncGain(2147483647.0L), kMax);
    EXPECT_EQ(truncGain(1e30L), kMax);
    EXPECT_EQ(truncGain(std::nextafter(-2147483648.0L, 0.0L)), kMin + 1);
    EXPECT_EQ(truncGain(-2147483648.0L), kMin);
    EXPECT_EQ(truncGain(-1e30L), kMin);
    EXPECT_EQ(truncGain(std::numeric_limits<Real>::quiet_NaN()), 0);
}

} // namespace
} // namespace zb::synth
