#include "instruments/wav_header.h"

#include "tests/support/byte_writer.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace zb::instruments {
namespace {

using zb::test::TBytes;

struct TFormat {
    std::uint32_t tagValue = 1;
    std::uint32_t channels = 1;
    std::uint32_t rate = 22050;
    std::uint32_t bits = 16;
    std::uint32_t length = 16; // format chunk length; bytes beyond 16 are written as zeros
};

// "RIFF", "WAVE" and the format chunk including its extra bytes and pad byte.
TBytes riffStart(const TFormat& f = {}) {
    TBytes b;
    b.tag("RIFF").u32(0).tag("WAVE").chunk("fmt ", f.length);
    b.u16(f.tagValue).u16(f.channels).u32(f.rate).u32(f.rate * f.channels * f.bits / 8);
    b.u16(f.channels * f.bits / 8).u16(f.bits);
    if (f.length > 16)
        b.fill(f.length - 16 + (f.length & 1U), 0xEE);
    return b;
}

// A complete file with dataBytes of data after the data chunk header.
std::string wavFile(const TFormat& f, std::uint32_t dataBytes) {
    TBytes b = riffStart(f);
    b.chunk("data", dataBytes).fill(dataBytes, 0x80);
    return b.str();
}

TWAVheader examine(const std::string& bytes) {
    test::TTempDir dir;
    return TWAVheader(dir.write("x.wav", bytes));
}

void expectTruncated(const TWAVheader& h) {
    EXPECT_TRUE(h.opened);
    EXPECT_TRUE(h.truncated);
    EXPECT_FALSE(h.valid);
    EXPECT_FALSE(h.formatOK);
}

TEST(WavHeaderOpening, MissingFileIsNotOpened) {
    test::TTempDir dir;
    const TWAVheader h(dir.str() + "/none.wav");
    EXPECT_FALSE(h.opened);
    EXPECT_FALSE(h.valid);
    EXPECT_FALSE(h.truncated);
}

TEST(WavHeaderOpening, DirectoryIsNotOpened) {
    test::TTempDir dir;
    std::filesystem::create_directory(dir.path() / "d.wav");
    const TWAVheader h(dir.str() + "/d.wav");
    EXPECT_FALSE(h.opened);
    EXPECT_FALSE(h.valid);
}

TEST(WavHeaderValid, CanonicalFileGivesItsFields) {
    const TWAVheader h = examine(wavFile({.channels = 2, .rate = 44100, .bits = 16}, 12));
    EXPECT_TRUE(h.opened);
    EXPECT_TRUE(h.isPcm);
    EXPECT_TRUE(h.formatOK);
    EXPECT_FALSE(h.truncated);
    ASSERT_TRUE(h.valid);
    EXPECT_EQ(h.channels, 2);
    EXPECT_EQ(h.samplesPerSec, 44100);
    EXPECT_EQ(h.bitsPerSample, 16);
    EXPECT_EQ(h.dataOffset, 44);
    EXPECT_EQ(h.dataSize, 12U);
}

TEST(WavHeaderValid, EightBitMonoIsAccepted) {
    const TWAVheader h = examine(wavFile({.channels = 1, .rate = 11025, .bits = 8}, 3));
    ASSERT_TRUE(h.valid);
    EXPECT_EQ(h.channels, 1);
    EXPECT_EQ(h.samplesPerSec, 11025);
    EXPECT_EQ(h.bitsPerSample, 8);
}

TEST(WavHeaderValid, DataSizeIsTakenAsStatedEvenBeyondTheFile) {
    TBytes b = riffStart();
    b.chunk("data", 0xFFFFFFF0U).fill(4);
    const TWAVheader h = examine(b.str());
    ASSERT_TRUE(h.valid);
    EXPECT_EQ(h.dataSize, 0xFFFFFFF0U);
    EXPECT_EQ(h.dataOffset, 44);
}

TEST(WavHeaderValid, EmptyDataChunkFollowedByMoreBytesIsValid) {
    TBytes b = riffStart();
    b.chunk("data", 0).chunk("LIST", 0);
    const TWAVheader h = examine(b.str());
    ASSERT_TRUE(h.valid);
    EXPECT_EQ(h.dataSize, 0U);
}

TEST(WavHeaderLength, FileOfThirtySixBytesOrLessIsTruncated) {
    const std::string full = wavFile({}, 4);
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{20}, std::size_t{36}}) {
        const TWAVheader h = examine(full.substr(0, n));
        expectTruncated(h);
        EXPECT_FALSE(h.isPcm) << n << " bytes: the identifiers are not even looked at";
    }
}

TEST(WavHeaderLength, ThirtySeventhByteLetsTheFormatBeExamined) {
    const std::string full = wavFile({}, 4);
    const TWAVheader h = examine(full.substr(0, 37));
    expectTruncated(h); // no data chunk, but the format was examined
    EXPECT_TRUE(h.isPcm);
}

TEST(WavHeaderLength, SmallestFileWithOneDataByteIsValid) {
    const std::string bytes = wavFile({.bits = 8}, 1);
    ASSERT_EQ(bytes.size(), 45U);
    EXPECT_TRUE(examine(bytes).valid);
}

TEST(WavHeaderLength, DataHeaderAsTheLastEightBytesIsTruncated) {
    TBytes b = riffStart();
    b.chunk("data", 0);
    const TWAVheader h = examine(b.str());
    expectTruncated(h);
    EXPECT_TRUE(h.isPcm);
}

TEST(WavHeaderLength, CutInsideTheDataHeaderIsTruncated) {
    TBytes b = riffStart();
    b.tag("data").u16(4);
    expectTruncated(examine(b.str()));
}

TEST(WavHeaderLength, NoDataChunkIsTruncated) {
    TBytes b = riffStart();
    b.chunk("LIST", 4).tag("abcd").chunk("fact", 4).u32(7);
    expectTruncated(examine(b.str()));
}

TEST(WavHeaderFormatChunk, LengthEighteenSkipsTheExtraBytes) {
    const TWAVheader h = examine(wavFile({.length = 18}, 2));
    ASSERT_TRUE(h.valid);
    EXPECT_EQ(h.dataOffset, 20 + 18 + 8);
}

TEST(WavHeaderFormatChunk, OddLengthSkipsAPadByte) {
    const TWAVheader h17 = examine(wavFile({.length = 17}, 2));
    ASSERT_TRUE(h17.valid);
    EXPECT_EQ(h17.dataOffset, 20 + 18 + 8);
    const TWAVheader h19 = examine(wavFile({.length = 19}, 2));
    ASSERT_TRUE(h19.valid);
    EXPECT_EQ(h19.dataOffset, 20 + 20 + 8);
}

TEST(WavHeaderFormatChunk, LengthBelowSixteenIsTruncated) {
    TBytes b = riffStart({.length = 15});
    b.chunk("data", 2).fill(2);
    const TWAVheader h = examine(b.str());
    expectTruncated(h);
    EXPECT_TRUE(h.isPcm);
}

TEST(WavHeaderChunkWalk, ListAndFactChunksBeforeDataAreSkipped) {
    TBytes b = riffStart();
    b.chunk("LIST", 3).tag("abc").u8(0); // odd length, pad byte
    b.chunk("fact", 4).u32(1);
    b.chunk("data", 2).fill(2);
    const TWAVheader h = examine(b.str());
    ASSERT_TRUE(h.valid);
    EXPECT_EQ(h.dataOffset, 36 + 12 + 12 + 8);
    EXPECT_EQ(h.dataSize, 2U);
}

TEST(WavHeaderChunkWalk, EmptyChunkIsSkipped) {
    TBytes b = riffStart();
    b.chunk("junk", 0).chunk("data", 1).fill(1);
    const TWAVheader h = examine(b.str());
    ASSERT_TRUE(h.valid);
    EXPECT_EQ(h.dataOffset, 36 + 8 + 8);
}

TEST(WavHeaderChunkWalk, HugeChunkLengthSkipsForwardOutOfTheFile) {
    // 0xFFFFFFF7 plus its pad byte would be -8 in 32-bit arithmetic: the walk would read the
    // same chunk header again forever. It has to run off the end instead.
    for (std::uint32_t length : {0xFFFFFFF7U, 0xFFFFFFFFU, 0x80000000U}) {
        TBytes b = riffStart();
        b.chunk("LIST", length).chunk("data", 2).fill(2);
        expectTruncated(examine(b.str()));
    }
}

TEST(WavHeaderChunkWalk, HugeFormatLengthSkipsForwardOutOfTheFile) {
    TBytes b = riffStart();
    std::string bytes = b.str();
    bytes.replace(16, 4, TBytes().u32(0xFFFFFFFFU).str());
    bytes += TBytes().chunk("data", 2).fill(2).str();
    expectTruncated(examine(bytes));
}

TEST(WavHeaderIdentifiers, WrongIdentifiersAreNotPcm) {
    const std::string good = wavFile({}, 4);
    for (std::size_t at : {std::size_t{0}, std::size_t{8}, std::size_t{12}}) {
        std::string bytes = good;
        bytes[at] = 'X';
        const TWAVheader h = examine(bytes);
        EXPECT_TRUE(h.opened);
        EXPECT_FALSE(h.isPcm) << "identifier at " << at;
        EXPECT_FALSE(h.truncated);
        EXPECT_FALSE(h.valid);
    }
}

TEST(WavHeaderIdentifiers, FormatChunkMustComeFirst) {
    TBytes b;
    b.tag("RIFF").u32(0).tag("WAVE").chunk("LIST", 4).tag("abcd");
    const std::string formatChunk = riffStart().str().substr(12);
    const std::string bytes = b.str() + formatChunk + TBytes().chunk("data", 2).fill(2).str();
    const TWAVheader h = examine(bytes);
    EXPECT_FALSE(h.isPcm);
    EXPECT_FALSE(h.valid);
}

TEST(WavHeaderIdentifiers, FormatTagOtherThanPcmIsRefused) {
    for (std::uint32_t tagValue : {0U, 3U, 0x101U, 0xFFFEU}) {
        const TWAVheader h = examine(wavFile({.tagValue = tagValue}, 4));
        EXPECT_FALSE(h.isPcm) << tagValue;
        EXPECT_FALSE(h.valid);
    }
}

TEST(WavHeaderFormat, ChannelCountsOtherThanOneOrTwoAreRefused) {
    for (std::uint32_t channels : {0U, 3U, 6U, 0x101U, 0x201U}) {
        const TWAVheader h = examine(wavFile({.channels = channels}, 24));
        EXPECT_TRUE(h.isPcm);
        EXPECT_FALSE(h.formatOK) << channels;
        EXPECT_FALSE(h.truncated);
        EXPECT_FALSE(h.valid);
    }
}

TEST(WavHeaderFormat, WidthsOtherThanEightOrSixteenBitsAreRefused) {
    for (std::uint32_t bits : {0U, 4U, 12U, 24U, 32U, 0x108U, 0x110U}) {
        for (std::uint32_t channels : {1U, 2U}) {
            const TWAVheader h = examine(wavFile({.channels = channels, .bits = bits}, 24));
            EXPECT_TRUE(h.isPcm);
            EXPECT_FALSE(h.formatOK) << bits << " bits";
            EXPECT_FALSE(h.valid) << bits << " bits";
        }
    }
}

TEST(WavHeaderFormat, RateThatIsNotPositiveIsRefused) {
    for (std::uint32_t rate : {0U, 0x80000000U, 0xFFFFFFFFU}) {
        const TWAVheader h = examine(wavFile({.rate = rate}, 4));
        EXPECT_FALSE(h.formatOK) << rate;
        EXPECT_FALSE(h.valid) << rate;
    }
    EXPECT_TRUE(examine(wavFile({.rate = 1}, 4)).valid);
    EXPECT_TRUE(examine(wavFile({.rate = 0x7FFFFFFFU}, 4)).valid);
}

} // namespace
} // namespace zb::instruments
