#include "importer/resampler.h"
#include "importer/sf2_builder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zb::importer {
namespace {

// Frequency of a sine from its rising zero crossings, in Hz at 22050 frames per second.
double frequency(const std::vector<std::int16_t>& x, std::size_t from, std::size_t to) {
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = from; i + 1 < to; ++i)
        if (x[i] < 0 && x[i + 1] >= 0) {
            const double at = static_cast<double>(i) +
                              static_cast<double>(-x[i]) / static_cast<double>(x[i + 1] - x[i]);
            if (first < 0)
                first = at;
            else
                ++crossings;
            last = at;
        }
    return crossings * 22050.0 / (last - first);
}

// Data at the engine's rate is copied, scaled by the gain; at a falling rate it keeps its pitch;
// tuning raises it.
TEST(Resampler, KeepsThePitchAndTheTuning) {
    const auto same = test::sine(500, 1000, 22050, 10000);
    EXPECT_EQ(resampleForEngine(same, -1, -1, 22050, 1.0).data, same);
    EXPECT_EQ(resampleForEngine(same, -1, -1, 22050, 0.5).data[10],
              static_cast<std::int16_t>(std::lround(same[10] * 0.5)));
    const auto fast = resampleForEngine(test::sine(44100, 440, 44100, 10000), -1, -1, 44100, 1.0);
    EXPECT_NEAR(fast.data.size(), 22050U, 1U);
    EXPECT_NEAR(1200 * std::log2(frequency(fast.data, 100, 22000) / 440), 0, 1);
    const auto tuned = resampleForEngine(test::sine(32000, 440, 32000, 10000), -1, -1,
                                         32000 * std::pow(2.0, 30 / 1200.0), 1.0);
    EXPECT_NEAR(1200 * std::log2(frequency(tuned.data, 100, tuned.data.size() - 100) / 440), 30, 1);
}

TEST(Resampler, ShortLoopIsUnrolledAndStaysInTune) {
    // A loop of one period of 441 Hz at 32000 Hz is 72.56 frames: not a whole number.
    const auto x = test::sine(2000, 32000.0 / 73, 32000, 10000);
    const auto r = resampleForEngine(x, 500, 573, 32000, 1.0);
    ASSERT_GE(r.loopStart, 0);
    EXPECT_GE(r.loopEnd - r.loopStart, 2000);
    EXPECT_LT(std::abs(r.centsError), 1.0);
    EXPECT_EQ(r.data.size(), static_cast<std::size_t>(r.loopEnd + 3));
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(r.data[static_cast<std::size_t>(r.loopEnd + i)],
                    r.data[static_cast<std::size_t>(r.loopStart + i)], 2);
    const double hz = frequency(r.data, static_cast<std::size_t>(r.loopStart),
                                static_cast<std::size_t>(r.loopEnd + 1));
    EXPECT_NEAR(1200 * std::log2(hz / (32000.0 / 73)), 0, 2);
}

TEST(Resampler, DataGoesOnPastTheLoopRepeatingIt) {
    const auto x = test::sine(2000, 32000.0 / 73, 32000, 10000);
    const auto plain = resampleForEngine(x, 500, 573, 32000, 1.0);
    const auto r = resampleForEngine(x, 500, 573, 32000, 1.0, 20000);
    ASSERT_EQ(r.data.size(), 20000U);
    EXPECT_EQ(r.loopStart, plain.loopStart);
    EXPECT_EQ(r.loopEnd, plain.loopEnd);
    EXPECT_TRUE(std::equal(plain.data.begin(), plain.data.end(), r.data.begin()));
    const auto period = static_cast<std::size_t>(r.loopEnd - r.loopStart);
    for (std::size_t j = plain.data.size(); j < r.data.size(); ++j)
        ASSERT_EQ(r.data[j], r.data[j - period]) << j;
}

} // namespace
} // namespace zb::importer
