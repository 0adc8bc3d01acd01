#include "synth/wav_writer.h"

#include "tests/support/byte_writer.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

// A new file gets the header of no data and stays open; finalising takes the sizes from the
// file and leaves the sample data alone.
TEST(WavHeaderWriting, NewFileThenFinalSizesFromTheFileSize) {
    test::TTempDir dir;
    const std::string path = dir.str() + "/rec.wav";
    compiler::TFastFile file(path, true, false);
    ASSERT_TRUE(file.opened());
    writeWavHeader(file, 16, 2, 22050);
    EXPECT_TRUE(file.opened());
    file.close();
    EXPECT_EQ(slurp(path), header(36, 2, 22050, 88200, 4, 16, 0));

    std::string contents(44 + 352800U * 3U, 'h');
    for (std::size_t i = 44; i < contents.size(); ++i)
        contents[i] = static_cast<char>(i * 13U & 0xFFU);
    const std::string written = rewriteHeader(dir.write("rec.wav", contents), 16, 2, 22050);
    EXPECT_EQ(written.substr(0, 44), header(1058436, 2, 22050, 88200, 4, 16, 1058400));
    EXPECT_TRUE(written.compare(44, std::string::npos, contents, 44, std::string::npos) == 0);
}

// Files of some lengths, the arguments, and the header written over their first 44 bytes: the
// sizes come from the file (a file shorter than a header has no data), 8 or 16 bits, mono or
// stereo and anything else 16-bit stereo, a byte rate that wraps modulo 2^32.
TEST(WavHeaderWriting, EachFileAndFormatGetsItsHeader) {
    struct TCase {
        std::size_t fileLength;
        int bits, channels;
        std::int32_t rate;
        std::string expected;
    };
    const std::vector<TCase> cases = {
        {44, 16, 2, 22050, header(36, 2, 22050, 88200, 4, 16, 0)},
        {10, 16, 2, 22050, header(36, 2, 22050, 88200, 4, 16, 0)},
        {49, 16, 2, 22050, header(41, 2, 22050, 88200, 4, 16, 5)},
        {144, 8, 1, 11025, header(136, 1, 11025, 11025, 1, 8, 100)},
        {44, 8, 2, 44100, header(36, 2, 44100, 88200, 2, 8, 0)},
        {44, 16, 1, 44100, header(36, 1, 44100, 88200, 2, 16, 0)},
        {44, 24, 6, 48000, header(36, 2, 48000, 192000, 4, 16, 0)},
        {44, 0, 0, 22050, header(36, 2, 22050, 88200, 4, 16, 0)},
        {44, 16, 2, 0x7FFFFFFF, header(36, 2, 0x7FFFFFFFU, 0xFFFFFFFCU, 4, 16, 0)},
    };
    test::TTempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.write("rec.wav", std::string(c.fileLength, 'x'));
        const std::string written = rewriteHeader(path, c.bits, c.channels, c.rate);
        EXPECT_EQ(written.substr(0, 44), c.expected) << c.fileLength << " bytes, " << c.bits;
        EXPECT_EQ(written.size(), std::max<std::size_t>(c.fileLength, 44));
    }
}

} // namespace
} // namespace zb::synth
