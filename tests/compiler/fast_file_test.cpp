#include "compiler/fast_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace zb::compiler {
namespace {

std::string pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return s;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(FastFile, MissingFileIsNotOpenedAndThrowsNothing) {
    test::TTempDir dir;
    TFastFile f(dir.str() + "/missing.mid", false, true);
    EXPECT_FALSE(f.opened());
}

TEST(FastFile, EmptyFileIsAtEndFromTheStart) {
    test::TTempDir dir;
    TFastFile f(dir.write("empty", ""), false, true);
    ASSERT_TRUE(f.opened());
    EXPECT_TRUE(f.eof());
    EXPECT_EQ(f.size(), 0);
    EXPECT_EQ(f.readByte(), 0);
    EXPECT_EQ(f.position(), 0);
}

TEST(FastFile, EofIsSetTogetherWithTheLastByte) {
    test::TTempDir dir;
    const std::string data = "ABCDEFGHIJKLMN";
    TFastFile f(dir.write("14", data), false, true);
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(f.readByte(), static_cast<std::uint8_t>(data[static_cast<std::size_t>(i)]));
        EXPECT_FALSE(f.eof()) << "after byte " << i + 1;
    }
    EXPECT_EQ(f.readByte(), 'N');
    EXPECT_TRUE(f.eof());
    EXPECT_EQ(f.readByte(), 0);
    EXPECT_EQ(f.position(), 14);
}

TEST(FastFile, SeekPastTheEndSetsEofAndSeekBackClearsIt) {
    test::TTempDir dir;
    TFastFile f(dir.write("f", "0123456789"), false, true);
    f.seek(50);
    EXPECT_TRUE(f.eof());
    EXPECT_EQ(f.readByte(), 0);
    f.seek(4);
    EXPECT_FALSE(f.eof());
    EXPECT_EQ(f.readByte(), '4');
    EXPECT_EQ(f.readByte(), '5');
}

TEST(FastFile, ReadsAcrossBlockBoundariesAndBack) {
    test::TTempDir dir;
    const std::string data = pattern(3 * 16384 + 100);
    TFastFile f(dir.write("big", data), false, true);
    f.seek(16383);
    EXPECT_EQ(f.readByte(), static_cast<std::uint8_t>(data[16383]));
    EXPECT_EQ(f.readByte(), static_cast<std::uint8_t>(data[16384]));
    f.seek(16383);
    EXPECT_EQ(f.readByte(), static_cast<std::uint8_t>(data[16383]));
    f.seek(0);
    std::string all;
    while (!f.eof())
        all.push_back(static_cast<char>(f.readByte()));
    EXPECT_EQ(all, data);
}

TEST(FastFile, NewFileOfFortyFourBytes) {
    test::TTempDir dir;
    const std::string path = dir.str() + "/out.wav";
    TFastFile f(path, true, false);
    ASSERT_TRUE(f.opened());
    EXPECT_TRUE(f.eof());
    for (int i = 0; i < 44; ++i)
        f.writeByte(static_cast<std::uint8_t>(i));
    EXPECT_EQ(f.size(), 44);
    f.close();
    EXPECT_EQ(std::filesystem::file_size(path), 44u);
    EXPECT_EQ(slurp(path)[43], 43);
}

TEST(FastFile, SingleWrittenByteCountsInTheSize) {
    test::TTempDir dir;
    const std::string path = dir.str() + "/one";
    {
        TFastFile f(path, true, false);
        f.writeByte(0x5A);
        EXPECT_EQ(f.size(), 1);
    }
    EXPECT_EQ(slurp(path), "Z");
}

TEST(FastFile, ChangedBlockIsWrittenBackBeforeAnotherIsLoaded) {
    test::TTempDir dir;
    std::string data = pattern(40000);
    const std::string path = dir.write("rw", data);
    {
        TFastFile f(path, false, false);
        f.seek(10);
        f.writeByte('x');
        f.seek(30000); // another block: the change must reach the file now
        EXPECT_EQ(slurp(path)[10], 'x');
        EXPECT_EQ(f.readByte(), static_cast<std::uint8_t>(data[30000]));
        f.seek(10);
        EXPECT_EQ(f.readByte(), 'x');
        f.writeByte('y');
    }
    data[10] = 'x';
    data[11] = 'y';
    EXPECT_EQ(slurp(path), data);
}

TEST(FastFile, ReadingAloneNeverRewritesTheFile) {
    test::TTempDir dir;
    const std::string path = dir.write("ro", pattern(20000));
    const auto before = std::filesystem::last_write_time(path);
    {
        TFastFile f(path, false, false);
        f.seek(19000);
        f.readByte();
        f.seek(5);
        f.readByte();
    }
    EXPECT_EQ(std::filesystem::last_write_time(path), before);
}

TEST(FastFile, RewritingAHeaderKeepsTheRestOfTheFile) {
    test::TTempDir dir;
    std::string data = pattern(100000);
    const std::string path = dir.write("rec", data);
    {
        TFastFile f(path, false, false);
        for (int i = 0; i < 44; ++i)
            f.writeByte('H');
        EXPECT_EQ(f.size(), 100000);
    }
    data.replace(0, 44, std::string(44, 'H'));
    EXPECT_EQ(slurp(path), data);
}

} // namespace
} // namespace zb::compiler
