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
    state.trackIndexBuilt = false;
    state.trackIndex = TTrackIndex{};
    state.runningStatus = 0xFE;
    state.endOfTrack = false;
    state.byteCount = 1;
    state.expectDelta = true;
    state.currentTick = 0;
    return true;
}

void skip(TCompileState& state, std::uint32_t length) {
    if (state.failed())
        return;
    state.file->seek(state.file->position() + length);
    state.byteCount += length;
}

void readMetaEvent(TCompileState& state) {
    TFastFile& file = *state.file;
    const std::uint8_t type = file.readByte();
    if (testEof(state))
        return;
    state.byteCount += 1;
    if (type == 0x2F) {
        file.readByte(); // the length; its value does not matter
        state.byteCount += 1;
        state.endOfTrack = true;
    } else if (type == 0x51) {
        const auto t = readBytes<4>(file); // length byte, then the 24-bit tempo
        if (testEof(state))
            return;
        state.byteCount += 4;
        addTempo(state, t[1] * 65536 + t[2] * 256 + t[3]);
    } else {
        skip(state, readVarLen(state, state.byteCount));
    }
}

} // namespace

bool advanceTick(TCompileState& state, std::int32_t& tick, std::uint32_t delta) {
    const std::int64_t sum = std::int64_t{tick} + delta;
    if (sum > std::numeric_limits<std::int32_t>::max()) {
        state.setError(errSongTooLong);
        return false;
    }
    tick = static_cast<std::int32_t>(sum);
    return true;
}

std::uint32_t readVarLen(TCompileState& state, std::int64_t& counter) {
    TFastFile& file = *state.file;
    std::uint8_t b = file.readByte();
    if (testEof(state))
        return 0;
    ++counter;
    std::uint32_t value = b & 0x7Fu;
    while (b >= 0x80) {
        b = file.readByte();
        if (testEof(state))
            return 0;
        ++counter;
        value = (value << 7) | (b & 0x7Fu);
    }
    return value;
}

void addTempo(TCompileState& state, std::int32_t tempo) {
    auto& map = state.tempoMap;
    const auto at = std::upper_bound(
        map.begin(), map.end(), state.currentTick,
        [](std::int32_t tick, const tempoEntry& entry) { return tick < entry.tick; });
    map.insert(at, tempoEntry{state.currentTick, tempo});
}

void readEvent(TCompileState& state, std::uint8_t status, bool defaultTo0) {
    TFastFile& file = *state.file;
    const int slot = (status & 0x0F) + 1;
    const std::uint8_t high = status & 0xF0;
    if (high >= 0x80 && high <= 0xE0) {
        const bool twoBytes = high != 0xC0 && high != 0xD0;
        const std::uint8_t d1 = file.readByte();
        const std::uint8_t d2 = twoBytes ? file.readByte() : 0;
        if (testEof(state))
            return;
        state.byteCount += twoBytes ? 2 : 1;
        TChannelSlot& s = state.slot(slot);
        switch (high) {
        case 0x90:
            if (d2 > 0)
                startNote(state, slot, d1, d2, defaultTo0);
            break;
        case 0xB0:
            switch (d1) {
            case 1:
                s.slotModulation = d2;
                break;
            case 7:
                s.slotVolume = d2;
                break;
            case 10:
                s.slotPan = d2;
                break;
            case 11:
                s.slotExpression = d2;
                break;
            case 64:
                s.slotSustain = d2;
                break;
            default:
                break;
            }
            break;
        case 0xC0:
            programChange(state, slot, d1);
            break;
        case 0xE0:
            s.slotPitchBend = static_cast<std::int16_t>(d2 * 128 + d1 - 8192);
            break;
        default: // note-off and pressure: read ahead by startNote
            break;
        }
        return;
    }
    switch (status) {
    case 0xF0:
    case 0xF7:
        skip(state, readVarLen(state, state.byteCount));
        break;
    case 0xFE:
        break;
    case 0xFF:
        readMetaEvent(state);
        break;
    default: // 0xF1..0xF6, 0xF8..0xFD; a status below 0x80 never reaches here
        state.setError(errUndefinedStatus);
        break;
    }
}

namespace {

void readTracks(TCompileState& state, bool defaultTo0) {
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
    TFastFile& file = *state.file;
    state.trackNumber = 0;
    do {
        ++state.trackNumber;
        if (!readChunkHeader(state))
            return;
        resetSlots(state);
        while (state.byteCount < state.chunkLength && !state.endOfTrack && !state.failed()) {
            if (state.expectDelta) {
                advanceTick(state, state.currentTick, readVarLen(state, state.byteCount));
                state.expectDelta = false;
                continue;
            }
            const std::uint8_t b = file.readByte();
            if (testEof(state))
                return;
            if (b >= 0x80) {
                if (b != 0xF0 && b != 0xF7 && b != 0xFF)
                    state.runningStatus = b;
                state.byteCount += 1;
                readEvent(state, b, defaultTo0);
            } else {
                file.seek(file.position() - 1); // the data byte is read again by the event
                readEvent(state, state.runningStatus, defaultTo0);
            }
            state.expectDelta = true;
        }
    } while (state.trackNumber != state.trackCount && !state.failed());
}

} // namespace

void readMidiFile(TCompileState& state, bool defaultTo0) {
    readTracks(state, defaultTo0);
    orderNoteGroups(state.samples);
}

} // namespace zb::compiler
