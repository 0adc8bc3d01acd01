#include "compiler/note_start.h"

#include "compiler/merge.h"
#include "compiler/midi_reader.h"
#include "compiler/prg_loader.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace zb::compiler {

namespace {

using instruments::TPrgEntry;

// The sample record an entry of the patch makes.
std::unique_ptr<TSampleRec> recordFor(const TPrgEntry& e, std::uint8_t program, bool isDrum) {
    auto rec = std::make_unique<TSampleRec>();
    rec->program = program;
    rec->isDrum = isDrum ? 1 : 0;
    rec->keyLow = e.keyLow;
    rec->keyHigh = e.keyHigh;
    rec->wavName = e.wavName;
    rec->sampleRate = e.sampleRate;
    rec->baseKey = e.baseKey;
    rec->panpot = e.panpot;
    rec->pitchBendRange = e.pitchBendRange;
    rec->modulationSensitivity = e.modulationSensitivity;
    rec->modulationRate = e.modulationRate;
    rec->velocitySensitivity = e.velocitySensitivity;
    rec->pressureSensitivity = e.pressureSensitivity;
    rec->expressionSensitivity = e.expressionSensitivity;
    rec->releaseSensitivity = e.releaseSensitivity;
    rec->attackFactor = e.attackFactor;
    rec->decayFactor = e.decayFactor;
    rec->sustainSlope = e.sustainSlope;
    rec->releaseSlope = e.releaseSlope;
    rec->baseVolume = e.baseVolume;
    rec->attackLength = e.attackLength;
    rec->decayLength = e.decayLength;
    rec->startPosition = e.startPosition;
    rec->endPosition = e.endPosition;
    rec->loopStart = e.loopStart;
    rec->loopEnd = e.loopEnd;
    return rec;
}

// The first record that plays this entry for this program, drum flag and key; the sample
// rate is not compared, so a record keeps the rate of the entry that made it.
TSampleRec& findOrAddSampleRec(TSampleList& samples, const TPrgEntry& e, std::uint8_t program,
                               bool isDrum, int key) {
    auto candidate = recordFor(e, program, isDrum);
    for (auto& rec : samples)
        if (rec->program == candidate->program && rec->isDrum == candidate->isDrum &&
            rec->keyLow <= key && key <= rec->keyHigh && rec->baseKey == candidate->baseKey &&
            sameSound(*rec, *candidate))
            return *rec;
    samples.push_back(std::move(candidate));
    return *samples.back();
}

// The note's start and the slot's controller state that differs from the defaults.
void addInitialState(const TChannelSlot& s, int key, int velocity, std::int32_t tick,
                     std::vector<noteEvent>& events) {
    const auto add = [&](TNoteKind kind, int value) {
        events.push_back(
            {tick, kind, static_cast<std::int16_t>(key), static_cast<std::int16_t>(value), 0});
    };
    add(noteStart, velocity);
    if (s.slotVolume != 64)
        add(volume, s.slotVolume);
    if (s.slotExpression != 0)
        add(expression, s.slotExpression);
    if (s.slotPan != 64)
        add(pan, s.slotPan);
    if (s.slotModulation != 0)
        add(modulation, s.slotModulation);
    if (s.slotPitchBend != 0)
        add(pitchBend, s.slotPitchBend);
}

// Reads from the note-on to the note's end and appends the note's changes and its noteEnd.
// Returns false after an error that abandons the compilation without an end event.
bool readAhead(TCompileState& state, int slot, int key, std::vector<noteEvent>& events) {
    TFastFile& file = *state.file;
    const bool pedal = state.slot(slot).slotSustain >= 64;
    std::int64_t counter = state.byteCount;
    std::int32_t tick = state.currentTick;
    std::uint8_t running = state.runningStatus;
    bool expectDelta = true;
    bool found = false;
    // Without a matching end before the chunk runs out the note ends at the last tick reached,
    // with the neutral release value an end-of-track event would give.
    int release = 64;
    const auto add = [&](TNoteKind kind, int value) {
        events.push_back(
            {tick, kind, static_cast<std::int16_t>(key), static_cast<std::int16_t>(value), 0});
    };
    const auto eofError = [&] {
        if (!file.eof())
            return false;
        state.setError(errUnexpectedEnd);
        return true;
    };
    const auto skip = [&](std::uint32_t length) {
        if (state.failed())
            return;
        file.seek(file.position() + length);
        counter += length;
    };

    while (counter < state.chunkLength && !found && !state.failed()) {
        if (expectDelta) {
            if (!advanceTick(state, tick, readVarLen(state, counter)))
                return false;
            expectDelta = false;
            continue;
        }
        std::uint8_t status = file.readByte();
        if (eofError())
            return false;
        if (status >= 0x80) {
            if (status != 0xF0 && status != 0xF7 && status != 0xFF)
                running = status;
            ++counter;
        } else {
            file.seek(file.position() - 1);
            status = running;
        }
        expectDelta = true;
        const std::uint8_t high = status & 0xF0;
        const bool sameSlot = (status & 0x0F) + 1 == slot;
        if (high >= 0x80 && high <= 0xE0) {
            const bool twoBytes = high != 0xC0 && high != 0xD0;
            const std::uint8_t d1 = file.readByte();
            const std::uint8_t d2 = twoBytes ? file.readByte() : 0;
            if (eofError())
                return false;
            counter += twoBytes ? 2 : 1;
            if (!sameSlot)
                continue;
            switch (high) {
            case 0x80:
                if (d1 == key) {
                    found = true;
                    release = pedal ? d2 / 3 : d2;
                }
                break;
            case 0x90:
                if (d1 == key) {
                    found = true;
                    release = d2 == 0 ? (pedal ? 21 : 64) : (pedal ? 42 : 127);
                }
                break;
            case 0xA0:
                if (d1 == key)
                    add(pressure, d2);
                break;
            case 0xB0:
                if (d1 == 1)
                    add(modulation, d2);
                else if (d1 == 7)
                    add(volume, d2);
                else if (d1 == 10)
                    add(pan, d2);
                else if (d1 == 11)
                    add(expression, d2);
                break;
            case 0xD0:
                add(pressure, d1);
                break;
            case 0xE0:
                add(pitchBend, d2 * 128 + d1 - 8192);
                break;
            default: // program change: nothing
                break;
            }
            continue;
        }
        switch (status) {
        case 0xF0:
        case 0xF7:
            skip(readVarLen(state, counter));
            break;
        case 0xFE:
            break;
        case 0xFF: {
            const std::uint8_t type = file.readByte();
            if (eofError())
                return false;
            ++counter;
            if (type == 0x2F) {
                found = true;
                release = 64;
            } else {
                skip(readVarLen(state, counter));
            }
            break;
        }
        default:
            state.setError(errUndefinedStatus);
            return false;
        }
    }
    add(noteEnd, release);
    return true;
}

// The look-ahead through the chunk's index: the same events, ends, errors and ticks as the
// byte-wise one, found by searches. False when the index does not cover the reader's state.
bool readAheadIndexed(TCompileState& state, int slot, int key, std::vector<noteEvent>& events,
                      bool& ok) {
    if (!state.trackIndexBuilt) {
        TFastFile& file = *state.file;
        const std::int64_t resume = file.position();
        file.seek(state.chunkStart);
        state.trackIndex.build(file, state.chunkLength);
        file.seek(resume);
        state.trackIndexBuilt = true;
    }
    const TTrackIndex& ix = state.trackIndex;
    const std::uint32_t k = ix.find(state.file->position(), state.byteCount, state.runningStatus);
    if (k == TTrackIndex::none || ix.events[k].status != 0x90 + slot - 1 || ix.events[k].d1 != key)
        return false;

    // Ticks relative to the note-on, on the reader's own tick.
    const std::int64_t base = std::int64_t{state.currentTick} - ix.events[k].tick;
    const auto tooLong = [&](std::int64_t indexTick) {
        return base + indexTick > std::numeric_limits<std::int32_t>::max();
    };
    const std::uint32_t end = ix.endOf[k];
    const bool ended =
        end != TTrackIndex::none && (ix.errorAt == TTrackIndex::none || end < ix.errorAt);
    std::uint32_t stop = 0;
    std::int64_t endTick = 0;
    if (ended) {
        stop = end;
        endTick = ix.events[end].tick;
    } else if (ix.errorAt != TTrackIndex::none) {
        state.setError(tooLong(ix.errorTick) ? errSongTooLong : ix.errorCode);
        ok = false;
        return true;
    } else {
        stop = static_cast<std::uint32_t>(ix.events.size());
        endTick = ix.finalTick;
    }
    if (tooLong(endTick)) {
        state.setError(errSongTooLong);
        ok = false;
        return true;
    }

    const auto add = [&](std::int64_t indexTick, TNoteKind kind, int value) {
        events.push_back({static_cast<std::int32_t>(base + indexTick), kind,
                          static_cast<std::int16_t>(key), static_cast<std::int16_t>(value), 0});
    };
    const auto& list = ix.channelEvents[static_cast<std::size_t>(slot - 1)];
    for (auto it = std::upper_bound(list.begin(), list.end(), k); it != list.end() && *it < stop;
         ++it) {
        const TTrackIndex::TEvent& e = ix.events[*it];
        switch (e.status & 0xF0) {
        case 0xA0:
            if (e.d1 == key)
                add(e.tick, pressure, e.d2);
            break;
        case 0xB0:
            add(e.tick,
                e.d1 == 1    ? modulation
                : e.d1 == 7  ? volume
                : e.d1 == 10 ? pan
                             : expression,
                e.d2);
            break;
        case 0xD0:
            add(e.tick, pressure, e.d1);
            break;
        default: // 0xE0
            add(e.tick, pitchBend, e.d2 * 128 + e.d1 - 8192);
            break;
        }
    }
    const bool pedal = state.slot(slot).slotSustain >= 64;
    int release = 64;
    if (ended) {
        const TTrackIndex::TEvent& e = ix.events[end];
        if ((e.status & 0xF0) == 0x80)
            release = pedal ? e.d2 / 3 : e.d2;
        else if ((e.status & 0xF0) == 0x90)
            release = e.d2 == 0 ? (pedal ? 21 : 64) : (pedal ? 42 : 127);
    }
    add(endTick, noteEnd, release);
    ok = true;
    return true;
}

} // namespace

void insertNoteGroup(std::vector<TNoteGroup>& chain, TNoteGroup group, bool afterEqualStarts) {
    const std::int16_t key = group.key();
    const std::int32_t start = group.startTime();
    const auto at = std::partition_point(chain.begin(), chain.end(), [&](const TNoteGroup& g) {
        if (g.key() != key)
            return g.key() < key;
        return afterEqualStarts ? g.startTime() <= start : g.startTime() < start;
    });
    chain.insert(at, std::move(group));
}

void startNote(TCompileState& state, int slot, std::uint8_t key, std::uint8_t velocity,
               bool defaultTo0) {
    TChannelSlot& s = state.slot(slot);
    if (!s.slotLoaded) {
        loadPrg(state, slot, s.slotProgram, s.slotIsDrum, defaultTo0);
        if (state.failed())
            return;
    }
    // A key byte of 128 or more only occurs in a broken file; no patch covers it.
    const int count = key < kKeyCount ? s.entryCount(key) : 0;
    if (count == 0) {
        state.errorType.key = key;
        state.errorType.channel = static_cast<std::uint8_t>(slot);
        state.setError(errNoteNotAssigned);
        return;
    }

    // The look-ahead depends on the slot and key only, so every entry's group is the same.
    std::optional<TNoteGroup> group;
    const auto table = s.table; // keeps the table alive whatever the entries do
    for (int e = 0; e < count; ++e) {
        const TPrgEntry& entry = table->entry(key, e);
        TSampleRec& rec =
            findOrAddSampleRec(state.samples, entry, s.slotProgram, s.slotIsDrum, key);
        if (!group) {
            const std::int64_t returnTo = state.file->position();
            group.emplace();
            addInitialState(s, key, velocity, state.currentTick, group->events);
            bool ok = true;
            if (!readAheadIndexed(state, slot, key, group->events, ok))
                ok = readAhead(state, slot, key, group->events);
            if (!ok)
                return;
            state.file->seek(returnTo);
        }
        // Appended in reading order; orderNoteGroups sorts them once the file is read.
        rec.notes.push_back(*group);
    }
}

void orderNoteGroups(TSampleList& samples) {
    // Sorting the groups once gives the order that inserting each one by key and start, before
    // the groups of equal start, would give (the newest first among equal starts), without
    // moving the later keys' groups on every insertion. The sort runs over a compact copy of the
    // keys, so that its comparisons do not chase every group's events through memory.
    struct TOrder {
        std::int16_t key;
        std::int32_t start;
        std::size_t at; // reading order
    };
    std::vector<TOrder> order;
    for (auto& rec : samples) {
        auto& notes = rec->notes;
        order.clear();
        order.reserve(notes.size());
        for (std::size_t i = 0; i < notes.size(); ++i)
            order.push_back({notes[i].key(), notes[i].startTime(), i});
        std::sort(order.begin(), order.end(), [](const TOrder& a, const TOrder& b) {
            if (a.key != b.key)
                return a.key < b.key;
            if (a.start != b.start)
                return a.start < b.start;
            return a.at > b.at;
        });
        std::vector<TNoteGroup> sorted;
        sorted.reserve(notes.size());
        for (const TOrder& o : order)
            sorted.push_back(std::move(notes[o.at]));
        notes = std::move(sorted);
    }
}

} // namespace zb::compiler
