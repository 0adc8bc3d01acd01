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

std::uint8_t at(const std::string& data, std::size_t i) {
    return static_cast<std::uint8_t>(data[i]);
}

// End of file comes with the last byte and gives zeros after it; a seek past the end sets it and
// one back clears it; reads cross and go back over block boundaries. A missing file is not
// opened; an empty one is at its end from the start. Reading alone never rewrites the file.
TEST(FastFile, ReadsEveryByteAndKnowsTheEnd) {
    test::TTempDir dir;
    EXPECT_FALSE(TFastFile(dir.str() + "/missing.mid", false, true).opened());
    TFastFile empty(dir.write("empty", ""), false, true);
    EXPECT_TRUE(empty.opened() && empty.eof());
    EXPECT_EQ(empty.readByte(), 0);

    const std::string data = pattern(3 * 16384 + 100);
    const std::string path = dir.write("big", data);
    const auto before = std::filesystem::last_write_time(path);
    {
        TFastFile f(path, false, false);
        f.seek(16383);
        EXPECT_EQ(f.readByte(), at(data, 16383));
        EXPECT_EQ(f.readByte(), at(data, 16384));
        f.seek(16383);
        EXPECT_EQ(f.readByte(), at(data, 16383));
        f.seek(data.size() + 50);
        EXPECT_TRUE(f.eof());
        EXPECT_EQ(f.readByte(), 0);
        f.seek(0);
        EXPECT_FALSE(f.eof());
        for (std::size_t i = 0; i < data.size(); ++i) {
            ASSERT_FALSE(f.eof()) << i;
            ASSERT_EQ(f.readByte(), at(data, i)) << i;
        }
        EXPECT_TRUE(f.eof());
        EXPECT_EQ(f.readByte(), 0);
        EXPECT_EQ(f.position(), static_cast<std::int64_t>(data.size()));
    }
    EXPECT_EQ(std::filesystem::last_write_time(path), before);
}

TEST(FastFile, WritesNewFilesAndChangesInPlace) {
    test::TTempDir dir;
    for (const std::size_t length : {1u, 44u}) {
        const std::string path = dir.str() + "/new" + std::to_string(length);
        TFastFile f(path, true, false);
        ASSERT_TRUE(f.opened());
        EXPECT_TRUE(f.eof());
        std::string expected;
        for (std::size_t i = 0; i < length; ++i) {
            expected += static_cast<char>('A' + i);
            f.writeByte(static_cast<std::uint8_t>(expected.back()));
        }
        EXPECT_EQ(f.size(), static_cast<std::int64_t>(length));
        f.close();
        EXPECT_EQ(slurp(path), expected);
    }
    // A changed block reaches the file before another is loaded; a header written over the
    // start keeps the rest.
    std::string data = pattern(100000);
    const std::string path = dir.write("rw", data);
    {
        TFastFile f(path, false, false);
        for (int i = 0; i < 44; ++i)
            f.writeByte('H');
        f.seek(30000);
        EXPECT_EQ(slurp(path).substr(0, 44), std::string(44, 'H'));
        EXPECT_EQ(f.readByte(), at(data, 30000));
        f.seek(43);
        EXPECT_EQ(f.readByte(), 'H');
        f.writeByte('y');
        f.seek(70000); // a block of its own, far from the start
        f.writeByte('z');
        EXPECT_EQ(f.size(), 100000);
    }
    data.replace(0, 44, std::string(44, 'H'));
    data[44] = 'y';
    data[70000] = 'z';
    EXPECT_EQ(slurp(path), data);
}

} // namespace
} // namespace zb::compiler
