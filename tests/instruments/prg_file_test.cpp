#include "instruments/prg_file.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <ios>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace zb::instruments {
namespace {

using Lines = std::vector<std::string>;

constexpr std::string_view kValidLine =
    "C5 piano.wav C5 100 64 0 0 0 0 2 0 0 0 0 0 0 0 0 0 1000 -1 -1 16 1 22050";

std::string validLine(std::string_view keys, std::string_view wav) {
    return std::string(keys) + " " + std::string(wav) + std::string(kValidLine.substr(12));
}

Lines readLines(const std::string& text) {
    std::istringstream in(text);
    Lines lines;
    forEachPrgLine(in, [&](std::string_view line) {
        lines.emplace_back(line);
        return true;
    });
    return lines;
}

std::unique_ptr<prgEntryRec> emptyTable() {
    auto table = std::make_unique<prgEntryRec>();
    table->clear();
    return table;
}

// A stream buffer whose device fails after handing out some text.
class TFailingBuffer final : public std::streambuf {
public:
    explicit TFailingBuffer(std::string text) : text_(std::move(text)) {
        setg(text_.data(), text_.data(), text_.data() + text_.size());
    }

protected:
    int_type underflow() override { throw std::ios_base::failure("device failed"); }

private:
    std::string text_;
};

// How a text splits into lines: CR ends a line, an LF after it belongs to the line end, an LF
// alone stays in the line, a final line end adds no empty line, Ctrl-Z ends the file (after the
// line it is in), NUL bytes are ordinary. Lines of many lengths put CR LF pairs and long lines
// across every boundary of the pieces the stream is read in.
TEST(PrgSplit, EachTextGivesItsLines) {
    using namespace std::string_literals;
    std::vector<std::pair<std::string, Lines>> cases = {
        {"a\rb\rc", {"a", "b", "c"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\nb\r", {"a\nb"}},
        {"a\r\n\nb", {"a", "\nb"}},
        {"", {}},
        {"a\r\n", {"a"}},
        {"a\r\r", {"a", ""}},
        {"a\rb\x1a junk\rc\r", {"a", "b"}},
        {"\x1a", {}},
        {"a\r\n\x1a", {"a"}},
        {"a\0b\r\0\r"s, {"a\0b"s, "\0"s}},
    };
    auto& [text, expected] = cases.emplace_back();
    for (int i = 0; i < 3000; ++i) {
        expected.emplace_back(static_cast<std::size_t>(i * 37 % 613),
                              static_cast<char>('a' + i % 26));
        text += expected.back() + "\r\n";
    }
    expected.emplace_back(300000, 'z');
    text += expected.back() + "\r";
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(readLines(text), lines) << text.substr(0, 20);
}

// Reading stops when the callback declines a line; a device error throws a failure.
TEST(PrgSplit, TheCallbackOrTheDeviceEndsTheReading) {
    std::istringstream in("a\rb\rc\r");
    Lines seen;
    forEachPrgLine(in, [&](std::string_view line) {
        seen.emplace_back(line);
        return line != "b";
    });
    EXPECT_EQ(seen, (Lines{"a", "b"}));
    TFailingBuffer buffer("a\rb");
    std::istream failing(&buffer);
    EXPECT_THROW(forEachPrgLine(failing, [](std::string_view) { return true; }),
                 std::ios_base::failure);
}

// Files and the code and line number they load with, into a cleared table: the line number
// counts comments and empty lines, lines before the failing one stay loaded and nothing after it
// is read. A file that is not there, or is a directory, keeps the table as it was.
TEST(PrgFile, EachFileGivesItsCodeAndLine) {
    std::string badPanpot = validLine("C5", "a.wav");
    badPanpot.replace(badPanpot.find(" 64 "), 4, " 128 ");
    const std::string longName(1 << 20, 'w');
    struct TCase {
        std::string text; // no file at all when "-"
        TPrgError error;
        int line;
        std::vector<int> entries;   // of keys 60 and 62 afterwards
        std::size_t nameLength = 5; // of key 60's first sample name, where it has one
    };
    const std::vector<TCase> cases = {
        {"# strings\r\n" + validLine("C5-D5", "a.wav") + "\r\n" + validLine("C5", "b.wav"),
         prgOk,
         0,
         {2, 1}},
        {"# header\r\r   # remark\r" + validLine("C5", "a.wav") + "\r   \r" +
             validLine("D5", "b.wav") + "\r",
         prgKeyRange,
         5,
         {1, 0}},
        {validLine("C4", "x.wav") + "\r\n" + badPanpot + "\r\n", prgPanpot, 2, {0, 0}},
        {"-", prgNotFound, 0, {0, 0}},
        // Lines ended by LF alone are one line: the sample rate runs on into "22050\nD5".
        {validLine("C5", "a.wav") + "\n" + validLine("D5", "b.wav") + "\n",
         prgWavParameters,
         1,
         {0, 0}},
        {validLine("C5", "a.wav") + "\r\n\x1a" + "garbage\r\n", prgOk, 0, {1, 0}},
        {"\r" + validLine("C5", longName) + "\r", prgOk, 0, {1, 0}, longName.size()},
    };
    test::TTempDir dir;
    for (const auto& c : cases) {
        auto table = emptyTable();
        ASSERT_EQ(parsePrgLine(*table, validLine("C0", "old.wav")), prgOk);
        const std::string path =
            c.text == "-" ? (dir.path() / "none.PRG").string() : dir.write("x.PRG", c.text);
        const TPrgFileResult result = loadPrgFile(path, *table);
        EXPECT_EQ(result.errorCode, c.error) << c.text.substr(0, 40);
        EXPECT_EQ(result.lineNumber, c.line) << c.text.substr(0, 40);
        EXPECT_EQ(table->entryCount[0], c.error == prgNotFound ? 1 : 0);
        EXPECT_EQ((std::vector<int>{table->entryCount[60], table->entryCount[62]}), c.entries);
        if (c.entries[0] > 0) {
            EXPECT_EQ(table->entry(60, 0).wavName.size(), c.nameLength);
        }
    }
    auto table = emptyTable();
    EXPECT_EQ(loadPrgFile(dir.str(), *table).errorCode, prgNotFound);
}

} // namespace
} // namespace zb::instruments
