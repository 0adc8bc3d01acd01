#include "synth/wav_writer.h"

#include "tests/support/byte_writer.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

namespace zb::synth {
namespace {

using zb::test::TBytes;

std::string header(std::uint32_t riffSize, std::uint32_t channels, std::uint32_t rate,
                   std::uint32_t bytesPerSecond, std::uint32_t blockAlign, std::uint32_t bits,
                   std::uint32_t dataSize) {
    TBytes b;
    b.tag("RIFF").u32(riffSize).tag("WAVE").tag("fmt ").u32(16).u16(1).u16(channels);
    b.u32(rate).u32(bytesPerSecond).u16(blockAlign).u16(bits).tag("data").u32(dataSize);
    return b.str();
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Writes the header into an existing file the way the recorder finalises one.
std::string rewriteHeader(const std::string& path, int bits, int channels, std::int32_t rate) {
    compiler::TFastFile file(path, false, false);
    EXPECT_TRUE(file.opened());
    if (file.opened()) {
        writeWavHeader(file, bits, channels, rate);
        file.close();
    }
    return slurp(path);
}

TEST(WavHeaderWriting, NewFileGetsTheZeroSizeHeader) {
    test::TTempDir dir;
    const std::string path = dir.str() + "/rec.wav";
    compiler::TFastFile file(path, true, false);
    ASSERT_TRUE(file.opened());
    writeWavHeader(file, 16, 2, 22050);
    EXPECT_TRUE(file.opened()) << "the file stays open";
    file.close();
    EXPECT_EQ(slurp(path), header(36, 2, 22050, 88200, 4, 16, 0));
}

TEST(WavHeaderWriting, FinalSizesComeFromTheFileSize) {
    test::TTempDir dir;
    const std::uint32_t dataBytes = 352800U * 3U;
    std::string contents(44, 'h');
    contents.reserve(44 + dataBytes);
    for (std::uint32_t i = 0; i < dataBytes; ++i)
        contents += static_cast<char>(i * 13U & 0xFFU);
    const std::string path = dir.write("rec.wav", contents);

    const std::string written = rewriteHeader(path, 16, 2, 22050);
    ASSERT_EQ(written.size(), contents.size());
    EXPECT_EQ(written.substr(0, 44), header(1058436, 2, 22050, 88200, 4, 16, 1058400));
    EXPECT_TRUE(written.compare(44, std::string::npos, contents, 44, std::string::npos) == 0)
        << "the sample data is left alone";
}

TEST(WavHeaderWriting, ExactlyHeaderSizedFileHasNoData) {
    test::TTempDir dir;
    const std::string path = dir.write("rec.wav", std::string(44, 'x'));
    EXPECT_EQ(rewriteHeader(path, 16, 2, 22050), header(36, 2, 22050, 88200, 4, 16, 0));
}

TEST(WavHeaderWriting, FileShorterThanTheHeaderCountsAsNoData) {
    test::TTempDir dir;
    const std::string path = dir.write("rec.wav", std::string(10, 'x'));
    EXPECT_EQ(rewriteHeader(path, 16, 2, 22050), header(36, 2, 22050, 88200, 4, 16, 0));
}

TEST(WavHeaderWriting, OddDataLengthIsWrittenAsIs) {
    test::TTempDir dir;
    const std::string path = dir.write("rec.wav", std::string(44 + 5, 'x'));
    const std::string written = rewriteHeader(path, 16, 2, 22050);
    EXPECT_EQ(written.substr(0, 44), header(41, 2, 22050, 88200, 4, 16, 5));
    EXPECT_EQ(written.size(), 49U);
}

TEST(WavHeaderWriting, EightBitMonoFields) {
    test::TTempDir dir;
    const std::string path = dir.write("rec.wav", std::string(44 + 100, 'x'));
    EXPECT_EQ(rewriteHeader(path, 8, 1, 11025).substr(0, 44),
              header(136, 1, 11025, 11025, 1, 8, 100));
}

TEST(WavHeaderWriting, EightBitStereoAndSixteenBitMonoFields) {
    test::TTempDir dir;
    const std::string path = dir.write("rec.wav", std::string(44, 'x'));
    EXPECT_EQ(rewriteHeader(path, 8, 2, 44100), header(36, 2, 44100, 88200, 2, 8, 0));
    EXPECT_EQ(rewriteHeader(path, 16, 1, 44100), header(36, 1, 44100, 88200, 2, 16, 0));
}

TEST(WavHeaderWriting, OtherArgumentsMeanSixteenBitStereo) {
    test::TTempDir dir;
    const std::string path = dir.write("rec.wav", std::string(44, 'x'));
    EXPECT_EQ(rewriteHeader(path, 24, 6, 48000), header(36, 2, 48000, 192000, 4, 16, 0));
    EXPECT_EQ(rewriteHeader(path, 0, 0, 22050), header(36, 2, 22050, 88200, 4, 16, 0));
}

TEST(WavHeaderWriting, ByteRateOfAHugeRateWrapsInsteadOfOverflowing) {
    test::TTempDir dir;
    const std::string path = dir.write("rec.wav", std::string(44, 'x'));
    // 4 * 0x7FFFFFFF = 0x1FFFFFFFC, kept modulo 2^32.
    EXPECT_EQ(rewriteHeader(path, 16, 2, 0x7FFFFFFF),
              header(36, 2, 0x7FFFFFFFU, 0xFFFFFFFCU, 4, 16, 0));
}

} // namespace
} // namespace zb::synth
