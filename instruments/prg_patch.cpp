#include "instruments/prg_patch.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <limits>
#include <optional>
#include <system_error>

namespace zb::instruments {

namespace {

// What reading past the end of a line yields: no space, no digit, no quote, no mark. It is not
// '\0' because a line may hold NUL bytes of its own.
constexpr int kPastEnd = -1;

constexpr int kHighestKey = kKeyCount - 1;

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

// Walks one line. The position may reach the line's end but never passes it: every position
// beyond the end reads the same as the end itself, so clamping loses nothing.
class TLineCursor {
public:
    explicit TLineCursor(std::string_view line) : line_(line) {}

    int peek() const {
        return pos_ < line_.size() ? static_cast<unsigned char>(line_[pos_]) : kPastEnd;
    }
    void skipOne() {
        if (pos_ < line_.size())
            ++pos_;
    }
    void skipSpaces() {
        while (peek() == ' ')
            ++pos_;
    }

    // The text from the position up to (not including) the first character for which stop is
    // true, or up to the end of the line; the position moves onto that character.
    template <typename TStop> std::string_view takeUntil(TStop stop) {
        const std::size_t start = pos_;
        while (pos_ < line_.size() && !stop(static_cast<unsigned char>(line_[pos_])))
            ++pos_;
        return line_.substr(start, pos_ - start);
    }

    // A space-delimited field: its text, with the position moved past the one character that
    // ended it (a space, or nothing at the end of the line).
    std::string_view takeField() {
        const std::string_view field = takeUntil([](int c) { return c == ' '; });
        skipOne();
        return field;
    }

    // Key code: note name, then octave digits. The note name ends at the first digit, or also at
    // the first space when nameEndsAtSpace. Returns the key, which may exceed 127 (B10 is 131).
    std::optional<int> takeKeyCode(bool nameEndsAtSpace) {
        const std::string_view name =
            takeUntil([&](int c) { return isDigit(c) || (nameEndsAtSpace && c == ' '); });
        if (!isDigit(peek()))
            return std::nullopt;
        const int index = noteIndex(name);
        if (index < 0)
            return std::nullopt;
        // An octave of any length is accepted syntactically; saturating just above the largest
        // octave keeps a long run of digits from overflowing and still fails the range check.
        int octave = 0;
        while (isDigit(peek())) {
            octave = std::min(octave * 10 + (peek() - '0'), kMaxOctave + 1);
            ++pos_;
        }
        if (octave > kMaxOctave)
            return std::nullopt;
        return index + 12 * octave;
    }

private:
    std::string_view line_;
    std::size_t pos_ = 0;
};

int digitValue(char c, int base) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Integer field: optional sign, then decimal digits or "$" and hex digits. The value must fit a
// signed 32-bit integer as a whole; accumulation saturates far above that range so a long run of
// digits can neither overflow nor wrap back into range.
std::optional<std::int64_t> parseInteger(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    constexpr std::int64_t kCap = std::int64_t{1} << 40;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0)
            return std::nullopt;
        value = std::min(value * base + digit, kCap);
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return value;
}

std::size_t skipDigits(std::string_view text, std::size_t i) {
    while (i < text.size() && isDigit(static_cast<unsigned char>(text[i])))
        ++i;
    return i;
}

// Real field: [sign] digits [. digits] [(E|e) [sign] digits], with at least one digit before or
// after the point. The grammar is checked here so that from_chars' own extras (inf, nan) never
// pass; from_chars then does the locale-independent conversion.
std::optional<Real> parseReal(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t intStart = i;
    i = skipDigits(text, i);
    std::size_t mantissaDigits = i - intStart;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fracStart = ++i;
        i = skipDigits(text, i);
        mantissaDigits += i - fracStart;
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        const std::size_t expStart = i;
        i = skipDigits(text, i);
        if (i == expStart)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;

    // from_chars takes a minus sign but no plus sign.
    if (text.front() == '+')
        text.remove_prefix(1);
    Real value = 0;
    const char* const last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), last, value, std::chars_format::general);
    if (ec != std::errc{} || ptr != last)
        return std::nullopt;
    return value;
}

// Reads the next integer field into out when it parses and lies in lo..hi.
bool takeInteger(TLineCursor& cursor, std::int64_t lo, std::int64_t hi, std::int32_t& out) {
    const std::optional<std::int64_t> value = parseInteger(cursor.takeField());
    if (!value || *value < lo || *value > hi)
        return false;
    out = static_cast<std::int32_t>(*value);
    return true;
}

template <typename TNarrow>
bool takeNarrow(TLineCursor& cursor, std::int64_t lo, std::int64_t hi, TNarrow& out) {
    std::int32_t value = 0;
    if (!takeInteger(cursor, lo, hi, value))
        return false;
    out = static_cast<TNarrow>(value);
    return true;
}

bool takeReal(TLineCursor& cursor, bool nonNegative, Real& out) {
    const std::optional<Real> value = parseReal(cursor.takeField());
    if (!value || (nonNegative && *value < 0))
        return false;
    out = *value;
    return true;
}

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// Fields 4 to 25, in file order; the first failing field decides the code.
TPrgError readValues(TLineCursor& cursor, TPrgEntry& e) {
    if (!takeInteger(cursor, 1, kInt32Max, e.baseVolume))
        return prgBaseVolume;
    if (!takeNarrow(cursor, 0, 127, e.panpot))
        return prgPanpot;
    if (!takeNarrow(cursor, -100, 100, e.velocitySensitivity))
        return prgVelocitySensitivity;
    if (!takeNarrow(cursor, -100, 100, e.pressureSensitivity))
        return prgPressureSensitivity;
    if (!takeNarrow(cursor, -100, 100, e.expressionSensitivity))
        return prgExpressionSensitivity;
    if (!takeNarrow(cursor, -100, 100, e.releaseSensitivity))
        return prgReleaseSensitivity;
    if (!takeNarrow(cursor, 0, 127, e.pitchBendRange))
        return prgPitchBendRange;
    if (!takeNarrow(cursor, 0, 100, e.modulationSensitivity))
        return prgModulationSensitivity;
    if (!takeNarrow(cursor, 0, 100, e.modulationRate))
        return prgModulationRate;
    if (!takeReal(cursor, true, e.attackFactor))
        return prgAttackFactor;
    if (!takeReal(cursor, true, e.decayFactor))
        return prgDecayFactor;
    if (!takeReal(cursor, false, e.sustainSlope))
        return prgSustainSlope;
    if (!takeReal(cursor, false, e.releaseSlope))
        return prgReleaseSlope;
    if (!takeInteger(cursor, 0, kInt32Max, e.attackLength))
        return prgAttackLength;
    if (!takeInteger(cursor, 0, kInt32Max, e.decayLength))
        return prgDecayLength;
    if (!takeInteger(cursor, 0, kInt32Max, e.startPosition))
        return prgStartPosition;
    if (!takeInteger(cursor, e.startPosition, kInt32Max, e.endPosition))
        return prgEndPosition;

    // A negative loop start or end only means "none"; it is not range-checked. A loop end is
    // compared with the loop start as written, so a negative loop start never rejects it.
    if (!takeInteger(cursor, kInt32Min, kInt32Max, e.loopStart))
        return prgLoopStart;
    if (e.loopStart >= 0 && (e.loopStart < e.startPosition || e.loopStart > e.endPosition))
        return prgLoopStart;
    if (!takeInteger(cursor, kInt32Min, kInt32Max, e.loopEnd))
        return prgLoopEnd;
    if (e.loopEnd >= 0 && (e.loopEnd < e.loopStart || e.loopEnd > e.endPosition))
        return prgLoopEnd;
    e.loopStart = std::max(e.loopStart, -1);
    e.loopEnd = std::max(e.loopEnd, -1);
    // A looping sample must fade out after the note's end, or its voice would never finish.
    if (e.loopEnd >= 0 && e.releaseSlope >= 0)
        return prgReleaseSlope;

    // The two format tokens are not interpreted; only their presence is required.
    if (cursor.takeField().empty() || cursor.takeField().empty())
        return prgWavParameters;
    if (!takeInteger(cursor, 1, kMaxSampleRate, e.sampleRate))
        return prgWavParameters;
    return prgOk;
}

} // namespace

void prgEntryRec::clear() {
    entryCount.fill(0);
    for (auto& keyEntries : entries)
        keyEntries.fill(TPrgEntry{});
}

int noteIndex(std::string_view name) {
    static constexpr std::string_view kNames[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                                  "F#", "G",  "G#", "A",  "A#", "B"};
    static constexpr std::string_view kLowerNames[] = {"c",  "c#", "d",  "d#", "e",  "f",
                                                       "f#", "g",  "g#", "a",  "a#", "b"};
    for (int i = 0; i < 12; ++i) {
        if (name == kNames[i] || name == kLowerNames[i])
            return i;
    }
    return -1;
}

TPrgError parsePrgLine(prgEntryRec& table, std::string_view line) {
    if (line.empty())
        return prgOk;
    TLineCursor cursor(line);
    cursor.skipSpaces();
    if (cursor.peek() == '#')
        return prgOk;

    // Everything is read into a local entry first, so a failing line leaves the table untouched.
    TPrgEntry entry;

    // Key range: both ends must be keys of the table; higher key codes exist syntactically
    // (up to B10) but have no slot to fill.
    const std::optional<int> low = cursor.takeKeyCode(true);
    if (!low || *low > kHighestKey)
        return prgKeyRange;
    int high = *low;
    if (cursor.peek() == '-') {
        cursor.skipOne();
        const std::optional<int> key = cursor.takeKeyCode(true);
        if (!key || *key > kHighestKey || *key < *low)
            return prgKeyRange;
        high = *key;
    }
    entry.keyLow = static_cast<std::uint8_t>(*low);
    entry.keyHigh = static_cast<std::uint8_t>(high);

    // The character after the key range is a separator whatever it is; any spaces may follow.
    cursor.skipOne();
    cursor.skipSpaces();

    // WAV name, quoted (may hold spaces) or up to the next space. The base key follows the closing
    // quote directly, or the space that ended an unquoted name.
    if (cursor.peek() == '"') {
        cursor.skipOne();
        entry.wavName = cursor.takeUntil([](int c) { return c == '"'; });
        cursor.skipOne();
    } else {
        entry.wavName = cursor.takeField();
    }
    if (entry.wavName.empty())
        return prgWavName;

    // The base key's note name runs to the first digit, spaces included, so a stray space makes
    // it unknown. Key codes above 127 are fine here: the base key only sets the pitch ratio.
    const std::optional<int> baseKey = cursor.takeKeyCode(false);
    if (!baseKey)
        return prgBaseKey;
    entry.baseKey = static_cast<std::uint8_t>(*baseKey);
    cursor.skipOne();

    if (const TPrgError error = readValues(cursor, entry); error != prgOk)
        return error;

    // Up to kMaxEntriesPerKey lines may sound on one key; further lines do not displace them.
    for (int key = entry.keyLow; key <= entry.keyHigh; ++key) {
        std::uint8_t& count = table.entryCount[key];
        if (count < kMaxEntriesPerKey) {
            table.entries[key][count] = entry;
            ++count;
        }
    }
    return prgOk;
}

} // namespace zb::instruments
