#include "instruments/wav_sample.h"

#include "tests/support/byte_writer.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace zb::instruments {
namespace {

namespace fs = std::filesystem;

using TSamples = std::vector<std::int16_t>;

using zb::test::TBytes;

std::vector<std::uint8_t> pcm16(std::initializer_list<int> values) {
    TBytes b;
    for (int v : values)
        b.s16(v);
    return b.data();
}

std::vector<std::uint8_t> pcm8(std::initializer_list<int> values) {
    TBytes b;
    for (int v : values)
        b.u8(static_cast<std::uint32_t>(v));
    return b.data();
}

TWavLoadResult convert(const std::vector<std::uint8_t>& raw, int channels, int bits, int rate) {
    return convertToMono22050(raw, channels, bits, rate);
}

// The converted samples; the slack behind them must be the stated number of zeros.
TSamples body(const TWavLoadResult& r, std::size_t slack) {
    EXPECT_EQ(r.error, TWavLoadError::none);
    EXPECT_EQ(r.samples.size(), r.convertedCount + slack);
    for (std::size_t i = r.convertedCount; i < r.samples.size(); ++i)
        EXPECT_EQ(r.samples[i], 0) << "slack sample " << i;
    const auto end = std::min(r.convertedCount, r.samples.size());
    return {r.samples.begin(), r.samples.begin() + static_cast<std::ptrdiff_t>(end)};
}

TSamples generalRate(const std::vector<std::uint8_t>& raw, int channels, int bits, int rate) {
    return body(convert(raw, channels, bits, rate), 64);
}

// Conversions at the fixed ratios (8 slack samples) and the general one (64), and what they give.
TEST(WavConversion, EachFormatGivesItsSamples) {
    std::vector<std::uint8_t> oddByte = pcm16({100, 200});
    oddByte.push_back(0x7F);
    struct TCase {
        std::vector<std::uint8_t> raw;
        int channels, bits, rate;
        TSamples expected;
    };
    const std::vector<TCase> cases = {
        // 22,050 Hz: 16-bit mono unchanged, an incomplete last frame ignored, 8 bits centred and
        // scaled, stereo averaged toward zero.
        {pcm16({0, 1, -1, 32767, -32768, 12345}), 1, 16, 22050, {0, 1, -1, 32767, -32768, 12345}},
        {oddByte, 1, 16, 22050, {100, 200}},
        {pcm16({1, 2, 3}), 2, 16, 22050, {1}},
        {{}, 1, 8, 22050, {}},
        {pcm8({0, 128, 255, 1, 129}), 1, 8, 22050, {-32768, 0, 32512, -32512, 256}},
        {pcm8({255, 255, 0, 0, 128, 129, 0, 255}), 2, 8, 22050, {32512, -32768, 128, -128}},
        {pcm16({-3, 0, 3, 0, 32767, 32767, -32768, -32768, -32768, 32767}),
         2,
         16,
         22050,
         {-1, 1, 32767, -32768, 0}},
        // 44,100 Hz: pairs, the unpaired last sample dropped; stereo divides the sum of four by
        // four ((1,0),(3,0) gives 1 where averaging the mono values would give 0).
        {pcm16({3, -6, 100, 200, 7}), 1, 16, 44100, {-1, 150}},
        {pcm16({32767, 32767, -32768, -32768}), 1, 16, 44100, {32767, -32768}},
        {pcm16({1, 0, 3, 0, -1, -1, -1, 0, 4000, 8000, -100, 3, -32768, -32768, -32768, -32768}),
         2,
         16,
         44100,
         {1, 0, 2975, -32768}},
        {pcm8({0, 1, 255, 255, 128, 129, 77}), 1, 8, 44100, {-32640, 32512, 128}},
        {pcm8({255, 255, 255, 255, 0, 0, 0, 0, 128, 128, 128, 129}),
         2,
         8,
         44100,
         {32512, -32768, 64}},
        // 11,025 Hz: a midpoint and the frame itself; halves round toward zero (h(-3) = -1).
        {pcm8({128, 192}), 1, 8, 11025, {0, 0, 8192, 16384}},
        {pcm8({255, 0}), 1, 8, 11025, {16256, 32512, -128, -32768}},
        {pcm16({-3, 5}), 1, 16, 11025, {-1, -3, 1, 5}},
        {pcm16({-3, 0, 5, 2}), 2, 16, 11025, {0, -1, 1, 3}},
        {pcm16({32767, 32767, 32767, 32767}), 2, 16, 11025, {16383, 32767, 32766, 32767}},
        {pcm8({255, 255, 0, 0}), 2, 8, 11025, {16256, 32512, -128, -32768}},
        // The general ratio. 88,200 Hz, r = 4: 7 frames give Round(3.5) = 4, N = 3 (flooring
        // would give 2); 5 frames Round(2.5) = 2, N = 2, output 1 the last frame itself.
        {pcm16({10, 11, 12, 13, 14, 15, 16}), 1, 16, 88200, {10, 14, 0}},
        {pcm16({10, 11, 12, 13, 14}), 1, 16, 88200, {10, 14}},
        // 66,150 Hz, r = 3: stereo and 8 bits through their mono values.
        {pcm8({255, 255, 0, 0, 1, 1, 128, 129, 9, 9, 9, 9}), 2, 8, 66150, {32512, 128, 0}},
        {pcm8({0, 1, 2, 255}), 1, 8, 66150, {-32768, 32512}},
        {{}, 1, 16, 32000, {0}},
        // 33,075 Hz, r = 1.5: output 2k lies on frame 3k; output 1 is 50 + 0.5 * 250, output 3
        // (8 + 9) / 2 truncated.
        {pcm16({-100, 50, 300, -7, 8, 9, 1000}), 1, 16, 33075, {-100, 175, -7, 8, 1000}},
    };
    for (const auto& c : cases) {
        const bool fixed = c.rate == 11025 || c.rate == 22050 || c.rate == 44100;
        const TSamples got = body(convert(c.raw, c.channels, c.bits, c.rate), fixed ? 8 : 64);
        EXPECT_EQ(got, c.expected)
            << c.channels << " channels, " << c.bits << " bits, " << c.rate << " Hz";
    }
    const std::vector<std::uint8_t> raw = pcm16({1, 2});
    EXPECT_EQ(convert(raw, 3, 16, 22050).error, TWavLoadError::readError);
    EXPECT_EQ(convert(raw, 1, 24, 22050).error, TWavLoadError::readError);
    EXPECT_EQ(convert(raw, 1, 16, 0).error, TWavLoadError::readError);
    EXPECT_TRUE(convert(raw, 1, 16, 0).samples.empty());
}

// The general ratio at 32,000 Hz (r = 640 / 441): output k lies at source frame (640k) div 441
// with the fraction ((640k) mod 441) / 441, and the whole interpolated value is truncated.
TEST(WavConversionGeneral, InterpolatesAndTruncatesTheWholeValueTowardZero) {
    // N = Round(2 * 10 * 441 / 640) div 2 + 1 = 8; output 7 would lie past the last frame.
    EXPECT_EQ(
        generalRate(pcm16({0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000}), 1, 16, 32000),
        (TSamples{0, 1451, 2902, 4353, 5804, 7256, 8707, 0}));
    // Output 1 lies at frame 1 + 199/441: -997 - 449.89 gives -1446 (flooring: -1447), and
    // -500 + 451.25 gives -48 (truncating the step alone: -49).
    EXPECT_EQ(generalRate(pcm16({0, -997, -1994, -2991}), 1, 16, 32000).at(1), -1446);
    EXPECT_EQ(generalRate(pcm16({0, -500, 500, 0}), 1, 16, 32000).at(1), -48);
    // Half a second: Round(2 * 16000 * 441 / 640) = 22050, N = 11026.
    EXPECT_EQ(generalRate(std::vector<std::uint8_t>(32000, 1), 1, 16, 32000).size(), 11026U);
}

// A 16-bit mono file with a chunk before the data chunk of the given size and bytes.
std::string wavFile(std::uint32_t dataSize, const std::vector<std::uint8_t>& data) {
    return test::wavStart().chunk("LIST", 1).u8('x').u8(0).chunk("data", dataSize).raw(data).str();
}

// The data chunk is converted when it lies in the file; one reaching past the end fails at once
// (even one of a gigabyte stated in a small file), as does a file gone since examining it.
TEST(WavLoading, TheDataChunkIsConvertedWhenItLiesInTheFile) {
    test::TTempDir dir;
    const auto data = pcm16({5, -5, 32767});
    std::string name = dir.write("a.wav", wavFile(6, data) + "trailing");
    ASSERT_TRUE(TWAVheader(name).valid);
    EXPECT_EQ(body(loadWavSamples(name, TWAVheader(name)), 8), (TSamples{5, -5, 32767}));
    const TWAVheader examined(name);
    fs::remove(name);
    EXPECT_EQ(loadWavSamples(name, examined).error, TWavLoadError::readError);
    name = dir.write("c.wav", "not a wav file at all, but long enough here");
    EXPECT_EQ(loadWavSamples(name, TWAVheader(name)).error, TWavLoadError::readError);
    const std::vector<std::uint8_t> kilobyte(1024, 0x11);
    for (const auto& [size, bytes] : {std::pair{7U, data}, std::pair{0x80000000U, kilobyte},
                                      std::pair{0xFFFFFFFFU, kilobyte}}) {
        name = dir.write("b.wav", wavFile(size, bytes));
        const TWAVheader header(name);
        ASSERT_TRUE(header.valid);
        const auto start = std::chrono::steady_clock::now();
        const TWavLoadResult r = loadWavSamples(name, header);
        EXPECT_EQ(r.error, TWavLoadError::readError);
        EXPECT_TRUE(r.samples.empty());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
}

// The comparison with the model always passes a patch directory; without one a name is looked
// up from the current directory, in any case.
TEST(FindWavFile, WithoutAPatchDirectoryTheCurrentDirectoryIsUsed) {
    test::TTempDir dir;
    dir.write("s/KICK.wav", "x");
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path());
    const std::string found = findWavFile("s/kick.WAV", "");
    fs::current_path(previous);
    EXPECT_EQ(found, "s/KICK.wav");
}

} // namespace
} // namespace zb::instruments
