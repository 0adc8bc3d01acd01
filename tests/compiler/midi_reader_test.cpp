// The limits of reading a song that the generated songs rarely reach: 32-bit tick and time
// sums, skips past the end of the file, the look-ahead's own parse and its cost.
#include "compile_fixture.h"
#include "compiler/merge.h"
#include "compiler/timing.h"

namespace zb::compiler::test {
namespace {

using zb::test::TTrackWriter;

class MidiReader : public CompileFixture {
protected:
    MidiReader() { writePrg("0.PRG", patchLine("C0-G10", "piano.wav")); }
};

TEST_F(MidiReader, EachBrokenTrackGivesItsCode) {
    const std::uint32_t big = 0x0FFFFFFF;
    TTrackWriter tickSum; // the reader's tick sum past the signed range
    tickSum.on(big, 0, 60, 100);
    for (int i = 0; i < 9; ++i)
        tickSum.ev(big, {0xFF, 0x01, 0x00});
    TTrackWriter lookAheadSum; // the same in a note's look-ahead
    lookAheadSum.on(big * 7u, 0, 60, 100).ev(big, {0xFF, 0x01, 0x00}).end(big);
    const struct {
        std::vector<TTrackWriter> tracks;
        int code;
        int key = -1; // the key the error names, where it names one
    } cases[] = {
        {{tickSum.end()}, 42},
        {{lookAheadSum}, 42},
        // A skip that ends the chunk far past the end of the file: the next header is not there.
        {{TTrackWriter{}.ev(0, {0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}).end(),
          TTrackWriter{}.end()},
         12},
        {{TTrackWriter{}.ev(0, {0x90, 0xC8, 0x40}).end()}, 15, 200},
    };
    for (const auto& c : cases) {
        read(writeTracks(c.tracks));
        EXPECT_EQ(state.errorCode, c.code);
        if (c.key >= 0) {
            EXPECT_EQ(state.errorType.key, c.key);
        }
    }
    read(dir.str() + "/none.mid");
    EXPECT_EQ(errorMessage(state), "Can not open MIDI file.");
    zb::test::TMidiWriter cut; // the file ends during a note's look-ahead
    cut.header(1, 1, 96).track(TTrackWriter{}.on(0, 0, 60, 100).cc(10, 0, 7, 90).data, 50);
    read(writeMidi(cut));
    EXPECT_EQ(state.errorCode, 12);
}

TEST_F(MidiReader, VarLenCountsItsBytesAndKeepsThirtyTwoBits) {
    const std::string path =
        dir.write("v", std::string("\x81\x80\x80\x80\x00\xFF\x01\xFF\xFF\xFF\xFF\x7F\x01", 13));
    TFastFile file(path, false, true);
    TMidiTokenizer tokens(file, 1000, TTempoRule::fourBytes);
    EXPECT_EQ(tokens.next(), TMidiTokenizer::delta);
    EXPECT_EQ(tokens.tick(), 0x10000000);
    EXPECT_EQ(tokens.counter(), 6);
    EXPECT_EQ(tokens.next(), TMidiTokenizer::event); // the skip runs past the end of the file
    EXPECT_EQ(tokens.current().length, 0xFFFFFFFFu);
    EXPECT_EQ(tokens.counter(), 13 + std::int64_t{0xFFFFFFFF});
    EXPECT_EQ(tokens.next(), TMidiTokenizer::chunkEnd);
}

// A stray data byte before any status is read again as a delta; a track without an
// end-of-track event ends its notes at the chunk's end with the neutral release; a tempo event
// whose length byte is not 3 is read as four bytes by the reader but skipped by its length by a
// note's look-ahead, so the two parses part there and the notes after it still end.
TEST_F(MidiReader, OddTracksStillGiveTheirNotes) {
    TTrackWriter stray;
    stray.data = {0x00, 0x05};
    stray.on(0, 0, 60, 100).cc(300, 0, 7, 90);
    read(writeTracks({stray, TTrackWriter{}.end()}));
    ASSERT_EQ(state.errorCode, 0);
    const auto& events = state.samples.at(0)->notes.at(0).events;
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].time.value, 5);
    EXPECT_EQ(events[2].kind, noteEnd);
    EXPECT_EQ(events[2].time.value, 305);
    EXPECT_EQ(events[2].value, 64);

    TTrackWriter tempo;
    tempo.on(0, 0, 60, 100).ev(10, {0xFF, 0x51, 0x01, 0x07, 0xA1, 0x20}).ev(10, {0x3C, 0x00});
    tempo.off(10, 0, 60).on(10, 0, 62, 90).off(20, 0, 62).end();
    read(writeTracks({tempo}));
    ASSERT_EQ(state.errorCode, 0);
    EXPECT_EQ(state.samples.at(0)->notes.size(), 2u);
}

TEST_F(MidiReader, UnendedNotesOfEveryKeyRunToTheEndOfALongTrack) {
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
        }
    EXPECT_EQ(notes, 2048u);
}

TEST(Timing, TimesAtTheirLimits) {
    EXPECT_EQ(tickDenominator(0), 0);
    EXPECT_EQ(tickDenominator(static_cast<std::int16_t>(0xE700)), 0);
    EXPECT_EQ(tickDenominator(96), 96000);
    EXPECT_EQ(tickDenominator(static_cast<std::int16_t>(0xE728)), 500000);

    TCompileState ticks; // milliseconds past the signed range
    ticks.division = 1;
    ticks.tempoMap = {{0, 16777215}};
    ticks.samples.push_back(std::make_unique<TSampleRec>());
    ticks.samples[0]->notes.emplace_back();
    ticks.samples[0]->notes[0].events.push_back({TTicks{2000000000}, noteStart, 0, 100, 0});
    computeTiming(ticks);
    EXPECT_EQ(ticks.errorCode, 42);

    TCompileState state;
    state.songLengthMs = 24347887;
    auto rec = std::make_unique<TSampleRec>();
    rec->events = {{TMilliseconds{1000}, noteStart, 60, 1, 3},
                   {TMilliseconds{1}, noteEnd, 60, 64, 1}};
    state.samples.push_back(std::move(rec));
    checkSongLength(state);
    ASSERT_EQ(state.errorCode, 0);
    EXPECT_EQ(state.songLength, 2147483632);
    EXPECT_EQ(bytePosition(state.samples[0]->events[0].time), 88200);
    EXPECT_EQ(bytePosition(state.samples[0]->events[1].time), 88);
    state.songLengthMs = 24347888;
    state.songLength = 5;
    checkSongLength(state);
    EXPECT_EQ(state.errorCode, 42);
    EXPECT_EQ(state.songLength, 5);
}

TEST(Merge, ShiftedKeysMayLeaveTheKeyboard) {
    TCompileState state;
    for (const int baseKey : {0, 127}) {
        auto r = std::make_unique<TSampleRec>();
        r->wavName = "a.wav";
        r->baseKey = static_cast<std::uint8_t>(baseKey);
        r->sampleRate = 22050;
        r->notes.emplace_back();
        r->notes[0].events = {
            {TTicks{0}, noteStart, static_cast<std::int16_t>(baseKey / 127), 100, 0},
            {TTicks{10}, noteEnd, static_cast<std::int16_t>(baseKey / 127), 64, 0}};
        state.samples.push_back(std::move(r));
    }
    mergeSampleRecords(state);
    EXPECT_EQ(state.samples[0]->notes[0].key(), -126);
}

} // namespace
} // namespace zb::compiler::test
