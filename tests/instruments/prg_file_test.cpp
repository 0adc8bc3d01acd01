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

// Checks both ways into lines, the in-memory one and the streaming one.
void expectLines(const std::string& text, const Lines& expected) {
    EXPECT_EQ(splitPrgLines(text), expected) << "in memory";
    EXPECT_EQ(readLines(text), expected) << "from a stream";
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

TEST(PrgSplit, CarriageReturnEndsALine) {
    expectLines("a\rb", {"a", "b"});
    expectLines("a\rb\rc", {"a", "b", "c"});
}

TEST(PrgSplit, LineFeedAfterCarriageReturnBelongsToTheLineEnd) {
    expectLines("a\r\nb\r\n", {"a", "b"});
    expectLines("a\r\n\r\nb", {"a", "", "b"});
}

TEST(PrgSplit, LineFeedAloneStaysInTheLine) {
    expectLines("a\nb\r", {"a\nb"});
    expectLines("a\n", {"a\n"});
    expectLines("a\r\n\nb", {"a", "\nb"});
    expectLines("\n\r\n", {"\n"});
}

TEST(PrgSplit, FinalLineEndAddsNoEmptyLine) {
    expectLines("", {});
    expectLines("a", {"a"});
    expectLines("a\r", {"a"});
    expectLines("a\r\n", {"a"});
}

TEST(PrgSplit, EachCarriageReturnEndsItsOwnLine) {
    expectLines("\r", {""});
    expectLines("a\r\r", {"a", ""});
    expectLines("\r\r\r", {"", "", ""});
}

TEST(PrgSplit, CtrlZInsideALineEndsTheFileAfterThatLine) {
    expectLines("a\rb\x1a junk\rc\r", {"a", "b"});
    expectLines("a\x1a\r", {"a"});
}

TEST(PrgSplit, CtrlZAtTheStartOfALineEndsTheFileWithoutAnotherLine) {
    expectLines("\x1a", {});
    expectLines("a\r\x1a\rb", {"a"});
    expectLines("a\r\n\x1a", {"a"});
    expectLines("a\r\x1a", {"a"});
}

TEST(PrgSplit, NulBytesStayInsideTheLine) {
    using namespace std::string_literals;
    expectLines("a\0b\r\0\r"s, {"a\0b"s, "\0"s});
}

TEST(PrgSplit, LineEndsAcrossReadPiecesAreSeenWhole) {
    // Lines of many lengths put CR LF pairs and long lines across every boundary of the
    // pieces the stream is read in.
    std::string text;
    Lines expected;
    for (int i = 0; i < 3000; ++i) {
        expected.emplace_back(static_cast<std::size_t>(i * 37 % 613),
                              static_cast<char>('a' + i % 26));
        text += expected.back() + "\r\n";
    }
    expected.emplace_back(300000, 'z');
    text += expected.back() + "\r";
    EXPECT_EQ(readLines(text), expected);
    EXPECT_EQ(splitPrgLines(text), expected);
}

TEST(PrgSplit, ReadingStopsWhenTheCallbackDeclines) {
    std::istringstream in("a\rb\rc\r");
    Lines seen;
    forEachPrgLine(in, [&](std::string_view line) {
        seen.emplace_back(line);
        return line != "b";
    });
    EXPECT_EQ(seen, (Lines{"a", "b"}));
}

TEST(PrgSplit, DeviceErrorThrowsAFailure) {
    TFailingBuffer buffer("a\rb");
    std::istream in(&buffer);
    EXPECT_THROW(forEachPrgLine(in, [](std::string_view) { return true; }), std::ios_base::failure);
}

TEST(PrgFile, LoadsEveryLineIntoAClearedTable) {
    test::TTempDir dir;
    const std::string path = dir.write("1.PRG", "# strings\r\n" + validLine("C5-D5", "a.wav") +
                                                    "\r\n" + validLine("C5", "b.wav"));
    auto table = emptyTable();
    ASSERT_EQ(parsePrgLine(*table, validLine("C0", "old.wav")), prgOk);

    const TPrgFileResult result = loadPrgFile(path, *table);
    EXPECT_EQ(result.errorCode, prgOk);
    EXPECT_EQ(result.lineNumber, 0);
    EXPECT_EQ(table->entryCount[0], 0);
    ASSERT_EQ(table->entryCount[60], 2);
    EXPECT_EQ(table->entry(60, 0).wavName, "a.wav");
    EXPECT_EQ(table->entry(60, 1).wavName, "b.wav");
    EXPECT_EQ(table->entryCount[62], 1);
    EXPECT_EQ(table->entryCount[63], 0);
}

TEST(PrgFile, ErrorNamesItsLineCountingCommentsAndEmptyLines) {
    test::TTempDir dir;
    const std::string path =
        dir.write("2.PRG", "# header\r\r   # remark\r" + validLine("C5", "a.wav") + "\r   \r" +
                               validLine("D5", "b.wav") + "\r");
    auto table = emptyTable();
    const TPrgFileResult result = loadPrgFile(path, *table);
    EXPECT_EQ(result.errorCode, prgKeyRange);
    EXPECT_EQ(result.lineNumber, 5);
    // Lines before the failing one stay loaded; nothing after it is read.
    EXPECT_EQ(table->entryCount[60], 1);
    EXPECT_EQ(table->entryCount[62], 0);
}

TEST(PrgFile, FailingFieldCodeIsReported) {
    test::TTempDir dir;
    std::string bad = validLine("C5", "a.wav");
    bad.replace(bad.find(" 64 "), 4, " 128 ");
    const std::string path = dir.write("3.PRG", validLine("C4", "x.wav") + "\r\n" + bad + "\r\n");
    auto table = emptyTable();
    const TPrgFileResult result = loadPrgFile(path, *table);
    EXPECT_EQ(result.errorCode, prgPanpot);
    EXPECT_EQ(result.lineNumber, 2);
}

TEST(PrgFile, MissingFileIsNotFoundAtLineZeroAndKeepsTheTable) {
    test::TTempDir dir;
    auto table = emptyTable();
    ASSERT_EQ(parsePrgLine(*table, validLine("C0", "old.wav")), prgOk);
    const TPrgFileResult result = loadPrgFile((dir.path() / "5.PRG").string(), *table);
    EXPECT_EQ(result.errorCode, prgNotFound);
    EXPECT_EQ(result.lineNumber, 0);
    EXPECT_EQ(table->entryCount[0], 1);
}

TEST(PrgFile, DirectoryIsNotAPatchFile) {
    test::TTempDir dir;
    auto table = emptyTable();
    const TPrgFileResult result = loadPrgFile(dir.str(), *table);
    EXPECT_EQ(result.errorCode, prgNotFound);
    EXPECT_EQ(result.lineNumber, 0);
}

TEST(PrgFile, LinesEndedByLineFeedAloneAreOneLine) {
    test::TTempDir dir;
    // The sample rate field then runs on into the next "line": "22050\nD5".
    const std::string path =
        dir.write("6.PRG", validLine("C5", "a.wav") + "\n" + validLine("D5", "b.wav") + "\n");
    auto table = emptyTable();
    const TPrgFileResult result = loadPrgFile(path, *table);
    EXPECT_EQ(result.errorCode, prgWavParameters);
    EXPECT_EQ(result.lineNumber, 1);
}

TEST(PrgFile, CtrlZEndsTheFile) {
    test::TTempDir dir;
    const std::string path =
        dir.write("7.PRG", validLine("C5", "a.wav") + "\r\n\x1a" + "garbage\r\n");
    auto table = emptyTable();
    const TPrgFileResult result = loadPrgFile(path, *table);
    EXPECT_EQ(result.errorCode, prgOk);
    EXPECT_EQ(table->entryCount[60], 1);
}

TEST(PrgFile, EmptyFileLoadsAnEmptyTable) {
    test::TTempDir dir;
    const std::string path = dir.write("8.PRG", "");
    auto table = emptyTable();
    ASSERT_EQ(parsePrgLine(*table, validLine("C0", "old.wav")), prgOk);
    const TPrgFileResult result = loadPrgFile(path, *table);
    EXPECT_EQ(result.errorCode, prgOk);
    EXPECT_EQ(table->entryCount[0], 0);
}

TEST(PrgFile, MegabyteLongLineIsReadWhole) {
    test::TTempDir dir;
    const std::string name(1 << 20, 'w');
    const std::string path = dir.write("9.PRG", "\r" + validLine("C5", name) + "\r");
    auto table = emptyTable();
    ASSERT_EQ(loadPrgFile(path, *table).errorCode, prgOk);
    ASSERT_EQ(table->entryCount[60], 1);
    EXPECT_EQ(table->entry(60, 0).wavName, name);
}

} // namespace
} // namespace zb::instruments
