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
constexpr std::array<TPrgError, 26> kFieldError = {prgOk,
                                                   prgKeyRange,
                                                   prgWavName,
                                                   prgBaseKey,
                                                   prgBaseVolume,
                                                   prgPanpot,
                                                   prgVelocitySensitivity,
                                                   prgPressureSensitivity,
                                                   prgExpressionSensitivity,
                                                   prgReleaseSensitivity,
                                                   prgPitchBendRange,
                                                   prgModulationSensitivity,
                                                   prgModulationRate,
                                                   prgAttackFactor,
                                                   prgDecayFactor,
                                                   prgSustainSlope,
                                                   prgReleaseSlope,
                                                   prgAttackLength,
                                                   prgDecayLength,
                                                   prgStartPosition,
                                                   prgEndPosition,
                                                   prgLoopStart,
                                                   prgLoopEnd,
                                                   prgWavParameters,
                                                   prgWavParameters,
                                                   prgWavParameters};

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

TPrgError parse(std::string_view line) {
    auto table = emptyTable();
    return parsePrgLine(*table, line);
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

TEST(NoteIndex, MapsEveryNaturalAndSharpInBothCases) {
    const std::array<std::string_view, 12> upper = {"C",  "C#", "D",  "D#", "E",  "F",
                                                    "F#", "G",  "G#", "A",  "A#", "B"};
    const std::array<std::string_view, 12> lower = {"c",  "c#", "d",  "d#", "e",  "f",
                                                    "f#", "g",  "g#", "a",  "a#", "b"};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(noteIndex(upper[static_cast<std::size_t>(i)]), i);
        EXPECT_EQ(noteIndex(lower[static_cast<std::size_t>(i)]), i);
    }
}

TEST(NoteIndex, RejectsFlatsOtherLettersAndMixedForms) {
    for (const std::string_view name : {"", "Db", "H", "E#", "B#", "cb", "C#C", "C ", " C", "Cc#"})
        EXPECT_EQ(noteIndex(name), -1) << '"' << name << '"';
}

TEST(PrgLine, EmptyLinesAndCommentsChangeNothing) {
    auto table = emptyTable();
    for (const std::string_view line : {"", "#", "# remark", "   # remark C5 x.wav", "#C5"})
        EXPECT_EQ(parsePrgLine(*table, line), prgOk) << '"' << line << '"';
    EXPECT_EQ(filledKeyCount(*table), 0);
}

TEST(PrgLine, LineOfSpacesOnlyIsAKeyRangeError) {
    EXPECT_EQ(parse(" "), prgKeyRange);
    EXPECT_EQ(parse("     "), prgKeyRange);
    EXPECT_EQ(parse(std::string(1 << 20, ' ')), prgKeyRange);
}

TEST(PrgLine, ReferenceLineFillsKey60OnlyWithEveryValue) {
    auto table = emptyTable();
    ASSERT_EQ(parsePrgLine(*table, TLine().text()), prgOk);
    EXPECT_EQ(filledKeyCount(*table), 1);
    ASSERT_EQ(table->entryCount[60], 1);
    const TPrgEntry& e = table->entry(60, 0);
    EXPECT_EQ(e.wavName, "piano.wav");
    EXPECT_EQ(e.keyLow, 60);
    EXPECT_EQ(e.keyHigh, 60);
    EXPECT_EQ(e.baseKey, 60);
    EXPECT_EQ(e.baseVolume, 100);
    EXPECT_EQ(e.panpot, 64);
    EXPECT_EQ(e.pitchBendRange, 2);
    EXPECT_EQ(e.endPosition, 1000);
    EXPECT_EQ(e.loopStart, -1);
    EXPECT_EQ(e.loopEnd, -1);
    EXPECT_EQ(e.sampleRate, 22050);
}

TEST(PrgLine, EveryFieldLandsInItsOwnMember) {
    const TPrgEntry e = parseEntry("C5-D5 a.wav D4 7 11 -12 13 -14 15 16 17 18 1.5 0.25 -2 -3 19 "
                                   "20 21 900 22 800 16 1 44100");
    EXPECT_EQ(e.wavName, "a.wav");
    EXPECT_EQ(e.keyLow, 60);
    EXPECT_EQ(e.keyHigh, 62);
    EXPECT_EQ(e.baseKey, 50);
    EXPECT_EQ(e.baseVolume, 7);
    EXPECT_EQ(e.panpot, 11);
    EXPECT_EQ(e.velocitySensitivity, -12);
    EXPECT_EQ(e.pressureSensitivity, 13);
    EXPECT_EQ(e.expressionSensitivity, -14);
    EXPECT_EQ(e.releaseSensitivity, 15);
    EXPECT_EQ(e.pitchBendRange, 16);
    EXPECT_EQ(e.modulationSensitivity, 17);
    EXPECT_EQ(e.modulationRate, 18);
    EXPECT_EQ(e.attackFactor, 1.5L);
    EXPECT_EQ(e.decayFactor, 0.25L);
    EXPECT_EQ(e.sustainSlope, -2.0L);
    EXPECT_EQ(e.releaseSlope, -3.0L);
    EXPECT_EQ(e.attackLength, 19);
    EXPECT_EQ(e.decayLength, 20);
    EXPECT_EQ(e.startPosition, 21);
    EXPECT_EQ(e.endPosition, 900);
    EXPECT_EQ(e.loopStart, 22);
    EXPECT_EQ(e.loopEnd, 800);
    EXPECT_EQ(e.sampleRate, 44100);
}

TEST(PrgLine, TextAfterTheSampleRateIsIgnored) {
    EXPECT_EQ(parse(TLine().text() + " whatever 1 2 3"), prgOk);
    EXPECT_EQ(parse(TLine().text() + " "), prgOk);
}

TEST(PrgLine, FailingLineLeavesTheTableAsItWas) {
    auto table = emptyTable();
    ASSERT_EQ(parsePrgLine(*table, TLine().set(1, "C5-D5").text()), prgOk);
    const auto before = std::make_unique<prgEntryRec>(*table);
    EXPECT_EQ(parsePrgLine(*table, TLine().set(1, "C5-D5").set(25, "0").text()), prgWavParameters);
    EXPECT_EQ(table->entryCount, before->entryCount);
    EXPECT_TRUE(table->entries == before->entries);
}

TEST(PrgLine, FirstFailingFieldDecidesTheCode) {
    EXPECT_EQ(parse(TLine().set(5, "200").set(6, "200").set(25, "0").text()), prgPanpot);
    EXPECT_EQ(parse(TLine().set(3, "H5").set(4, "0").text()), prgBaseKey);
    EXPECT_EQ(parse(TLine().set(1, "C5-B4").set(2, "\"\"").text()), prgKeyRange);
}

TEST(PrgKeyRange, RangeFillsEveryKeyAndEachCopyCarriesItsBounds) {
    auto table = emptyTable();
    ASSERT_EQ(parsePrgLine(*table, TLine().set(1, "C5-B5").text()), prgOk);
    EXPECT_EQ(filledKeyCount(*table), 12);
    for (int key = 60; key <= 71; ++key) {
        ASSERT_EQ(table->entryCount[key], 1) << key;
        EXPECT_EQ(table->entry(key, 0).keyLow, 60);
        EXPECT_EQ(table->entry(key, 0).keyHigh, 71);
        EXPECT_EQ(table->entry(key, 0).wavName, "piano.wav");
    }
}

TEST(PrgKeyRange, LowerAndUpperCaseNamesGiveTheSameKey) {
    EXPECT_EQ(parseEntry(TLine().set(1, "c#4").text()).keyLow, 49);
    EXPECT_EQ(parseEntry(TLine().set(1, "C#4").text()).keyLow, 49);
    const TPrgEntry e = parseEntry(TLine().set(1, "c#4-C#4").text());
    EXPECT_EQ(e.keyLow, 49);
    EXPECT_EQ(e.keyHigh, 49);
}

TEST(PrgKeyRange, ExtremeKeysAreC0AndG10) {
    const TPrgEntry e = parseEntry(TLine().set(1, "C0-G10").text());
    EXPECT_EQ(e.keyLow, 0);
    EXPECT_EQ(e.keyHigh, 127);
}

TEST(PrgKeyRange, UnknownNamesAndOctavesAboveTenAreRejected) {
    for (const char* code : {"Db4", "H4", "C11", "C", "5", "C#-5", "C-1", "C5-", "C5-Db6", "C5-C11",
                             "C5-C 6", "C5--D5", "C 5"})
        EXPECT_EQ(parse(TLine().set(1, code).text()), prgKeyRange) << code;
}

TEST(PrgKeyRange, HighKeyBelowLowKeyIsRejected) {
    EXPECT_EQ(parse(TLine().set(1, "C5-B4").text()), prgKeyRange);
    EXPECT_EQ(parse(TLine().set(1, "C5-C5").text()), prgOk);
}

TEST(PrgKeyRange, KeysAbove127AreRejectedAtEitherEnd) {
    for (const char* code : {"G#10", "B10", "C5-G#10", "G10-A10"})
        EXPECT_EQ(parse(TLine().set(1, code).text()), prgKeyRange) << code;
}

TEST(PrgKeyRange, LongOctaveDigitRunsAreReadByValue) {
    EXPECT_EQ(parseEntry(TLine().set(1, "C0000000005").text()).keyLow, 60);
    EXPECT_EQ(parse(TLine().set(1, "C" + std::string(40, '9')).text()), prgKeyRange);
    EXPECT_EQ(parse(TLine().set(1, "C1" + std::string(10, '0')).text()), prgKeyRange);
}

TEST(PrgKeyRange, AnyNumberOfSpacesMayPrecedeTheName) {
    EXPECT_EQ(parse("   C5      piano.wav C5 " + TLine().from(4)), prgOk);
}

TEST(PrgWavName, QuotedNameMayHoldSpaces) {
    const TPrgEntry e = parseEntry("C5 \"grand piano.wav\"C5 " + TLine().from(4));
    EXPECT_EQ(e.wavName, "grand piano.wav");
    EXPECT_EQ(e.baseKey, 60);
}

TEST(PrgWavName, EmptyNameIsRejected) {
    EXPECT_EQ(parse("C5"), prgWavName);
    EXPECT_EQ(parse("C5 "), prgWavName);
    EXPECT_EQ(parse("C5    "), prgWavName);
    EXPECT_EQ(parse("C5 \"\"C5 " + TLine().from(4)), prgWavName);
}

TEST(PrgWavName, NameLongerThan255CharactersIsKeptWhole) {
    const std::string name(1000, 'n');
    EXPECT_EQ(parseEntry("C5 \"" + name + " x\"C5 " + TLine().from(4)).wavName, name + " x");
}

TEST(PrgWavName, MegabyteLongNameIsParsed) {
    const std::string name(1 << 20, 'w');
    EXPECT_EQ(parseEntry(TLine().set(2, name).text()).wavName, name);
}

TEST(PrgBaseKey, SpaceAfterClosingQuoteBelongsToTheNoteName) {
    EXPECT_EQ(parse("C5 \"piano.wav\" C5 " + TLine().from(4)), prgBaseKey);
    EXPECT_EQ(parse("C5 \"piano.wav\"C5 " + TLine().from(4)), prgOk);
}

TEST(PrgBaseKey, UnclosedQuoteLeavesNoBaseKey) {
    EXPECT_EQ(parse("C5 \"piano.wav C5 100 64"), prgBaseKey);
}

TEST(PrgBaseKey, UnknownNamesAndOctavesAboveTenAreRejected) {
    for (const char* code : {"Db4", "H4", "C11", "C", "x", "-C5", " C5", "C#99999999999999"})
        EXPECT_EQ(parse(TLine().set(3, code).text()), prgBaseKey) << code;
    EXPECT_EQ(parse(std::string("C5 piano.wav ") + std::string(1 << 20, 'x')), prgBaseKey);
}

TEST(PrgBaseKey, KeysAbove127AreAccepted) {
    EXPECT_EQ(parseEntry(TLine().set(3, "G#10").text()).baseKey, 128);
    EXPECT_EQ(parseEntry(TLine().set(3, "b10").text()).baseKey, 131);
    EXPECT_EQ(parseEntry(TLine().set(3, "C0").text()).baseKey, 0);
}

TEST(PrgFields, TwoSpacesMakeTheNextFieldEmpty) {
    for (int field = 4; field <= 25; ++field) {
        const std::string value(kReferenceFields[static_cast<std::size_t>(field - 1)]);
        EXPECT_EQ(parse(TLine().set(field, " " + value).text()), kFieldError[field])
            << "field " << field;
    }
}

TEST(PrgFields, NonNumbersGiveTheFieldsError) {
    for (int field = 4; field <= 22; ++field) {
        for (const char* junk : {"12a", "x", "1-", "\t1"})
            EXPECT_EQ(parse(TLine().set(field, junk).text()), kFieldError[field])
                << "field " << field << " " << junk;
    }
    EXPECT_EQ(parse(TLine().set(25, "22050a").text()), prgWavParameters);
}

TEST(PrgFields, ValuesJustOutsideTheRangeAreRejected) {
    const std::vector<std::pair<int, const char*>> cases = {
        {4, "0"},     {4, "-1"},     {5, "128"},    {5, "-1"},  {6, "-101"}, {6, "101"},
        {7, "-101"},  {7, "101"},    {8, "-101"},   {8, "101"}, {9, "-101"}, {9, "101"},
        {10, "128"},  {10, "-1"},    {11, "101"},   {11, "-1"}, {12, "101"}, {12, "-1"},
        {13, "-0.1"}, {14, "-1e-9"}, {17, "-1"},    {18, "-1"}, {19, "-1"},  {20, "-1"},
        {25, "0"},    {25, "-1"},    {25, "100001"}};
    for (const auto& [field, value] : cases)
        EXPECT_EQ(parse(TLine().set(field, value).text()), kFieldError[field])
            << "field " << field << " = " << value;
}

TEST(PrgFields, BoundaryValuesAreAccepted) {
    const std::vector<std::pair<int, const char*>> cases = {
        {4, "1"},    {4, "2147483647"}, {5, "0"},   {5, "127"},    {6, "-100"},
        {6, "100"},  {7, "-100"},       {7, "100"}, {8, "-100"},   {8, "100"},
        {9, "-100"}, {9, "100"},        {10, "0"},  {10, "127"},   {11, "100"},
        {12, "100"}, {13, "0"},         {14, "0"},  {15, "-1e30"}, {16, "1e30"},
        {17, "0"},   {18, "0"},         {20, "0"},  {25, "1"},     {25, "100000"}};
    for (const auto& [field, value] : cases)
        EXPECT_EQ(parse(TLine().set(field, value).text()), prgOk)
            << "field " << field << " = " << value;
}

TEST(PrgFields, EndPositionMayNotLieBeforeTheStart) {
    EXPECT_EQ(parse(TLine().set(19, "10").set(20, "9").text()), prgEndPosition);
    EXPECT_EQ(parse(TLine().set(19, "10").set(20, "10").text()), prgOk);
}

TEST(PrgFields, FormatTokensMustBePresent) {
    EXPECT_EQ(parse(TLine().text(22)), prgWavParameters);
    EXPECT_EQ(parse(TLine().text(23)), prgWavParameters);
    EXPECT_EQ(parse(TLine().text(24)), prgWavParameters);
    EXPECT_EQ(parse(TLine().text(24) + " "), prgWavParameters);
    EXPECT_EQ(parse(TLine().set(23, "@").set(24, "\x01").text()), prgOk);
}

TEST(PrgIntegers, SignsAndDollarHexAreRead) {
    EXPECT_EQ(parseEntry(TLine().set(4, "$1F").text()).baseVolume, 31);
    EXPECT_EQ(parseEntry(TLine().set(4, "$1f").text()).baseVolume, 31);
    EXPECT_EQ(parseEntry(TLine().set(4, "+5").text()).baseVolume, 5);
    EXPECT_EQ(parseEntry(TLine().set(6, "-$10").text()).velocitySensitivity, -16);
    EXPECT_EQ(parseEntry(TLine().set(5, "+$7F").text()).panpot, 127);
    EXPECT_EQ(parseEntry(TLine().set(5, std::string(1000, '0') + "64").text()).panpot, 64);
}

TEST(PrgIntegers, IncompleteOrMalformedNumbersAreRejected) {
    for (const char* value : {"+", "-", "$", "+$", "$-1", "0x10", "1.0", "1e3", "$G", "--1", "+-1"})
        EXPECT_EQ(parse(TLine().set(4, value).text()), prgBaseVolume) << value;
}

TEST(PrgIntegers, ValueMustFitSigned32BitsEvenWhereAnyValueIsAllowed) {
    EXPECT_EQ(parse(TLine().set(4, "2147483648").text()), prgBaseVolume);
    EXPECT_EQ(parse(TLine().set(4, "$80000000").text()), prgBaseVolume);
    EXPECT_EQ(parse(TLine().set(4, "$FFFFFFFF").text()), prgBaseVolume);
    EXPECT_EQ(parseEntry(TLine().set(4, "$7FFFFFFF").text()).baseVolume, 2147483647);
    // The loop start accepts every negative value, but only within 32 bits.
    EXPECT_EQ(parseEntry(TLine().set(21, "-2147483648").text()).loopStart, -1);
    EXPECT_EQ(parseEntry(TLine().set(21, "-$80000000").text()).loopStart, -1);
    EXPECT_EQ(parse(TLine().set(21, "-2147483649").text()), prgLoopStart);
    EXPECT_EQ(parse(TLine().set(21, "-" + std::string(30, '9')).text()), prgLoopStart);
}

TEST(PrgIntegers, MegabyteOfDigitsIsRejectedWithoutOverflow) {
    EXPECT_EQ(parse(TLine().set(17, "1" + std::string(1 << 20, '0')).text()), prgAttackLength);
    EXPECT_EQ(parse(TLine().set(17, "$" + std::string(1 << 20, 'F')).text()), prgAttackLength);
}

TEST(PrgReals, DecimalFormsWithSignPointAndExponentAreRead) {
    const std::vector<std::pair<const char*, Real>> cases = {
        {"1.5e-3", 1.5e-3L}, {"-.5", -0.5L}, {".25", 0.25L},  {"5.", 5.0L},  {"+2.5E+2", 250.0L},
        {"7", 7.0L},         {"-0", 0.0L},   {"1e2", 100.0L}, {"0.1", 0.1L}, {"00012.50", 12.5L}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(parseEntry(TLine().set(15, text).text()).sustainSlope, value) << text;
}

TEST(PrgReals, AnythingButADecimalNumberIsRejected) {
    for (const char* value : {".", "-", "+", "-.", "e5", "1e", "1e+", "1.5.2", "1,5", "--1", "inf",
                              "-inf", "nan", "0x1p3", "1e5x", "$10"})
        EXPECT_EQ(parse(TLine().set(15, value).text()), prgSustainSlope) << value;
}

TEST(PrgReals, ValuesBeyondTheRealRangeAreRejected) {
    EXPECT_EQ(parse(TLine().set(13, "1e99999").text()), prgAttackFactor);
    EXPECT_EQ(parse(TLine().set(16, "-1e99999").text()), prgReleaseSlope);
}

TEST(PrgReals, LongMantissaIsReadWhole) {
    const std::string value = "1." + std::string(1 << 20, '0') + "1";
    EXPECT_EQ(parseEntry(TLine().set(14, value).text()).decayFactor, 1.0L);
}

TEST(PrgLoop, LoopingEntryNeedsAFallingReleaseSlope) {
    const auto looped = [](const char* slope) {
        return TLine().set(16, slope).set(21, "0").set(22, "1000").text();
    };
    EXPECT_EQ(parse(looped("0")), prgReleaseSlope);
    EXPECT_EQ(parse(looped("0.5")), prgReleaseSlope);
    // The loop end's own checks come first.
    EXPECT_EQ(parse(TLine().set(16, "0").set(21, "0").set(22, "1001").text()), prgLoopEnd);
    const TPrgEntry e = parseEntry(looped("-0.1"));
    EXPECT_EQ(e.loopStart, 0);
    EXPECT_EQ(e.loopEnd, 1000);
}

TEST(PrgLoop, SlopeIsCheckedBeforeTheFormatTokens) {
    EXPECT_EQ(parse(TLine().set(16, "1").set(21, "0").set(22, "5").text(22)), prgReleaseSlope);
}

TEST(PrgLoop, NegativeLoopEndIsStoredAsMinusOneAndSkipsTheSlopeCheck) {
    const TPrgEntry e = parseEntry(TLine().set(16, "1").set(21, "10").set(22, "-5").text());
    EXPECT_EQ(e.loopStart, 10);
    EXPECT_EQ(e.loopEnd, -1);
}

TEST(PrgLoop, NegativeLoopStartIsStoredAsMinusOne) {
    EXPECT_EQ(parseEntry(TLine().set(21, "-3").text()).loopStart, -1);
}

TEST(PrgLoop, LoopEndWithoutLoopStartIsStillBoundedByTheEnd) {
    EXPECT_EQ(parse(TLine().set(16, "-1").set(21, "-3").set(22, "1001").text()), prgLoopEnd);
    const TPrgEntry e = parseEntry(TLine().set(16, "-1").set(21, "-3").set(22, "0").text());
    EXPECT_EQ(e.loopStart, -1);
    EXPECT_EQ(e.loopEnd, 0);
}

TEST(PrgLoop, LoopStartMustLieBetweenStartAndEnd) {
    const auto withLoopStart = [](const char* loopStart) {
        return TLine().set(19, "10").set(21, loopStart).text();
    };
    EXPECT_EQ(parse(withLoopStart("9")), prgLoopStart);
    EXPECT_EQ(parse(withLoopStart("1001")), prgLoopStart);
    EXPECT_EQ(parse(withLoopStart("10")), prgOk);
    EXPECT_EQ(parse(withLoopStart("1000")), prgOk);
}

TEST(PrgLoop, LoopEndMustLieBetweenLoopStartAndEnd) {
    const auto withLoopEnd = [](const char* loopEnd) {
        return TLine().set(16, "-1").set(21, "500").set(22, loopEnd).text();
    };
    EXPECT_EQ(parse(withLoopEnd("499")), prgLoopEnd);
    EXPECT_EQ(parse(withLoopEnd("1001")), prgLoopEnd);
    EXPECT_EQ(parse(withLoopEnd("500")), prgOk);
    EXPECT_EQ(parse(withLoopEnd("1000")), prgOk);
}

TEST(PrgTable, KeyHoldsAtMostSixEntriesInFileOrder) {
    auto table = emptyTable();
    for (int i = 1; i <= 6; ++i)
        ASSERT_EQ(parsePrgLine(*table, TLine().set(2, "w" + std::to_string(i)).text()), prgOk);
    // The seventh line is no error: key 60 keeps its six, key 61 still gets the entry.
    ASSERT_EQ(parsePrgLine(*table, TLine().set(1, "C5-C#5").set(2, "w7").text()), prgOk);
    ASSERT_EQ(table->entryCount[60], 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(table->entry(60, i).wavName, "w" + std::to_string(i + 1));
    ASSERT_EQ(table->entryCount[61], 1);
    EXPECT_EQ(table->entry(61, 0).wavName, "w7");
}

TEST(PrgTable, ClearEmptiesEveryKey) {
    auto table = emptyTable();
    ASSERT_EQ(parsePrgLine(*table, TLine().set(1, "C0-G10").text()), prgOk);
    table->clear();
    EXPECT_EQ(filledKeyCount(*table), 0);
    EXPECT_TRUE(table->entry(0, 0) == TPrgEntry{});
}

TEST(PrgTable, NulBytesInsideTheLineAreOrdinaryCharacters) {
    const std::string name("a\0b.wav", 7);
    EXPECT_EQ(parseEntry(TLine().set(2, name).text()).wavName, name);
    EXPECT_EQ(parse(TLine().set(4, std::string("1\0", 2)).text()), prgBaseVolume);
}

} // namespace
} // namespace zb::instruments
