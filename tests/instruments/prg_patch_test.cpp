#include "instruments/prg_patch.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zb::instruments {
namespace {

// The 25 fields of a valid line: C5 only, piano.wav, base key C5, volume 100, panpot 64, the four
// sensitivities 0, bend range 2, nine 0 fields, end 1000, no loop, two format tokens, 22050 Hz.
constexpr std::array<std::string_view, 25> kReferenceFields = {
    "C5", "piano.wav", "C5", "100", "64", "0", "0",    "0",  "0",  "2",  "0", "0",    "0",
    "0",  "0",         "0",  "0",   "0",  "0", "1000", "-1", "-1", "16", "1", "22050"};

// The error code of each field, indexed by field number (1-based; index 0 unused).
// clang-format off
constexpr std::array<TPrgError, 26> kFieldError = {
    prgOk, prgKeyRange, prgWavName, prgBaseKey, prgBaseVolume, prgPanpot,
    prgVelocitySensitivity, prgPressureSensitivity, prgExpressionSensitivity,
    prgReleaseSensitivity, prgPitchBendRange, prgModulationSensitivity, prgModulationRate,
    prgAttackFactor, prgDecayFactor, prgSustainSlope, prgReleaseSlope, prgAttackLength,
    prgDecayLength, prgStartPosition, prgEndPosition, prgLoopStart, prgLoopEnd,
    prgWavParameters, prgWavParameters, prgWavParameters};
// clang-format on

// A patch line built from the reference fields with some of them replaced.
class TLine {
public:
    TLine() : fields_(kReferenceFields.begin(), kReferenceFields.end()) {}

    TLine& set(int field, std::string value) {
        fields_.at(static_cast<std::size_t>(field - 1)) = std::move(value);
        return *this;
    }

    // The fields 1..lastField joined by single spaces.
    std::string text(int lastField = 25) const {
        std::string line;
        for (int i = 0; i < lastField; ++i) {
            if (i > 0)
                line += ' ';
            line += fields_[static_cast<std::size_t>(i)];
        }
        return line;
    }

    // The fields first..25 joined by single spaces: the rest of a line written by hand.
    std::string from(int first) const {
        std::string line;
        for (int i = first - 1; i < 25; ++i) {
            line += fields_[static_cast<std::size_t>(i)];
            line += i < 24 ? " " : "";
        }
        return line;
    }

private:
    std::vector<std::string> fields_;
};

std::unique_ptr<prgEntryRec> emptyTable() {
    auto table = std::make_unique<prgEntryRec>();
    table->clear();
    return table;
}

// Parses a line that must succeed and returns the entry it put into its first key.
TPrgEntry parseEntry(const std::string& line) {
    auto table = emptyTable();
    const TPrgError error = parsePrgLine(*table, line);
    EXPECT_EQ(error, prgOk) << line;
    for (int key = 0; key < kKeyCount; ++key) {
        if (table->entryCount[key] > 0)
            return table->entry(key, 0);
    }
    ADD_FAILURE() << "no key filled by " << line;
    return {};
}

int filledKeyCount(const prgEntryRec& table) {
    int filled = 0;
    for (const auto count : table.entryCount)
        filled += count > 0 ? 1 : 0;
    return filled;
}

// A line given whole, or as the reference line with some fields replaced.
struct TCase {
    std::string line;
    TPrgError error;
};

TCase with(std::initializer_list<std::pair<int, std::string>> fields, TPrgError error,
           int lastField = 25) {
    TLine line;
    for (const auto& [field, value] : fields)
        line.set(field, value);
    return {line.text(lastField), error};
}

std::string afterBaseKey(const std::string& start) {
    return start + TLine().from(4);
}

TEST(NoteIndex, NaturalsAndSharpsInBothCasesAndNothingElse) {
    const std::array<std::string_view, 12> upper = {"C",  "C#", "D",  "D#", "E",  "F",
                                                    "F#", "G",  "G#", "A",  "A#", "B"};
    for (int i = 0; i < 12; ++i) {
        std::string lower(upper[static_cast<std::size_t>(i)]);
        lower[0] = static_cast<char>(lower[0] - 'A' + 'a');
        EXPECT_EQ(noteIndex(upper[static_cast<std::size_t>(i)]), i);
        EXPECT_EQ(noteIndex(lower), i);
    }
    for (const std::string_view name : {"", "Db", "H", "E#", "B#", "cb", "C#C", "C ", " C", "Cc#"})
        EXPECT_EQ(noteIndex(name), -1) << '"' << name << '"';
}

// Every line and the code it gives: the first failing field decides, in field order.
TEST(PrgLine, EachLineGivesItsCode) {
    const std::string mega(1 << 20, ' ');
    std::vector<TCase> cases = {
        // Blank and comment lines; a line of spaces has no key range.
        {"", prgOk},
        {"#", prgOk},
        {"# remark", prgOk},
        {"   # remark C5 x.wav", prgOk},
        {"#C5", prgOk},
        {" ", prgKeyRange},
        {"     ", prgKeyRange},
        {mega, prgKeyRange},
        {TLine().text() + " whatever 1 2 3", prgOk},
        {TLine().text() + " ", prgOk},
        with({{5, "200"}, {6, "200"}, {25, "0"}}, prgPanpot),
        with({{3, "H5"}, {4, "0"}}, prgBaseKey),
        with({{1, "C5-B4"}, {2, "\"\""}}, prgKeyRange),
        // Key ranges.
        with({{1, "C5-B4"}}, prgKeyRange),
        with({{1, "C5-C5"}}, prgOk),
        with({{1, "C" + std::string(40, '9')}}, prgKeyRange),
        with({{1, "C1" + std::string(10, '0')}}, prgKeyRange),
        {"   C5      piano.wav C5 " + TLine().from(4), prgOk},
        // Sample names: a quoted one may hold spaces, and the note name follows the quote.
        {"C5", prgWavName},
        {"C5 ", prgWavName},
        {"C5    ", prgWavName},
        {afterBaseKey("C5 \"\"C5 "), prgWavName},
        {afterBaseKey("C5 \"piano.wav\" C5 "), prgBaseKey},
        {afterBaseKey("C5 \"piano.wav\"C5 "), prgOk},
        {"C5 \"piano.wav C5 100 64", prgBaseKey},
        {std::string("C5 piano.wav ") + std::string(1 << 20, 'x'), prgBaseKey},
        // Field limits.
        with({{19, "10"}, {20, "9"}}, prgEndPosition),
        with({{19, "10"}, {20, "10"}}, prgOk),
        with({}, prgWavParameters, 22),
        with({}, prgWavParameters, 23),
        with({}, prgWavParameters, 24),
        {TLine().text(24) + " ", prgWavParameters},
        with({{23, "@"}, {24, "\x01"}}, prgOk),
        with({{25, "22050a"}}, prgWavParameters),
        // Integers: 32 bits, even where any value is allowed.
        with({{4, "2147483648"}}, prgBaseVolume),
        with({{4, "$80000000"}}, prgBaseVolume),
        with({{4, "$FFFFFFFF"}}, prgBaseVolume),
        with({{21, "-2147483649"}}, prgLoopStart),
        with({{21, "-" + std::string(30, '9')}}, prgLoopStart),
        with({{17, "1" + std::string(1 << 20, '0')}}, prgAttackLength),
        with({{17, "$" + std::string(1 << 20, 'F')}}, prgAttackLength),
        with({{4, std::string("1\0", 2)}}, prgBaseVolume),
        // Reals beyond the range.
        with({{13, "1e99999"}}, prgAttackFactor),
        with({{16, "-1e99999"}}, prgReleaseSlope),
        // Loops: a looping entry needs a falling release slope, checked after the loop end's
        // own checks and before the format tokens.
        with({{16, "0"}, {21, "0"}, {22, "1000"}}, prgReleaseSlope),
        with({{16, "0.5"}, {21, "0"}, {22, "1000"}}, prgReleaseSlope),
        with({{16, "0"}, {21, "0"}, {22, "1001"}}, prgLoopEnd),
        with({{16, "1"}, {21, "0"}, {22, "5"}}, prgReleaseSlope, 22),
        with({{16, "-1"}, {21, "-3"}, {22, "1001"}}, prgLoopEnd),
        with({{19, "10"}, {21, "9"}}, prgLoopStart),
        with({{19, "10"}, {21, "1001"}}, prgLoopStart),
        with({{19, "10"}, {21, "10"}}, prgOk),
        with({{19, "10"}, {21, "1000"}}, prgOk),
        with({{16, "-1"}, {21, "500"}, {22, "499"}}, prgLoopEnd),
        with({{16, "-1"}, {21, "500"}, {22, "1001"}}, prgLoopEnd),
        with({{16, "-1"}, {21, "500"}, {22, "500"}}, prgOk),
        with({{16, "-1"}, {21, "500"}, {22, "1000"}}, prgOk),
    };
    for (const char* code : {"Db4", "H4", "C11", "C", "5", "C#-5", "C-1", "C5-", "C5-Db6", "C5-C11",
                             "C5-C 6", "C5--D5", "C 5", "G#10", "B10", "C5-G#10", "G10-A10"})
        cases.push_back(with({{1, code}}, prgKeyRange));
    for (const char* code : {"Db4", "H4", "C11", "C", "x", "-C5", " C5", "C#99999999999999"})
        cases.push_back(with({{3, code}}, prgBaseKey));
    // Two spaces make the next field empty.
    for (int field = 4; field <= 25; ++field)
        cases.push_back(with(
            {{field, " " + std::string(kReferenceFields[static_cast<std::size_t>(field - 1)])}},
            kFieldError[field]));
    for (int field = 4; field <= 22; ++field)
        for (const char* junk : {"12a", "x", "1-", "\t1"})
            cases.push_back(with({{field, junk}}, kFieldError[field]));
    // Just outside each range, and on its bounds.
    const std::vector<std::pair<int, const char*>> outside = {
        {4, "0"},     {4, "-1"},     {5, "128"},    {5, "-1"},  {6, "-101"}, {6, "101"},
        {7, "-101"},  {7, "101"},    {8, "-101"},   {8, "101"}, {9, "-101"}, {9, "101"},
        {10, "128"},  {10, "-1"},    {11, "101"},   {11, "-1"}, {12, "101"}, {12, "-1"},
        {13, "-0.1"}, {14, "-1e-9"}, {17, "-1"},    {18, "-1"}, {19, "-1"},  {20, "-1"},
        {25, "0"},    {25, "-1"},    {25, "100001"}};
    for (const auto& [field, value] : outside)
        cases.push_back(with({{field, value}}, kFieldError[field]));
    const std::vector<std::pair<int, const char*>> bounds = {
        {4, "1"},    {4, "2147483647"}, {5, "0"},   {5, "127"},    {6, "-100"},
        {6, "100"},  {7, "-100"},       {7, "100"}, {8, "-100"},   {8, "100"},
        {9, "-100"}, {9, "100"},        {10, "0"},  {10, "127"},   {11, "100"},
        {12, "100"}, {13, "0"},         {14, "0"},  {15, "-1e30"}, {16, "1e30"},
        {17, "0"},   {18, "0"},         {20, "0"},  {25, "1"},     {25, "100000"}};
    for (const auto& [field, value] : bounds)
        cases.push_back(with({{field, value}}, prgOk));
    for (const char* value : {"+", "-", "$", "+$", "$-1", "0x10", "1.0", "1e3", "$G", "--1", "+-1"})
        cases.push_back(with({{4, value}}, prgBaseVolume));
    for (const char* value : {".", "-", "+", "-.", "e5", "1e", "1e+", "1.5.2", "1,5", "--1", "inf",
                              "-inf", "nan", "0x1p3", "1e5x", "$10"})
        cases.push_back(with({{15, value}}, prgSustainSlope));

    for (const auto& c : cases) {
        auto table = emptyTable();
        const TPrgError error = parsePrgLine(*table, c.line);
        EXPECT_EQ(error, c.error) << '"' << c.line.substr(0, 120) << '"';
        // Only a valid patch line fills keys: not a failing one, a blank one or a comment.
        const auto first = c.line.find_first_not_of(' ');
        const bool fills = c.error == prgOk && first != std::string::npos && c.line[first] != '#';
        EXPECT_EQ(filledKeyCount(*table) > 0, fills) << c.line.substr(0, 120);
    }
}

// Lines that parse, and the value one field of theirs reads as.
TEST(PrgLine, ValuesAsRead) {
    const std::string longName(1000, 'n');
    const std::string megaName(1 << 20, 'w');
    const std::string nulName("a\0b.wav", 7);
    const auto entry = [](std::initializer_list<std::pair<int, std::string>> fields) {
        return parseEntry(with(fields, prgOk).line);
    };
    // Forms the generated patches of the model comparison never write: long digit runs, base
    // keys above 127, sample names of any length and content, the 32-bit extremes.
    EXPECT_EQ(entry({{1, "C0000000005"}}).keyLow, 60);
    EXPECT_EQ(entry({{1, "C0-G10"}}).keyHigh, 127);
    EXPECT_EQ(entry({{3, "b10"}}).baseKey, 131);
    const TPrgEntry quoted = parseEntry(afterBaseKey("C5 \"" + longName + " x\"C5 "));
    EXPECT_EQ(quoted.wavName, longName + " x");
    EXPECT_EQ(quoted.baseKey, 60);
    EXPECT_EQ(entry({{2, megaName}}).wavName, megaName);
    EXPECT_EQ(entry({{2, nulName}}).wavName, nulName);
    EXPECT_EQ(entry({{5, std::string(1000, '0') + "64"}}).panpot, 64);
    EXPECT_EQ(entry({{4, "$7FFFFFFF"}}).baseVolume, 2147483647);
    EXPECT_EQ(entry({{6, "-$10"}}).velocitySensitivity, -16);
    EXPECT_EQ(entry({{15, "00012.50"}}).sustainSlope, 12.5L);
    EXPECT_EQ(entry({{14, "1." + std::string(1 << 20, '0') + "1"}}).decayFactor, 1.0L);
    // Loop points: a negative one is stored as -1 (and a negative loop end skips the slope
    // check); a loop end without a loop start is kept.
    EXPECT_EQ(entry({{21, "-2147483648"}}).loopStart, -1);
    EXPECT_EQ(entry({{21, "-$80000000"}}).loopStart, -1);
    EXPECT_EQ(entry({{21, "-3"}}).loopStart, -1);
    const auto loop = [&](const char* slope, const char* start, const char* end) {
        const TPrgEntry e = entry({{16, slope}, {21, start}, {22, end}});
        return std::pair(e.loopStart, e.loopEnd);
    };
    EXPECT_EQ(loop("1", "10", "-5"), std::pair(10, -1));
    EXPECT_EQ(loop("-1", "-3", "0"), std::pair(-1, 0));
    EXPECT_EQ(loop("-0.1", "0", "1000"), std::pair(0, 1000));
}

TEST(PrgTable, RangesFillTheirKeysAndAKeyHoldsAtMostSixEntriesInFileOrder) {
    auto table = emptyTable();
    ASSERT_EQ(parsePrgLine(*table, TLine().set(1, "C5-B5").text()), prgOk);
    EXPECT_EQ(filledKeyCount(*table), 12);
    for (int key = 60; key <= 71; ++key) {
        ASSERT_EQ(table->entryCount[key], 1) << key;
        EXPECT_EQ(table->entry(key, 0).keyLow, 60);
        EXPECT_EQ(table->entry(key, 0).keyHigh, 71);
    }
    table->clear();
    EXPECT_EQ(filledKeyCount(*table), 0);
    EXPECT_TRUE(table->entry(60, 0) == TPrgEntry{});

    for (int i = 1; i <= 6; ++i)
        ASSERT_EQ(parsePrgLine(*table, TLine().set(2, "w" + std::to_string(i)).text()), prgOk);
    // The seventh line is no error: key 60 keeps its six, key 61 still gets the entry.
    ASSERT_EQ(parsePrgLine(*table, TLine().set(1, "C5-C#5").set(2, "w7").text()), prgOk);
    ASSERT_EQ(table->entryCount[60], 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(table->entry(60, i).wavName, "w" + std::to_string(i + 1));
    ASSERT_EQ(table->entryCount[61], 1);
    EXPECT_EQ(table->entry(61, 0).wavName, "w7");

    // A failing line leaves the table as it was.
    const auto before = std::make_unique<prgEntryRec>(*table);
    EXPECT_EQ(parsePrgLine(*table, TLine().set(1, "C5-D5").set(25, "0").text()), prgWavParameters);
    EXPECT_EQ(table->entryCount, before->entryCount);
    EXPECT_TRUE(table->entries == before->entries);
}

} // namespace
} // namespace zb::instruments
