#include "importer/patch_mapping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace zb::importer {
namespace {

// Pan from full left to full right; the base volume that gives the wanted amplitude, full left
// putting everything into one channel at 1.41 times the centred per-channel level; the
// vibrato depth following the key; key codes as the patch files name them.
TEST(PatchMapping, PanVolumeVibratoAndKeyCodes) {
    EXPECT_EQ((std::vector{panpotOf(-500), panpotOf(0), panpotOf(500), panpotOf(-900)}),
              (std::vector{127, 64, 0, 127}));
    EXPECT_NEAR(referenceAmplitude(baseVolumeFor(0.1, 64)), 0.1, 0.0005);
    EXPECT_NEAR(referenceAmplitude(baseVolumeFor(0.01, 64)), 0.01, 0.00001);
    const double centred = static_cast<double>(baseVolumeFor(0.1, 64));
    const double left = static_cast<double>(baseVolumeFor(0.1, 127));
    EXPECT_NEAR(left / centred, 127.0 * 63 / (64.0 * 63 * std::sqrt(2.0)), 0.001);
    EXPECT_EQ((std::vector{modulationSensitivityFor(60, 60), modulationSensitivityFor(72, 60),
                           modulationSensitivityFor(36, 60)}),
              (std::vector{6, 12, 1}));
    EXPECT_EQ((std::vector{keyCode(60), keyCode(61), keyCode(0), keyCode(131)}),
              (std::vector<std::string>{"C5", "C#5", "C0", "B10"}));
}

TEST(PatchMapping, SustainingEnvelopeDecaysToItsLevel) {
    const auto e = mapEnvelope(0, 0.01, 0, 1.0, 6, 0.5);
    EXPECT_EQ(e.attackLength, 10);
    EXPECT_NEAR(e.decayFactor, std::pow(10.0, -6.0 / 20), 1e-9);
    EXPECT_EQ(e.decayLength, 60); // where the 100 dB-per-second fall reaches -6 dB
    EXPECT_EQ(e.sustainSlope, 0);
    EXPECT_NEAR(e.releaseSlope, -1 / 0.15, 1e-9);
}

TEST(PatchMapping, DecayingEnvelopeFallsToSilenceWhereItIs30dBDown) {
    const auto e = mapEnvelope(0, 0.001, 0, 10.0, 100, 1.0);
    EXPECT_EQ(e.attackLength, 0);
    EXPECT_EQ(e.decayFactor, 0.25);
    EXPECT_EQ(e.decayLength, 1200);
    EXPECT_NEAR(e.sustainSlope, -0.25 / 1.8, 1e-9);
    // A release always falls, and takes at least 10 ms.
    EXPECT_NEAR(mapEnvelope(0, 0, 0, 0, 0, 0.001).releaseSlope, -100, 1e-9);
}

TEST(PatchMapping, EnvelopeIsScaledByThePitchStepOfTheLine) {
    TEnvelope time;
    time.attackLength = 10;
    time.decayLength = 100;
    time.decayFactor = 0.5;
    const auto e = fitEnvelope(time, 2.0, 1e9);
    EXPECT_EQ(e.attackLength, 20); // positions run twice as fast: twice the length in frames
    EXPECT_EQ(e.decayLength, 200);
    EXPECT_EQ(e.attackFactor, 2.0); // ... and the level reaches factor / step
    EXPECT_EQ(e.decayFactor, 1.0);
}

TEST(PatchMapping, DecayEndsBeforeTheLoopEnd) {
    TEnvelope time;
    time.attackLength = 10;
    time.decayLength = 1000;
    time.decayFactor = 0.25;
    time.sustainSlope = -0.25; // silent at 2 s
    const auto e = fitEnvelope(time, 1.0, 510);
    EXPECT_EQ(e.attackLength + e.decayLength, 510);
    EXPECT_NEAR(e.decayFactor, 1 - 0.75 * 0.5, 1e-9);        // half of the decay line
    EXPECT_NEAR(e.sustainSlope, -0.625 / (2.0 - 0.5), 1e-9); // still silent at 2 s
}

TEST(PatchMapping, DecayLastsThroughTheOnsetToTheLoop) {
    TEnvelope time; // no decay of its own: a line would jump to the loop at once
    time.sustainSlope = -0.5;
    auto e = fitEnvelope(time, 0.5, 1000, 100.2);
    EXPECT_EQ(e.decayLength, 101);
    // 101 ms of positions at half the step are 202 ms: the level there, as the engine scales it.
    EXPECT_NEAR(1 + (e.decayFactor - 1) / 0.5, 1 - 0.5 * 0.202, 1e-9);
    EXPECT_EQ(e.sustainSlope, -0.5);
    time.decayLength = 300; // a decay past the loop's start stays as it is
    time.decayFactor = 0.5;
    e = fitEnvelope(time, 1.0, 1000, 100.2);
    EXPECT_EQ(e.decayLength, 300);
    EXPECT_EQ(e.decayFactor, 0.5);
}

} // namespace
} // namespace zb::importer
