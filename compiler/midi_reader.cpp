#include "compiler/midi_reader.h"

#include "compiler/note_start.h"
#include "compiler/prg_loader.h"
#include "compiler/timing.h"

#include <algorithm>
#include <array>
#include <limits>

namespace zb::compiler {

namespace {

bool testEof(TCompileState& state) {
    if (state.file->eof()) {
        state.setError(errUnexpectedEnd);
        return true;
    }
    return false;
}

template <std::size_t N> std::array<std::uint8_t, N> readBytes(TFastFile& file) {
    std::array<std::uint8_t, N> bytes{};
    for (auto& b : bytes)
        b = file.readByte();
    return bytes;
}

bool checkHeader(TCompileState& state) {
    const auto h = readBytes<14>(*state.file);
    if (testEof(state))
        return false;
    const bool magic = h[0] == 'M' && h[1] == 'T' && h[2] == 'h' && h[3] == 'd';
    const bool length6 = h[4] == 0 && h[5] == 0 && h[6] == 0 && h[7] == 6;
    const bool format = h[8] == 0 && ((h[9] == 0 && h[10] == 0 && h[11] == 1) || h[9] == 1);
    if (!magic || !length6 || !format) {
        state.setError(errNotStandardMidi);
        return false;
    }
    state.trackCount = static_cast<std::uint16_t>(h[10] * 256 + h[11]);
    state.division = static_cast<std::int16_t>(h[12] * 256 + h[13]);
    // A division that gives no tick length cannot be timed: refused before any track is read.
    if (tickDenominator(state.division) == 0) {
        state.setError(errNotStandardMidi);
        return false;
    }
    return true;
}

void resetSlots(TCompileState& state) {
    for (auto& slot : state.slotState)
        slot = TChannelSlot{};
    for (const auto& entry : state.drumList) {
        if (entry.track != state.trackNumber && entry.track != -1)
            continue;
        for (int s = 1; s <= kSlotCount; ++s)
            if (entry.channel == s || entry.channel == -1)
                state.slot(s).slotIsDrum = true;
    }
}

bool readChunkHeader(TCompileState& state) {
    const auto h = readBytes<8>(*state.file);
    if (testEof(state))
        return false;
    if (h[0] != 'M' || h[1] != 'T' || h[2] != 'r' || h[3] != 'k') {
        state.setError(errNotStandardMidi);
        return false;
    }
    const std::uint32_t length = (std::uint32_t{h[4]} << 24) | (std::uint32_t{h[5]} << 16) |
                                 (std::uint32_t{h[6]} << 8) | std::uint32_t{h[7]};
    state.chunkLength = static_cast<std::int32_t>(length);
    state.chunkStart = state.file->position();
    state.trackIndex = TTrackIndex{};
    state.track = TMidiTokenizer(*state.file, state.chunkLength, TTempoRule::fourBytes);
    state.currentTick = 0;
    return true;
}

void readEvent(TCompileState& state, const TMidiEvent& e, bool defaultTo0) {
    const int slot = (e.status & 0x0F) + 1;
    TChannelSlot& s = state.slot(slot);
    switch (e.status < 0xF0 ? e.status & 0xF0 : e.status) {
    case 0x90:
        if (e.d2 > 0)
            startNote(state, slot, e.d1, e.d2, defaultTo0);
        break;
    case 0xB0:
        if (const auto kind = controllerKind(e.d1))
            s.controller(*kind) = e.d2;
        else if (e.d1 == 64)
            s.slotSustain = e.d2;
        break;
    case 0xC0:
        programChange(state, slot, e.d1);
        break;
    case 0xE0:
        s.slotPitchBend = static_cast<std::int16_t>(e.d2 * 128 + e.d1 - 8192);
        break;
    case 0xFF:
        if (e.d1 == 0x51) // read whole by the reader's tokenizer
            addTempo(state, e.tempo);
        break;
    default: // note-off and pressure (read ahead by startNote), system exclusive, FE
        break;
    }
}

// Reads the header and every track chunk, handing each event to onEvent.
template <class TOnEvent> void readTracks(TCompileState& state, TOnEvent&& onEvent) {
    if (state.failed())
        return;
    state.file = std::make_unique<TFastFile>(state.fileName, false, true);
    if (!state.file->opened()) {
        state.file.reset();
        state.setError(errOpenMidi);
        return;
    }
    struct TCloser {
        TCompileState& state;
        ~TCloser() { state.file.reset(); }
    } closer{state};

    if (!checkHeader(state))
        return;
    state.trackNumber = 0;
    do {
        ++state.trackNumber;
        if (!readChunkHeader(state))
            return;
        resetSlots(state);
        for (bool more = true; more && !state.failed();) {
            switch (state.track.next()) {
            case TMidiTokenizer::delta:
                if (state.track.tick() > std::numeric_limits<std::int32_t>::max())
                    state.setError(errSongTooLong);
                else
                    state.currentTick = static_cast<std::int32_t>(state.track.tick());
                break;
            case TMidiTokenizer::event:
                onEvent(state.track.current());
                break;
            case TMidiTokenizer::failed:
                state.setError(state.track.errorCode());
                break;
            case TMidiTokenizer::chunkEnd:
                more = false;
                break;
            }
        }
    } while (state.trackNumber != state.trackCount && !state.failed());
}

// The data of the meta event just read, which the tokenizer skipped: at most a kilobyte of it,
// the file's position kept.
std::string metaData(TFastFile& file, std::uint32_t length) {
    const std::int64_t after = file.position();
    const std::int64_t size = std::min<std::int64_t>(length, 1024);
    std::string data;
    file.seek(after - length);
    for (std::int64_t i = 0; i < size; ++i) {
        const std::uint8_t b = file.readByte();
        if (file.eof())
            break;
        data.push_back(static_cast<char>(b));
    }
    file.seek(after);
    return data;
}

} // namespace

void addTempo(TCompileState& state, std::int32_t tempo) {
    auto& map = state.tempoMap;
    const auto at = std::upper_bound(
        map.begin(), map.end(), state.currentTick,
        [](std::int32_t tick, const tempoEntry& entry) { return tick < entry.tick; });
    map.insert(at, tempoEntry{state.currentTick, tempo});
}

void readMidiFile(TCompileState& state, bool defaultTo0) {
    readTracks(state, [&](const TMidiEvent& e) { readEvent(state, e, defaultTo0); });
    orderNoteGroups(state.samples);
}

TSongScan scanSong(const std::string& fileName, const TDrumGrid& drumGrid, bool textsAreLyrics) {
    TCompileState state;
    state.fileName = fileName;
    initCompile(state, drumGrid);
    TSongScan scan;
    readTracks(state, [&](const TMidiEvent& e) {
        const int slot = (e.status & 0x0F) + 1;
        TChannelSlot& s = state.slot(slot);
        if ((e.status & 0xF0) == 0x90 && e.status < 0xF0 && e.d2 > 0) {
            auto& use = scan.channels[static_cast<std::size_t>(slot - 1)];
            const TSongScan::TProgramUse program{s.slotProgram, s.slotIsDrum};
            if (std::find(use.programs.begin(), use.programs.end(), program) == use.programs.end())
                use.programs.push_back(program);
            use.hits.push_back({state.currentTick, e.d2});
        } else if ((e.status & 0xF0) == 0xC0 && e.status < 0xF0) {
            s.slotProgram = e.d1;
        } else if (e.status == 0xFF && e.d1 == 0x51) {
            addTempo(state, e.tempo);
        } else if (e.status == 0xFF && (e.d1 == 0x05 || (e.d1 == 0x01 && textsAreLyrics))) {
            scan.lyrics.push_back({state.currentTick, metaData(*state.file, e.length)});
        }
    });
    const auto byTick = [](const auto& a, const auto& b) { return a.tick < b.tick; };
    std::stable_sort(scan.lyrics.begin(), scan.lyrics.end(), byTick);
    for (auto& use : scan.channels)
        std::stable_sort(use.hits.begin(), use.hits.end(), byTick);
    scan.errorCode = state.errorCode;
    scan.division = state.division;
    scan.tempoMap = std::move(state.tempoMap);
    return scan;
}

} // namespace zb::compiler
