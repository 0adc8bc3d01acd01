#include "compiler/note_start.h"

#include "compiler/merge.h"
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
    static_cast<instruments::TPatchSound&>(*rec) = e;
    rec->program = program;
    rec->isDrum = isDrum ? 1 : 0;
    rec->keyLow = e.keyLow;
    rec->keyHigh = e.keyHigh;
    rec->sampleRate = e.sampleRate;
    rec->baseKey = e.baseKey;
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
        events.push_back({TTicks{tick}, kind, static_cast<std::int16_t>(key),
                          static_cast<std::int16_t>(value), 0});
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

// Appends the note's changes up to its end and its noteEnd, read ahead through the chunk's
// parse from the note-on of key; the events carry soundKey, the key after transposition.
// False after an error that abandons the compilation.
bool readAhead(TCompileState& state, int slot, int key, int soundKey,
               std::vector<noteEvent>& events) {
    TTrackIndex& ix = state.trackIndex;
    TFastFile& file = *state.file;
    const std::int64_t position = file.position();
    const std::int64_t counter = state.track.counter();
    const std::uint8_t running = state.track.running();
    if (!ix.started())
        ix.start(file, state.chunkStart, state.chunkLength, 1, 0xFE);
    std::uint32_t k = ix.find(position, counter, running);
    if (k == TTrackIndex::none || ix.events[k].status != 0x90 + slot - 1 ||
        ix.events[k].d1 != key) {
        // The reader's parse has parted from this one (at a tempo event, see TTempoRule).
        TTrackIndex::TEvent noteOn;
        noteOn.status = static_cast<std::uint8_t>(0x90 + slot - 1);
        noteOn.d1 = static_cast<std::uint8_t>(key);
        noteOn.d2 = state.track.current().d2;
        noteOn.positionAfter = position;
        noteOn.counterAfter = counter;
        noteOn.runningAfter = running;
        ix.start(file, position, state.chunkLength, counter, running, &noteOn);
        k = 0;
    }
    ix.parseToEndOf(k);

    // Ticks relative to the note-on, on the reader's own tick.
    const std::int64_t base = std::int64_t{state.currentTick} - ix.events[k].tick;
    const auto tooLong = [&](std::int64_t indexTick) {
        return base + indexTick > std::numeric_limits<std::int32_t>::max();
    };
    const std::uint32_t end = ix.endOf[k];
    std::uint32_t stop = 0;
    std::int64_t endTick = 0;
    if (end != TTrackIndex::none) {
        stop = end;
        endTick = ix.events[end].tick;
    } else if (ix.errorAt != TTrackIndex::none) {
        state.setError(tooLong(ix.errorTick) ? errSongTooLong : ix.errorCode);
        return false;
    } else {
        stop = static_cast<std::uint32_t>(ix.events.size());
        endTick = ix.finalTick;
    }
    if (tooLong(endTick)) {
        state.setError(errSongTooLong);
        return false;
    }

    const auto add = [&](std::int64_t indexTick, TNoteKind kind, int value) {
        events.push_back({TTicks{static_cast<std::int32_t>(base + indexTick)}, kind,
                          static_cast<std::int16_t>(soundKey), static_cast<std::int16_t>(value),
                          0});
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
            add(e.tick, *controllerKind(e.d1), e.d2);
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
    add(endTick, noteEnd,
        releaseValue(end != TTrackIndex::none ? &ix.events[end] : nullptr, pedal));
    return true;
}

} // namespace

void startNote(TCompileState& state, int slot, std::uint8_t key, std::uint8_t velocity,
               bool defaultTo0) {
    // A muted note costs nothing: no patch is loaded for it and no voice made.
    if (!state.options.sounds(slot))
        return;
    TChannelSlot& s = state.slot(slot);
    if (!s.slotLoaded) {
        loadPrg(state, slot, s.slotProgram, s.slotIsDrum, defaultTo0);
        if (state.failed())
            return;
    }
    // Drum keys name instruments, so only melodic slots are transposed; a key moved off the
    // keyboard is left out. A key byte of 128 or more only occurs in a broken file; no patch
    // covers it.
    int soundKey = key;
    if (key < kKeyCount && !s.slotIsDrum) {
        soundKey += state.options.transpose;
        if (soundKey < 0 || soundKey >= kKeyCount)
            return;
    }
    const int count = soundKey < kKeyCount ? s.entryCount(soundKey) : 0;
    if (count == 0) {
        state.errorType.key = static_cast<std::uint8_t>(soundKey);
        state.errorType.channel = static_cast<std::uint8_t>(slot);
        state.setError(errNoteNotAssigned);
        return;
    }

    // The look-ahead depends on the slot and key only, so every entry's group is the same.
    std::optional<TNoteGroup> group;
    const auto table = s.table; // keeps the table alive whatever the entries do
    for (int e = 0; e < count; ++e) {
        const TPrgEntry& entry = table->entry(soundKey, e);
        TSampleRec& rec =
            findOrAddSampleRec(state.samples, entry, s.slotProgram, s.slotIsDrum, soundKey);
        if (!group) {
            const std::int64_t returnTo = state.file->position();
            group.emplace();
            addInitialState(s, soundKey, velocity, state.currentTick, group->events);
            if (!readAhead(state, slot, key, soundKey, group->events))
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
        TTicks start;
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
