#include "compile_fixture.h"

namespace zb::compiler::test {
namespace {

using zb::test::TTrackWriter;

class MidiReader : public CompileFixture {
protected:
    MidiReader() { writePrg("0.PRG", patchLine("C0-G10", "piano.wav")); }
};

TEST_F(MidiReader, MissingFileIsError11) {
    read(dir.str() + "/none.mid");
    EXPECT_EQ(state.errorCode, 11);
    EXPECT_EQ(errorMessage(state), "Can not open MIDI file.");
}

TEST_F(MidiReader, DataByteBeforeAnyStatusIsReadAgainAsDelta) {
    TTrackWriter t;
    t.data = {0x00, 0x05}; // delta 0, then a stray data byte read again as delta 5
    t.on(0, 0, 60, 100).end(10);
    read(writeTracks({t}));
    ASSERT_EQ(state.errorCode, 0);
    EXPECT_EQ(state.samples[0]->notes[0].startTime().value, 5);
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
