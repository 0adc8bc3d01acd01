#include "compiler/compile_song.h"

#include "compiler/merge.h"
#include "compiler/midi_reader.h"
#include "compiler/timing.h"
#include "compiler/voice_builder.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <string_view>

namespace zb::compiler {

namespace {

// A cell of the drum grid as a decimal integer: optional sign and digits, nothing else.
std::optional<std::int32_t> decimalCell(std::string_view text) {
    std::int32_t value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    if (first == last)
        return std::nullopt;
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc{} || end != last)
        return std::nullopt;
    return value;
}

// What a message puts before the error's text.
enum class TPrefix { none, prgFile, prgLine };

struct TErrorText {
    std::int32_t code;
    TPrefix prefix;
    const char* text;
};

using namespace instruments;

// The message of every error code; a note without a patch entry (errNoteNotAssigned) has a
// message of its own.
constexpr std::array<TErrorText, 29> kErrorTexts{{
    {errOpenMidi, TPrefix::none, "Can not open MIDI file."},
    {errUnexpectedEnd, TPrefix::none, "Unexpected end of MIDI file."},
    {errNotStandardMidi, TPrefix::none, "Source file is not Standard MIDI Level 0 or 1."},
    {errUndefinedStatus, TPrefix::none, "Undefined status byte in MIDI file."},
    {prgNotFound, TPrefix::prgFile, "not found."},
    {prgKeyRange, TPrefix::prgLine, "Illegal key range code."},
    {prgWavName, TPrefix::prgLine, "WAV filename missing."},
    {prgBaseKey, TPrefix::prgLine, "Illegal base key code."},
    {prgBaseVolume, TPrefix::prgLine, "Illegal base volume."},
    {prgPanpot, TPrefix::prgLine, "Illegal base panpot."},
    {prgVelocitySensitivity, TPrefix::prgLine, "Illegal velocity sensitivity."},
    {prgPressureSensitivity, TPrefix::prgLine, "Illegal pressure sensitivity."},
    {prgExpressionSensitivity, TPrefix::prgLine, "Illegal expression sensitivity."},
    {prgReleaseSensitivity, TPrefix::prgLine, "Illegal release sensitivity."},
    {prgPitchBendRange, TPrefix::prgLine, "Illegal pitch bend range."},
    {prgModulationSensitivity, TPrefix::prgLine, "Illegal modulation sensitivity."},
    {prgModulationRate, TPrefix::prgLine, "Illegal modulation rate."},
    {prgAttackFactor, TPrefix::prgLine, "Illegal attack factor."},
    {prgDecayFactor, TPrefix::prgLine, "Illegal decay factor."},
    {prgSustainSlope, TPrefix::prgLine, "Illegal sustain slope."},
    {prgReleaseSlope, TPrefix::prgLine, "Illegal release slope."},
    {prgAttackLength, TPrefix::prgLine, "Illegal attack length."},
    {prgDecayLength, TPrefix::prgLine, "Illegal decay length."},
    {prgStartPosition, TPrefix::prgLine, "Illegal start position."},
    {prgEndPosition, TPrefix::prgLine, "Illegal end position."},
    {prgLoopStart, TPrefix::prgLine, "Illegal loop start position."},
    {prgLoopEnd, TPrefix::prgLine, "Illegal loop end position."},
    {errSongTooLong, TPrefix::none, "Song too long."},
    {prgWavParameters, TPrefix::prgLine, "Error reading WAV parameters."},
}};

} // namespace

std::string noteName(int key) {
    static constexpr std::array<const char*, 12> names = {"c",  "c#", "d",  "d#", "e",  "f",
                                                          "f#", "g",  "g#", "a",  "a#", "b"};
    return names[static_cast<std::size_t>(key % 12)] + std::to_string(key / 12);
}

void initCompile(TCompileState& state, const TDrumGrid& drumGrid) {
    state.errorCode = errNone;
    state.drumList.clear();
    state.samples.clear();
    state.tempoMap.clear();
    for (auto& slot : state.slotState)
        slot = TChannelSlot{};
    for (const auto& row : drumGrid) {
        const auto track = decimalCell(row.track);
        const auto channel = decimalCell(row.channel);
        if (!track || !channel)
            continue;
        state.drumList.push_back({*track, static_cast<std::int16_t>(*channel)});
    }
}

std::string errorMessage(const TCompileState& state) {
    const std::int32_t code = state.errorCode;
    if (code == errNone)
        return {};
    const auto& details = state.errorType;
    if (code == errNoteNotAssigned)
        return "Note " + noteName(details.key) + " not assigned to in MIDI Track:Channel " +
               std::to_string(state.trackNumber) + ":" + std::to_string(details.channel) + ".";
    const auto* entry = std::find_if(kErrorTexts.begin(), kErrorTexts.end(),
                                     [&](const TErrorText& e) { return e.code == code; });
    if (entry == kErrorTexts.end())
        return {};
    switch (entry->prefix) {
    case TPrefix::prgFile:
        return "PRG file " + details.prgFileName + " " + entry->text;
    case TPrefix::prgLine:
        return "PRG " + details.prgFileName + ", line #" + std::to_string(details.lineNumber) +
               ": " + entry->text;
    default:
        return entry->text;
    }
}

void reportError(const TCompileState& state, const TErrorSink& showError) {
    if (state.errorCode != errNone && showError)
        showError(state.errorCode, errorMessage(state));
}

void releaseWork(TCompileState& state) {
    state.drumList.clear();
    state.tempoMap.clear();
    for (auto& rec : state.samples) {
        rec->notes.clear();
        rec->events.clear();
        rec->events.shrink_to_fit();
    }
    for (auto& slot : state.slotState)
        slot.table.reset();
}

void releaseAll(TCompileState& state) {
    releaseWork(state);
    state.samples.clear();
}

void compileSong(const std::string& fileName, const std::string& prgDir, const TDrumGrid& drumGrid,
                 bool defaultTo0, bool legacyMode, TSampleList& samples, TSong& song,
                 std::int32_t& songLength, const TErrorSink& showError,
                 const TCompileOptions& options) {
    TCompileState state;
    state.fileName = fileName;
    state.prgDir = prgDir;
    state.options = options.clamped();
    initCompile(state, drumGrid);
    readMidiFile(state, defaultTo0);
    mergeSampleRecords(state);
    computeTiming(state);
    checkSongLength(state);
    buildSongBlocks(state, legacyMode);
    reportError(state, showError);
    if (state.errorCode != errNone) {
        releaseAll(state);
        return;
    }
    releaseWork(state);
    // The outputs change only now, so a failure or an exception leaves the caller's as they
    // were. The old song goes before the old sample records it refers to.
    song = std::move(state.song);
    samples = std::move(state.samples);
    songLength = state.songLength;
}

} // namespace zb::compiler
