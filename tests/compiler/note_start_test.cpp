#include "compile_fixture.h"
#include "compiler/note_start.h"

namespace zb::compiler::test {
namespace {

using zb::test::TTrackWriter;

struct Ev {
    int time, kind, key, value;
    friend bool operator==(const Ev&, const Ev&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Ev& e) {
        return os << "{" << e.time << "," << e.kind << "," << e.key << "," << e.value << "}";
    }
};

std::vector<Ev> eventsOf(const TNoteGroup& g) {
    std::vector<Ev> out;
    for (const auto& e : g.events)
        out.push_back({e.time.value, e.kind, e.key, e.value});
    return out;
}

class NoteStart : public CompileFixture {
protected:
    NoteStart() { writePrg("0.PRG", patchLine("C0-G10", "piano.wav")); }
};

TEST_F(NoteStart, ChunkEndWithoutAnyEndGivesNeutralRelease) {
    TTrackWriter t;
    t.on(0, 0, 60, 100).cc(300, 0, 7, 90);
    read(writeTracks({t, TTrackWriter{}.end()})); // no end-of-track event in the first track
    ASSERT_EQ(state.errorCode, 0);
    const auto& g = state.samples.at(0)->notes;
    EXPECT_EQ(
        eventsOf(g[0]),
        (std::vector<Ev>{{0, noteStart, 60, 100}, {300, volume, 60, 90}, {300, noteEnd, 60, 64}}));
}

TEST_F(NoteStart, KeyByteAbove127IsError15) {
    read(writeTracks({TTrackWriter{}.ev(0, {0x90, 0xC8, 0x40}).end()}));
    EXPECT_EQ(state.errorCode, 15);
    EXPECT_EQ(state.errorType.key, 200);
}

TEST_F(NoteStart, EndOfFileDuringTheLookAheadIsError12) {
    zb::test::TMidiWriter midi;
    midi.header(1, 1, 96).track(TTrackWriter{}.on(0, 0, 60, 100).cc(10, 0, 7, 90).data, 50);
    read(writeMidi(midi));
    EXPECT_EQ(state.errorCode, 12);
}

TEST_F(NoteStart, TickOverflowDuringTheLookAheadIsSongTooLong) {
    TTrackWriter t;
    t.on(0x0FFFFFFF * 7u, 0, 60, 100);
    t.ev(0x0FFFFFFF, {0xFF, 0x01, 0x00}).end(0x0FFFFFFF);
    read(writeTracks({t}));
    EXPECT_EQ(state.errorCode, 42);
}

} // namespace
} // namespace zb::compiler::test

namespace zb::compiler::test {
namespace {

using zb::test::TTrackWriter;

class NoteLookAhead : public CompileFixture {
protected:
    NoteLookAhead() { writePrg("0.PRG", patchLine("C0-G10", "piano.wav")); }
};

// A tempo event whose length byte is not 3 is read as four bytes by the reader but skipped by
// its length by a note's look-ahead, so the two parses part there; notes after it must still
// end where the byte-wise look-ahead ends them.
TEST_F(NoteLookAhead, MalformedTempoEventAfterAndBeforeTheNote) {
    TTrackWriter t;
    t.on(0, 0, 60, 100);
    t.ev(10, {0xFF, 0x51, 0x01, 0x07, 0xA1, 0x20}); // length 1: the look-ahead skips one byte
    t.ev(10, {0x3C, 0x00});                         // ...so these bytes parse differently
    t.off(10, 0, 60).on(10, 0, 62, 90).off(20, 0, 62).end();
    read(writeTracks({t}));
    EXPECT_EQ(state.errorCode, 0);
    ASSERT_FALSE(state.samples.empty());
    std::vector<std::pair<int, int>> ends;
    for (const auto& g : state.samples[0]->notes)
        ends.emplace_back(g.key(), g.events.back().time.value);
    EXPECT_EQ(ends.size(), 2u);
}

TEST_F(NoteLookAhead, UnendedNotesOfEveryKeyRunToTheEndOfALongTrack) {
    // 2,048 notes that nothing ends, then 100,000 other events: each note's look-ahead covers
    // the whole track. Read byte by byte for every note that is quadratic (some 800 million
    // byte reads here); a hang would fail the suite's timeout long before any check below.
    TTrackWriter t;
    for (int channel = 0; channel < 16; ++channel)
        for (int key = 0; key < 128; ++key)
            t.on(0, channel, key, 100);
    for (int i = 0; i < 100000; ++i)
        t.ev(1, {0xFF, 0x01, 0x00});
    t.end();
    grid.clear();
    read(writeTracks({t}));
    ASSERT_EQ(state.errorCode, 0);
    std::size_t notes = 0;
    for (const auto& rec : state.samples)
        for (const auto& g : rec->notes) {
            ++notes;
            EXPECT_EQ(g.events.back().time.value, 100000);
            EXPECT_EQ(g.events.back().value, 64);
        }
    EXPECT_EQ(notes, 2048u);
}

} // namespace
} // namespace zb::compiler::test
