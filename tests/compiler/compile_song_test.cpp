#include "compile_fixture.h"
#include "compiler/timing.h"

namespace zb::compiler::test {
namespace {

using zb::test::TTrackWriter;

class CompileSong : public CompileFixture {
protected:
    // Runs compileSong and collects its messages.
    void compile(const std::string& file, bool defaultTo0 = false) {
        compileSong(file, prgDir, grid, defaultTo0, false, samples, song, songLength,
                    [this](std::int32_t code, const std::string& message) {
                        codes.push_back(code);
                        messages.push_back(message);
                    });
    }
    std::string oneNoteSong(int channel = 0, int program = 0) {
        return writeTracks(
            {TTrackWriter{}.program(0, channel, program).on(0, channel, 60, 100).end(96)});
    }

    TSampleList samples;
    TSong song;
    std::int32_t songLength = -7;
    std::vector<std::int32_t> codes;
    std::vector<std::string> messages;
};

TEST(CompileMessages, EveryErrorCodeHasItsTextAndPrefix) {
    TCompileState state;
    state.errorType.prgFileName = "P.PRG";
    state.errorType.lineNumber = 7;
    const std::string line = "PRG P.PRG, line #7: ";
    for (std::int32_t code = 11; code <= 43; ++code) {
        state.errorCode = code;
        const std::string message = errorMessage(state);
        const bool used = code != 16 && code != 19 && code != 41;
        ASSERT_EQ(message.empty(), !used) << code;
        if (code == 17) {
            EXPECT_EQ(message, "PRG file P.PRG not found.");
        } else if ((code >= 18 && code <= 40) || code == 43) {
            EXPECT_TRUE(!used || (message.rfind(line, 0) == 0 && message.size() > line.size()))
                << message;
        }
    }
}

// A failure gives exactly one message and leaves the caller's song and length alone; a missing
// program falls back to program 0 only when asked to, and names the file it looked for.
TEST_F(CompileSong, FailuresGiveOneMessageAndChangeNothing) {
    song.push_back(std::make_unique<TSongBlock>());
    compile(oneNoteSong(0, 5));
    compile(oneNoteSong(0, 0), true);
    compile(dir.str() + "/missing.mid");
    EXPECT_EQ(codes, (std::vector<std::int32_t>{17, 17, 11}));
    EXPECT_EQ(messages, (std::vector<std::string>{"PRG file " + prgDir + "/5.PRG not found.",
                                                  "PRG file " + prgDir + "/0.PRG not found.",
                                                  "Can not open MIDI file."}));
    EXPECT_TRUE(samples.empty());
    EXPECT_EQ(song.size(), 1u);
    EXPECT_EQ(songLength, -7);
    // A song without notes is no failure, and nothing to play.
    writePrg("0.PRG", patchLine("C0-G10", "piano.wav"));
    song.clear();
    compile(writeTracks({TTrackWriter{}.cc(0, 0, 7, 100).end(96)}));
    EXPECT_EQ(messages.size(), 3u);
    EXPECT_TRUE(samples.empty() && song.empty());
}

TEST_F(CompileSong, DrumKitFallsBackToD0) {
    writePrg("D0.PRG", patchLine("C0-G10", "kit.wav"));
    TCompileState& s = read(oneNoteSong(9, 25), true);
    EXPECT_EQ(s.errorCode, 0);
    ASSERT_EQ(s.samples.size(), 1u);
    EXPECT_EQ(s.samples[0]->wavName, "kit.wav");
    EXPECT_EQ(s.samples[0]->program, 25);
}

TEST_F(CompileSong, ProgramChangeReusesALoadedTableWithoutReadingTheFileAgain) {
    writePrg("3.PRG", patchLine("C0-G10", "three.wav"));
    // Slot 1 loads program 3 at its note; slot 2's change to program 3 then shares that table.
    TTrackWriter t;
    t.program(0, 0, 3).on(0, 0, 60, 100).off(10, 0, 60);
    t.ev(0, {0xFF, 0x01, 0x00}).program(0, 1, 3).on(0, 1, 62, 100).end(10);
    read(writeTracks({t}));
    ASSERT_EQ(state.errorCode, 0);
    EXPECT_TRUE(state.slot(2).slotLoaded);
    EXPECT_EQ(state.slot(1).table, state.slot(2).table);
    EXPECT_EQ(state.samples.size(), 1u);
    EXPECT_EQ(state.samples[0]->notes.size(), 2u);
}

// The musician's controls on one song: slot 1 plays keys 60 and 126, the drum slot 10 keys 36
// and 38 (the second after a tempo change), slot 3 a program that has no patch. Each note start
// and end is given as "sample key@milliseconds".
TEST_F(CompileSong, ControlsMuteSoloSpeedAndTranspose) {
    writePrg("0.PRG", patchLine("C0-G10", "piano.wav"));
    writePrg("D0.PRG", patchLine("C0-G10", "kit.wav"));
    TTrackWriter t;
    t.on(0, 0, 60, 100).off(480, 0, 60).on(0, 0, 126, 100).off(480, 0, 126);
    t.on(0, 9, 36, 100).off(240, 9, 36).tempo(0, 250000).on(0, 9, 38, 100).off(480, 9, 38);
    t.program(0, 2, 5).on(0, 2, 60, 100).off(10, 2, 60).end();
    const std::string file = writeTracks({t});
    const auto notes = [&](const TCompileOptions& options) {
        read(file, false, options);
        computeTiming(state);
        std::vector<std::string> out;
        for (const auto& rec : state.samples)
            for (const auto& e : rec->events)
                if (e.kind == noteStart || e.kind == noteEnd)
                    out.push_back(rec->wavName + " " + std::to_string(e.key) + "@" +
                                  std::to_string(e.time.value));
        return out;
    };
    EXPECT_EQ(read(file).errorCode, 17); // 5.PRG is missing
    TCompileOptions muted;
    muted.muted[2] = true; // a muted slot's patch is not even looked for
    const std::vector<std::string> asWritten = {
        "piano.wav 60@0",  "piano.wav 60@500", "piano.wav 126@500", "piano.wav 126@1000",
        "kit.wav 36@1000", "kit.wav 36@1250",  "kit.wav 38@1250",   "kit.wav 38@1500"};
    EXPECT_EQ(notes(muted), asWritten);
    EXPECT_EQ(state.errorCode, 0);

    TCompileOptions solo;
    solo.soloed[9] = true;
    solo.muted[9] = true; // a solo wins over a mute of the same slot
    EXPECT_EQ(notes(solo), std::vector<std::string>(asWritten.begin() + 4, asWritten.end()));

    TCompileOptions slower = muted;
    slower.tempoPercent = 50; // the implied first tempo and the change are both halved
    std::vector<std::string> doubled;
    for (const auto& n : asWritten) {
        const auto at = n.find('@');
        doubled.push_back(n.substr(0, at + 1) + std::to_string(2 * std::stoi(n.substr(at + 1))));
    }
    EXPECT_EQ(notes(slower), doubled);

    TCompileOptions up = muted;
    up.transpose = 2; // 126 + 2 leaves the keyboard; drum keys stay
    EXPECT_EQ(notes(up),
              (std::vector<std::string>{"piano.wav 62@0", "piano.wav 62@500", "kit.wav 36@1000",
                                        "kit.wav 36@1250", "kit.wav 38@1250", "kit.wav 38@1500"}));
}

} // namespace
} // namespace zb::compiler::test

namespace zb::compiler::test {
namespace {

TEST_F(CompileSong, SuccessHandsOverSamplesSongAndLength) {
    writePrg("0.PRG", patchLine("C0-G10", "piano.wav"));
    writePrg("1.PRG", patchLine("C0-G10", "piano.wav"));
    TTrackWriter t;
    t.on(0, 0, 60, 100).off(480, 0, 60).program(0, 1, 1).on(0, 1, 64, 100).off(480, 1, 64).end();
    compile(writeTracks({t}));
    ASSERT_TRUE(messages.empty());
    ASSERT_EQ(samples.size(), 1u); // both programs play one sample: merged
    EXPECT_EQ(songLength, 88200);  // 960 ticks at 480 a quarter and 120 bpm: one second
    ASSERT_EQ(song.size(), 2u);
    for (const auto& voice : song)
        EXPECT_EQ(voice->sampleRec, samples[0].get());
    EXPECT_TRUE(samples[0]->notes.empty());
    EXPECT_TRUE(samples[0]->events.empty());
    EXPECT_EQ(song[1]->events[1].time, 88200);
}

} // namespace
} // namespace zb::compiler::test
