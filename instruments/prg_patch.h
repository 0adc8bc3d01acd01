#pragma once

#include "instruments/config.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// One PRG patch: the text format of an instrument (one line per key range) and the per-channel
// table a loaded patch file becomes. Parsing knows nothing of song compilation: it returns the
// error code of the first failing field, and the caller records it with the file name and line.
namespace zb::instruments {

// Result codes of a patch line. 0 is success; the rest are the compiler's error codes, whose
// message texts live with the compiler.
enum TPrgError : int {
    prgOk = 0,
    prgNotFound = 17,
    prgKeyRange = 18,
    prgWavName = 20,
    prgBaseKey = 21,
    prgBaseVolume = 22,
    prgPanpot = 23,
    prgVelocitySensitivity = 24,
    prgPressureSensitivity = 25,
    prgExpressionSensitivity = 26,
    prgReleaseSensitivity = 27,
    prgPitchBendRange = 28,
    prgModulationSensitivity = 29,
    prgModulationRate = 30,
    prgAttackFactor = 31,
    prgDecayFactor = 32,
    prgSustainSlope = 33,
    prgReleaseSlope = 34,
    prgAttackLength = 35,
    prgDecayLength = 36,
    prgStartPosition = 37,
    prgEndPosition = 38,
    prgLoopStart = 39,
    prgLoopEnd = 40,
    prgWavParameters = 43,
};

// The controls a patch gives every voice it plays: how the voice answers velocity, pressure,
// expression, release velocity, pan, pitch bend and modulation, and its volume.
struct TVoiceControls {
    std::int32_t baseVolume = 0;
    std::int8_t velocitySensitivity = 0;
    std::int8_t pressureSensitivity = 0;
    std::int8_t expressionSensitivity = 0;
    std::int8_t releaseSensitivity = 0;
    std::uint8_t panpot = 0;
    std::uint8_t pitchBendRange = 0;
    std::uint8_t modulationRate = 0;
    std::uint8_t modulationSensitivity = 0;

    friend bool operator==(const TVoiceControls&, const TVoiceControls&) = default;
};

// The sound of a patch line: its sample file, the voice controls, the envelope and the part of
// the sample played. Notes whose records have equal sounds play alike, which is what lets the
// compiler merge their records.
struct TPatchSound : TVoiceControls {
    std::string wavName;
    Real attackFactor = 0;
    Real decayFactor = 0;
    Real sustainSlope = 0;
    Real releaseSlope = 0;
    std::int32_t attackLength = 0;
    std::int32_t decayLength = 0;
    std::int32_t startPosition = 0;
    std::int32_t endPosition = 0;
    std::int32_t loopStart = -1; // every negative value is stored as -1
    std::int32_t loopEnd = -1;   // every negative value is stored as -1

    friend bool operator==(const TPatchSound&, const TPatchSound&) = default;

    // Calls f(name, value) for every parameter but wavName, in the order the song dump lists
    // them.
    template <class F> void forEachParameter(F&& f) const {
        f("panpot", panpot);
        f("pitchBendRange", pitchBendRange);
        f("modulationSensitivity", modulationSensitivity);
        f("modulationRate", modulationRate);
        f("velocitySensitivity", velocitySensitivity);
        f("pressureSensitivity", pressureSensitivity);
        f("expressionSensitivity", expressionSensitivity);
        f("releaseSensitivity", releaseSensitivity);
        f("attackFactor", attackFactor);
        f("decayFactor", decayFactor);
        f("sustainSlope", sustainSlope);
        f("releaseSlope", releaseSlope);
        f("baseVolume", baseVolume);
        f("attackLength", attackLength);
        f("decayLength", decayLength);
        f("startPosition", startPosition);
        f("endPosition", endPosition);
        f("loopStart", loopStart);
        f("loopEnd", loopEnd);
    }
};

// Everything one patch line says about one sample; a line covering a key range puts one copy
// into every key of the range.
struct TPrgEntry : TPatchSound {
    std::uint8_t keyLow = 0;
    std::uint8_t keyHigh = 0;
    std::uint8_t baseKey = 0; // may exceed 127 (G#10..B10): it only feeds the pitch step
    std::int32_t sampleRate = 0;

    friend bool operator==(const TPrgEntry&, const TPrgEntry&) = default;
};

// The loaded patch of one channel slot: per key, the number of lines that cover it and their
// entries 0..entryCount-1 in file order.
struct prgEntryRec {
    std::array<std::uint8_t, kKeyCount> entryCount{};
    std::array<std::array<TPrgEntry, kMaxEntriesPerKey>, kKeyCount> entries{};

    const TPrgEntry& entry(int key, int index) const { return entries[key][index]; }
    void clear();
};

// Index 0..11 of one of the 24 note names ("C", "C#" ... "B" and their lower-case forms), else -1.
int noteIndex(std::string_view name);

// Parses one line of a patch file into the table. Empty lines and comments succeed without
// changing anything; a failing line changes nothing and returns its first failing field's code.
TPrgError parsePrgLine(prgEntryRec& table, std::string_view line);

} // namespace zb::instruments
