#include "compile_fixture.h"

namespace zb::compiler::test {
namespace {

using zb::test::TMidiWriter;
using zb::test::TTrackWriter;

class MidiReader : public CompileFixture {
protected:
    MidiReader() { writePrg("0.PRG", patchLine("C0-G10", "piano.wav")); }
    std::int32_t errorOf(const TMidiWriter& midi) { return read(writeMidi(midi)).errorCode; }
};

TEST_F(MidiReader, MissingFileIsError11) {
    read(dir.str() + "/none.mid");
    EXPECT_EQ(state.errorCode, 11);
    EXPECT_EQ(errorMessage(state), "Can not open MIDI file.");
}

TEST_F(MidiReader, HeaderChecksGiveError13) {
    const std::vector<std::uint8_t> empty = TTrackWriter{}.end().data;
    EXPECT_EQ(errorOf(TMidiWriter{}.header(0, 2, 96).track(empty).track(empty)), 13);
    EXPECT_EQ(errorOf(TMidiWriter{}.header(2, 1, 96).track(empty)), 13);
    EXPECT_EQ(errorOf(TMidiWriter{}.raw("MThd").raw({0, 0, 0, 7, 0, 1, 0, 1, 0, 96, 0})), 13);
    EXPECT_EQ(errorOf(TMidiWriter{}.raw("RIFF").raw({0, 0, 0, 6, 0, 1, 0, 1, 0, 96, 0})), 13);
    EXPECT_EQ(errorOf(TMidiWriter{}.header(1, 1, 96).raw("MTrX").raw({0, 0, 0, 0, 0})), 13);
    EXPECT_EQ(errorMessage(state), "Source file is not Standard MIDI Level 0 or 1.");
    EXPECT_EQ(errorOf(TMidiWriter{}.header(1, 1, 96).track(empty)), 0);
    EXPECT_EQ(errorOf(TMidiWriter{}.header(0, 1, 96).track(empty)), 0);
}

TEST_F(MidiReader, FileEndingInsideAnItemIsError12) {
    EXPECT_EQ(errorOf(TMidiWriter{}.header(1, 1, 96)), 12); // nothing after the header
    EXPECT_EQ(errorMessage(state), "Unexpected end of MIDI file.");
    EXPECT_EQ(errorOf(TMidiWriter{}.raw("MThd").raw({0, 0, 0})), 12);
    EXPECT_EQ(errorOf(TMidiWriter{}.header(1, 1, 96).raw("MTrk")), 12);
    // A chunk that claims more bytes than the file holds ends inside a delta time or event.
    EXPECT_EQ(errorOf(TMidiWriter{}.header(1, 1, 96).track({0x00, 0x90, 0x3C}, 100)), 12);
    EXPECT_EQ(errorOf(TMidiWriter{}.header(1, 1, 96).track({0x00, 0xC0}, 100)), 12);
    // The last byte of the file delivered as an event's data byte already counts as the end.
    EXPECT_EQ(errorOf(TMidiWriter{}.header(1, 1, 96).track({0x00, 0xC0, 0x05})), 12);
}

TEST_F(MidiReader, BytesAfterEndOfTrackBreakTheNextChunkHeader) {
    auto t = TTrackWriter{}.end().data;
    t.insert(t.end(), {0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(errorOf(TMidiWriter{}.header(1, 2, 96).track(t).track(TTrackWriter{}.end().data)),
              13);
}

TEST_F(MidiReader, UndefinedStatusBytesAreError14AndFEIsIgnored) {
    EXPECT_EQ(
        errorOf(TMidiWriter{}.header(1, 1, 96).track(TTrackWriter{}.ev(0, {0xF8}).end().data)), 14);
    EXPECT_EQ(errorMessage(state), "Undefined status byte in MIDI file.");
    EXPECT_EQ(
        errorOf(TMidiWriter{}.header(1, 1, 96).track(TTrackWriter{}.ev(0, {0xF4}).end().data)), 14);
    EXPECT_EQ(
        errorOf(TMidiWriter{}.header(1, 1, 96).track(TTrackWriter{}.ev(0, {0xFE}).end().data)), 0);
}

TEST_F(MidiReader, DataByteBeforeAnyStatusIsReadAgainAsDelta) {
    TTrackWriter t;
    t.data = {0x00, 0x05}; // delta 0, then a stray data byte read again as delta 5
    t.on(0, 0, 60, 100).end(10);
    read(writeTracks({t}));
    ASSERT_EQ(state.errorCode, 0);
    EXPECT_EQ(state.samples[0]->notes[0].startTime().value, 5);
}

TEST_F(MidiReader, EmptyDrumGridMakesNoDrumChannel) {
    grid.clear();
    read(writeTracks({TTrackWriter{}.on(0, 9, 36, 100).end(10)}));
    ASSERT_EQ(state.errorCode, 0);
    EXPECT_EQ(state.samples[0]->isDrum, 0);
}

TEST_F(MidiReader, TickSumPastTheSignedRangeIsSongTooLong) {
    TTrackWriter t;
    t.on(0x0FFFFFFF, 0, 60, 100).ev(0x0FFFFFFF, {0xFF, 0x01, 0x00});
    for (int i = 0; i < 8; ++i)
        t.ev(0x0FFFFFFF, {0xFF, 0x01, 0x00});
    t.end();
    read(writeTracks({t}));
    EXPECT_EQ(state.errorCode, 42);
    EXPECT_EQ(errorMessage(state), "Song too long.");
}

TEST_F(MidiReader, HugeSkipLengthIsAnUnexpectedEndNotAnOverflow) {
    // The skip ends the chunk far past the end of the file; the next chunk header is not there.
    const auto t = TTrackWriter{}.ev(0, {0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}).end();
    read(writeTracks({t, TTrackWriter{}.end()}));
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

} // namespace
} // namespace zb::compiler::test
