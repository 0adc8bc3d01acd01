#include "player_fixture.h"

#include "synth/config.h"

namespace zb::app::test {
namespace {

using synth::kBufferBytes;

TEST_F(PlayerTest, PlayCompilesTheSelectedSongAndQueuesThreeBuffers) {
    startWith({midi("three-notes.mid"), midi("little-tune.mid")});
    EXPECT_EQ(status(), midi("three-notes.mid"));
    EXPECT_EQ(form->display.fileKindLabel, "MIDI");
    form->buttonClick(TControl::playBtn);
    ASSERT_NE(form->synth(), nullptr);
    EXPECT_EQ(status(), "Playing " + midi("three-notes.mid"));
    EXPECT_TRUE(form->display.isDown(TControl::playBtn));
    EXPECT_FALSE(form->display.isDown(TControl::stopBtn));
    EXPECT_FALSE(form->display.isEnabled(TControl::ejectBtn));
    EXPECT_TRUE(form->display.isEnabled(TControl::pauseBtn));
    EXPECT_FALSE(form->display.isEnabled(TControl::recordBtn));
    EXPECT_EQ(device.queued(), 3u);
    EXPECT_FALSE(form->stopped);
    EXPECT_FALSE(form->mayClose);
    EXPECT_FALSE(shell.hourglass);

    form->buttonClick(TControl::playBtn); // already playing
    EXPECT_EQ(shell.beeps, 1);
}

TEST_F(PlayerTest, SongEndTerminatesAndSequentialModeAdvancesToTheLastEntryOnly) {
    startWith({midi("three-notes.mid"), midi("little-tune.mid")});
    form->playBtnClick();
    // three-notes is shorter than one buffer; it ends when the three queued ones have played.
    returnBuffer();
    returnBuffer();
    EXPECT_EQ(form->current, 1);
    returnBuffer();
    EXPECT_EQ(form->current, 2);
    EXPECT_EQ(form->compileCount, 2);
    EXPECT_EQ(form->currentSong, midi("little-tune.mid"));
    EXPECT_EQ(status(), "Playing " + midi("little-tune.mid"));
    returnAll();
    EXPECT_TRUE(form->stopped);
    EXPECT_EQ(status(), "Playback terminated. Click [E]ject to unload MID.");
    EXPECT_TRUE(form->display.isDown(TControl::stopBtn));
    EXPECT_TRUE(form->display.isEnabled(TControl::ejectBtn));
    EXPECT_EQ(form->current, 2);
    EXPECT_EQ(form->compileCount, 2);
    EXPECT_TRUE(form->mayClose);
}

TEST_F(PlayerTest, RepeatWrapsFromTheLastEntryToTheFirst) {
    startWith({midi("three-notes.mid"), midi("little-tune.mid")});
    form->buttonClick(TControl::repeatBtn);
    form->trackBtnClick(2);
    form->playBtnClick();
    while (form->current == 2 && returnBuffer()) {
    }
    EXPECT_EQ(form->current, 1);
    EXPECT_EQ(form->currentSong, midi("three-notes.mid"));
    EXPECT_FALSE(form->stopped);
}

// Repeat replays a single entry without compiling it again; without repeat it plays once.
TEST_F(PlayerTest, SingleEntryRepeatReplaysWithoutRecompiling) {
    startWith({midi("three-notes.mid")});
    form->buttonClick(TControl::repeatBtn);
    form->playBtnClick();
    for (int i = 0; i < 3; ++i)
        returnBuffer();
    EXPECT_FALSE(form->stopped);
    EXPECT_EQ(form->synth()->playPos, 0);
    EXPECT_EQ(status(), "Playing " + midi("three-notes.mid"));
    form->buttonClick(TControl::repeatBtn);
    returnAll();
    EXPECT_TRUE(form->stopped);
    EXPECT_EQ(form->compileCount, 1);
}

TEST_F(PlayerTest, ShuffleReplaysTheSameDrawAndCompilesAnyOther) {
    startWith({midi("three-notes.mid"), midi("little-tune.mid"), midi("three-notes.mid")});
    form->buttonClick(TControl::shuffleBtn);
    // Play draws whenever nothing is loaded, so an advance to another entry draws twice.
    shell.dice = {0, 0, 2, 2};
    form->playBtnClick(); // draws entry 1
    EXPECT_EQ(form->current, 1);
    EXPECT_EQ(shell.lastRange, 3);
    auto playToEnd = [&] {
        for (int i = 0; i < 3; ++i)
            returnBuffer();
    };
    playToEnd(); // draws entry 1 again: replay, no compile
    EXPECT_EQ(form->compileCount, 1);
    EXPECT_FALSE(form->stopped);
    playToEnd(); // draws entry 3
    EXPECT_EQ(form->current, 3);
    EXPECT_EQ(form->compileCount, 2);
    EXPECT_EQ(shell.reseeds, 5); // the banner's, and one before each of the four draws
}

TEST_F(PlayerTest, IntroTerminatesAfterOneBufferAndAdvancesWhenTheOthersReturn) {
    startWith({midi("little-tune.mid"), midi("three-notes.mid")});
    form->buttonClick(TControl::introBtn);
    form->playBtnClick();
    returnBuffer();
    EXPECT_TRUE(form->stopped);
    EXPECT_EQ(status(), "Playback terminated. Click [E]ject to unload MID.");
    EXPECT_EQ(form->current, 1);
    returnBuffer();
    EXPECT_EQ(form->current, 1);
    returnBuffer(); // the third returned buffer sends the advance
    EXPECT_EQ(form->current, 2);
    EXPECT_FALSE(form->stopped);
}

TEST_F(PlayerTest, PauseResumesAndStopKeepsTheSongLoaded) {
    startWith({midi("little-tune.mid")});
    form->playBtnClick();
    form->buttonClick(TControl::pauseBtn);
    EXPECT_TRUE(form->paused);
    EXPECT_TRUE(form->display.isDown(TControl::pauseBtn));
    EXPECT_EQ(status(), "Playback paused. Click P[a]use to resume.");
    EXPECT_TRUE(device.paused); // the device holds what it has queued
    EXPECT_FALSE(returnBuffer());
    form->FormKeyUp('A');
    EXPECT_FALSE(form->paused);
    EXPECT_FALSE(device.paused);
    EXPECT_EQ(status(), "Playing " + midi("little-tune.mid"));
    EXPECT_EQ(device.queued(), 3u);
    form->buttonClick(TControl::pauseBtn);
    form->playBtnClick(); // Play goes on from the pause as well
    EXPECT_FALSE(device.paused);
    EXPECT_EQ(form->compileCount, 1);

    form->stopBtnClick();
    EXPECT_EQ(status(), "Playback stopped. Click [E]ject to unload MID.");
    EXPECT_EQ(form->returnedBuffers, -4);
    returnAll();
    EXPECT_EQ(form->current, 1); // a stop never advances
    EXPECT_NE(form->synth(), nullptr);
    EXPECT_TRUE(form->display.isEnabled(TControl::ejectBtn));
    EXPECT_FALSE(form->display.isEnabled(TControl::pauseBtn));
    form->stopBtnClick();
    EXPECT_EQ(shell.beeps, 1);
    form->pauseBtnClick();
    EXPECT_EQ(shell.beeps, 2);
}

TEST_F(PlayerTest, PlayAtTheEndOfAStoppedSongRestartsFromZero) {
    startWith({midi("little-tune.mid")});
    form->playBtnClick();
    form->stopBtnClick();
    returnAll();
    for (int i = 0; i < 12; ++i)
        form->forwardBtnClick();
    EXPECT_EQ(form->synth()->playPos, form->songLength - form->songLength % 4);
    EXPECT_EQ(form->display.positionGauge, 100);
    form->playBtnClick();
    EXPECT_EQ(form->synth()->renderPos, 3 * static_cast<std::int64_t>(kBufferBytes));
    EXPECT_EQ(form->compileCount, 1);
}

TEST_F(PlayerTest, TenPercentJumpsClampAndLandOnWholeFrames) {
    startWith({midi("little-tune.mid")});
    form->playBtnClick();
    form->stopBtnClick();
    form->synth()->playPos = 0;
    form->forwardBtnClick();
    const std::int64_t step = form->songLength / 10;
    ASSERT_NE(step % 4, 0);
    EXPECT_EQ(form->synth()->playPos, step - step % 4);
    EXPECT_EQ(form->synth()->renderPos, form->synth()->playPos);
    form->backwardBtnClick();
    form->backwardBtnClick();
    EXPECT_EQ(form->synth()->playPos, 0);
    form->ejectBtnClick();
    form->backwardBtnClick();
    EXPECT_EQ(shell.beeps, 1);
}

// A click on the position gauge (and Home) in each state where a song is loaded. While the
// song plays the stream starts again at once from the target; the buffers the stop handed back
// come back unheard and neither move the position nor ask for more.
TEST_F(PlayerTest, SeekingMovesEveryLoadedStateToTheClickedFraction) {
    startWith({midi("little-tune.mid"), path("WAV/voice.wav")});
    form->seekTo(0.5);
    EXPECT_EQ(shell.beeps, 1); // nothing loaded
    form->playBtnClick();
    const std::int64_t half = form->songLength / 2 - form->songLength / 2 % 4;
    form->seekTo(0.5);
    EXPECT_EQ(form->synth()->playPos, half);
    EXPECT_EQ(form->synth()->renderPos, half + 3 * static_cast<std::int64_t>(kBufferBytes));
    EXPECT_EQ(device.queued(), 6u);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(returnBuffer());
    EXPECT_EQ(form->synth()->playPos, half);
    EXPECT_EQ(form->synth()->renderPos, half + 3 * static_cast<std::int64_t>(kBufferBytes));
    ASSERT_TRUE(returnBuffer()); // the first of the new stream
    EXPECT_EQ(form->synth()->playPos, half + static_cast<std::int64_t>(kBufferBytes));
    EXPECT_EQ(status(), "Playing " + midi("little-tune.mid"));

    form->pauseBtnClick();
    form->FormKeyUp(keys::home);
    EXPECT_EQ(form->synth()->playPos, 0);
    EXPECT_TRUE(form->paused);
    EXPECT_TRUE(device.paused);
    form->FormKeyUp(keys::end); // End is Stop
    EXPECT_TRUE(form->stopped);
    returnAll();
    form->seekTo(1);
    EXPECT_EQ(form->synth()->playPos, form->songLength - form->songLength % 4);
    EXPECT_EQ(form->display.positionGauge, 100);
    EXPECT_EQ(form->compileCount, 1);
}

TEST_F(PlayerTest, SkipAndTrackSelectionUnloadAndNeverPlay) {
    startWith({midi("three-notes.mid"), midi("little-tune.mid"), midi("three-notes.mid")});
    form->skipBackBtnClick();
    EXPECT_EQ(shell.beeps, 1);
    form->playBtnClick();
    form->FormKeyUp('W');
    EXPECT_EQ(form->current, 2);
    EXPECT_TRUE(form->display.isEnabled(TControl::skipBackBtn));
    EXPECT_EQ(form->synth(), nullptr);
    EXPECT_TRUE(form->stopped);
    EXPECT_TRUE(form->display.isDown(TControl::track2Btn));
    EXPECT_FALSE(form->display.isDown(TControl::track1Btn));
    EXPECT_EQ(form->display.positionGauge, 0);
    form->FormKeyUp('3');
    EXPECT_EQ(form->current, 3);
    form->skipForwardBtnClick();
    EXPECT_EQ(shell.beeps, 2);
    EXPECT_EQ(form->compileCount, 1);
    form->FormKeyUp('9'); // no ninth entry: its button is disabled
    EXPECT_EQ(form->current, 3);
}

TEST_F(PlayerTest, RecordToggleCannotChangeWhileASongIsLoaded) {
    startWith({midi("little-tune.mid")});
    form->FormKeyUp('R');
    EXPECT_TRUE(form->display.isDown(TControl::recordBtn));
    form->playBtnClick();
    EXPECT_TRUE(form->synth()->recording);
    EXPECT_EQ(form->synth()->recordFileName, path("Song/little-tune.WAV"));
    form->FormKeyUp('R');
    EXPECT_TRUE(form->display.isDown(TControl::recordBtn));
    EXPECT_EQ(shell.beeps, 1);
    form->stopBtnClick();
    EXPECT_TRUE(fileExists(path("Song/little-tune.WAV")));
    form->ejectBtnClick();
    form->FormKeyUp('R');
    EXPECT_FALSE(form->display.isDown(TControl::recordBtn));
}

TEST_F(PlayerTest, ARecordFileThatCannotBeCreatedIsReportedAndPlaybackGoesOn) {
    startWith({midi("little-tune.mid")});
    std::filesystem::remove_all(path("Song"));
    home.write("Song", "a file where the folder should be");
    form->FormKeyUp('R');
    form->playBtnClick();
    EXPECT_EQ(status(), "Can't record to " + path("Song/little-tune.WAV"));
    EXPECT_FALSE(form->stopped);
    returnBuffer();
    EXPECT_EQ(device.queued(), 3u);
}

// A fresh installation has no Song folder: the recording makes it. Pausing and resuming keeps
// one recording: the samples of a play straight through, then the silence of the buffers a
// start renders ahead.
TEST_F(PlayerTest, ARecordingPausedAndResumedIsThatOfAPlayStraightThrough) {
    startWith({midi("little-tune.mid")});
    std::filesystem::remove_all(path("Song"));
    form->FormKeyUp('R');
    const auto record = [&](bool pause) {
        form->playBtnClick();
        returnBuffer();
        if (pause) {
            form->pauseBtnClick();
            EXPECT_TRUE(form->paused);
            form->pauseBtnClick();
            EXPECT_FALSE(form->paused);
        }
        returnAll();
        std::ifstream in(path("Song/little-tune.WAV"), std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), {}};
    };
    const std::string straight = record(false);
    EXPECT_GT(straight.size(), 44u + 3 * 352800u);
    form->ejectBtnClick();
    const std::string paused = record(true);
    ASSERT_GE(paused.size(), straight.size());
    // Compared without printing: a megabyte of samples.
    EXPECT_TRUE(paused.compare(44, straight.size() - 44, straight, 44) == 0);
    EXPECT_EQ(paused.find_first_not_of('\0', straight.size()), std::string::npos);
}

TEST_F(PlayerTest, MuteReachesTheEngineOfTheLoadedSong) {
    startWith({midi("little-tune.mid")});
    form->playBtnClick();
    form->FormKeyUp('M');
    EXPECT_TRUE(form->muted);
    EXPECT_TRUE(form->synth()->muted);
    EXPECT_EQ(device.volume(), 0u);
    form->buttonClick(TControl::muteBtn);
    EXPECT_FALSE(form->synth()->muted);
    EXPECT_EQ(device.volume(), 0xFFFFFFFFu);
}

TEST_F(PlayerTest, KeysStepTheCountersAndOnlyKeypadPlusAndMinusChangeTheVolume) {
    startWith({midi("little-tune.mid")});
    form->FormKeyUp(keys::keypadPlus);
    EXPECT_EQ(form->display.volumeText, "1.1");
    form->FormKeyUp(0xBB); // the main keyboard's plus key
    form->FormKeyUp(0xBD); // and minus
    EXPECT_EQ(form->display.volumePosition, 11);
    form->FormKeyUp(keys::down);
    form->FormKeyUp(keys::keypadMinus | 0x100); // only the low byte counts
    EXPECT_EQ(form->display.volumeText, "0.9");
    form->FormKeyUp(keys::left);
    EXPECT_EQ(form->display.balanceGaugeValue, 49);
    form->FormKeyUp('N');
    EXPECT_EQ(form->display.balanceGaugeValue, 50);
    for (int i = 0; i < 60; ++i)
        form->FormKeyUp(keys::right);
    EXPECT_EQ(form->display.balanceGaugeValue, 100);
    form->FormKeyUp('N');
    for (int i = 0; i < 120; ++i)
        form->FormKeyUp(keys::down);
    EXPECT_EQ(form->display.volumeText, "0.0");
    form->playBtnClick();
    EXPECT_EQ(form->synth()->leftMul, 0);
    for (int i = 0; i < 120; ++i)
        form->FormKeyUp(keys::up);
    EXPECT_EQ(form->display.volumeText, "9.9");
    form->FormKeyUp('V');
    EXPECT_EQ(form->display.volumeText, "1.0");
    form->FormKeyUp('H');
    EXPECT_EQ(shell.helpContexts.back(), helpMainWindow);
    form->FormKeyUp('X');
    EXPECT_TRUE(shell.closeRequested);
}

TEST_F(PlayerTest, CloseQueryStopsPlaybackAndIsRefusedWhileBusy) {
    startWith({midi("little-tune.mid")});
    form->playBtnClick();
    EXPECT_TRUE(form->FormCloseQuery());
    EXPECT_TRUE(form->stopped);
    form->playBtnClick();
    form->busy = true; // a click arriving while a load lets messages run
    EXPECT_FALSE(form->FormCloseQuery());
    form->busy = false;
}

TEST_F(PlayerTest, FailuresLeaveNothingLoaded) {
    home.write("MID/broken.mid", "MThd but not really");
    home.write("MID/song.txt", "not a song");
    startWith({midi("broken.mid"), midi("no-notes.mid"), midi("song.txt")});
    form->playBtnClick();
    EXPECT_EQ(status(), "Can't parse file broken.mid");
    ASSERT_EQ(shell.errors.size(), 1u);
    EXPECT_EQ(form->synth(), nullptr);
    EXPECT_TRUE(form->stopped);
    EXPECT_TRUE(form->mayClose);
    EXPECT_FALSE(form->busy);
    EXPECT_TRUE(form->display.isEnabled(TControl::recordBtn));
    form->FormActivate(); // the message stays until the user acts
    EXPECT_EQ(status(), "Can't parse file broken.mid");
    form->buttonClick(TControl::skipForwardBtn);
    form->FormActivate();
    EXPECT_EQ(status(), midi("no-notes.mid"));
    form->playBtnClick();
    EXPECT_EQ(status(), "Can't parse file no-notes.mid");
    form->skipForwardBtnClick();
    EXPECT_EQ(status(), "Unknown filetype.");
    form->playBtnClick();
    EXPECT_EQ(shell.beeps, 1);
    EXPECT_FALSE(form->busy);
}

TEST_F(PlayerTest, DeviceAndSampleFailuresAreReported) {
    startWith({midi("little-tune.mid")});
    device.failOpen = true;
    form->playBtnClick();
    EXPECT_EQ(shell.errors, std::vector<std::string>{"waveOut device error!"});
    EXPECT_EQ(status(), "waveOut device error!");
    EXPECT_EQ(form->synth(), nullptr);
    device.failOpen = false;
    std::filesystem::remove(path("WAV/piano.wav"));
    form->playBtnClick();
    EXPECT_EQ(status(), "Can't load WAVs.");
    EXPECT_EQ(form->synth(), nullptr);
    EXPECT_TRUE(form->loaded.samples().empty());
    EXPECT_FALSE(form->busy);
}

TEST_F(PlayerTest, DeviceErrorWhilePlayingClosesTheWindow) {
    startWith({midi("little-tune.mid")});
    form->playBtnClick();
    device.failWrites = true;
    returnBuffer();
    EXPECT_EQ(shell.errors, std::vector<std::string>{"waveOut device error!"});
    EXPECT_TRUE(shell.closeRequested);
    EXPECT_TRUE(form->mayClose);
}

} // namespace
} // namespace zb::app::test
