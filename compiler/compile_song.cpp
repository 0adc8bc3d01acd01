#include "compiler/compile_song.h"

#include "compiler/merge.h"
#include "compiler/midi_reader.h"
#include "compiler/timing.h"
#include "compiler/voice_builder.h"

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

const char* codeText(std::int32_t code) {
    switch (code) {
    case 11:
        return "Can not open MIDI file.";
    case 12:
        return "Unexpected end of MIDI file.";
    case 13:
        return "Source file is not Standard MIDI Level 0 or 1.";
    case 14:
        return "Undefined status byte in MIDI file.";
    case 17:
        return "not found.";
    case 18:
        return "Illegal key range code.";
    case 20:
        return "WAV filename missing.";
    case 21:
        return "Illegal base key code.";
    case 22:
        return "Illegal base volume.";
    case 23:
        return "Illegal base panpot.";
    case 24:
        return "Illegal velocity sensitivity.";
    case 25:
        return "Illegal pressure sensitivity.";
    case 26:
        return "Illegal expression sensitivity.";
    case 27:
        return "Illegal release sensitivity.";
    case 28:
        return "Illegal pitch bend range.";
    case 29:
        return "Illegal modulation sensitivity.";
    case 30:
        return "Illegal modulation rate.";
    case 31:
        return "Illegal attack factor.";
    case 32:
        return "Illegal decay factor.";
    case 33:
        return "Illegal sustain slope.";
    case 34:
        return "Illegal release slope.";
    case 35:
        return "Illegal attack length.";
    case 36:
        return "Illegal decay length.";
    case 37:
        return "Illegal start position.";
    case 38:
        return "Illegal end position.";
    case 39:
        return "Illegal loop start position.";
    case 40:
        return "Illegal loop end position.";
    case 42:
        return "Song too long.";
    case 43:
        return "Error reading WAV parameters.";
    default:
        return "";
    }
}

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
    std::string prefix;
    if (code == 17)
        prefix = "PRG file " + details.prgFileName + " ";
    else if ((code >= 18 && code <= 40) || code == 43)
        prefix =
            "PRG " + details.prgFileName + ", line #" + std::to_string(details.lineNumber) + ": ";
    return prefix + codeText(code);
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
                 std::int32_t& songLength, const TErrorSink& showError) {
    TCompileState state;
    state.fileName = fileName;
    state.prgDir = prgDir;
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
