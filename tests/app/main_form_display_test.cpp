#include "player_fixture.h"

#include <filesystem>

namespace zb::app::test {
namespace {

TEST_F(PlayerTest, AnEmptyPlaylistShowsNoTrackAndDisablesPlay) {
    start();
    EXPECT_EQ(status(), "Empty play[l]ist.");
    EXPECT_EQ(form->current, 0);
    EXPECT_EQ(form->display.trackNr, "");
    EXPECT_EQ(form->display.trackLbl, "");
    EXPECT_FALSE(form->display.isEnabled(TControl::playBtn));
    EXPECT_FALSE(form->display.isEnabled(TControl::recordBtn));
    EXPECT_EQ(form->display[TControl::wavLbl].caption, "No destination WAV");
    for (int i = 1; i <= 10; ++i)
        EXPECT_FALSE(form->display.isEnabled(trackButton(i)));
    EXPECT_EQ(form->display[TControl::track1Btn].hint, "Track [1]: No file");
    EXPECT_EQ(form->display[TControl::track0Btn].hint, "Track 1[0]: No file");
    EXPECT_TRUE(form->display.isDown(TControl::stopBtn));
    form->FormKeyUp('P'); // play is disabled
    EXPECT_EQ(form->synth(), nullptr);
    form->FormKeyUp('W');
    EXPECT_EQ(shell.beeps, 0); // skip buttons are disabled too
}

TEST_F(PlayerTest, TrackNumbersKeepTheirLastTwoDigits) {
    std::vector<std::string> entries(105, midi("three-notes.mid"));
    startWith(entries);
    EXPECT_EQ(form->display.trackNr, "1");
    EXPECT_EQ(form->display[TControl::track0Btn].hint, "Track 1[0]: " + midi("three-notes.mid"));
    EXPECT_TRUE(form->display.isEnabled(TControl::track0Btn));
    form->buttonClick(TControl::repeatBtn);
    form->current = 11; // past the ten buttons
    form->updateTrackDisplay();
    EXPECT_EQ(form->display.trackNr, "11");
    for (int i = 1; i <= 10; ++i)
        EXPECT_FALSE(form->display.isDown(trackButton(i)));
    EXPECT_TRUE(form->display.isDown(TControl::repeatBtn)); // the control after the tenth
    form->current = 105;
    form->updateTrackDisplay();
    EXPECT_EQ(form->display.trackNr, "05");
    EXPECT_FALSE(form->display.isEnabled(TControl::skipForwardBtn));
    EXPECT_TRUE(form->display.isEnabled(TControl::skipBackBtn));
    // With no entry selected no track button stays down, the tenth included.
    form->trackBtnClick(10);
    ASSERT_TRUE(form->display.isDown(TControl::track0Btn));
    form->current = 0;
    form->updateTrackDisplay();
    EXPECT_FALSE(form->display.isDown(TControl::track0Btn));
}

// The destination label shows the tail of a long path (6 pixels per character, 121 pixels at
// most: 20 characters) without splitting a character, and ampersands literally.
TEST_F(PlayerTest, TheDestinationLabelShowsTheTailOfALongPath) {
    startWith({midi("little-tune.mid")});
    const auto& label = form->display[TControl::wavLbl];
    const std::string wav = path("Song/little-tune.WAV");
    EXPECT_EQ(label.hint, "Destination WAV: " + wav);
    EXPECT_EQ(label.caption, "..." + wav.substr(wav.size() - 17));
    EXPECT_TRUE(label.enabled);
    form->options.destinationDirectory = "/\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9"
                                         "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9";
    form->updateTrackDisplay();
    ASSERT_EQ(label.caption.substr(0, 3), "...");
    EXPECT_NE(static_cast<unsigned char>(label.caption[3]) & 0xC0, 0x80);
    form->options.destinationDirectory = "/A&B";
    form->playList.entries = {{"/x/s.mid", false}};
    form->updateTrackDisplay();
    EXPECT_EQ(label.caption, "/A&&B/s.WAV");
    EXPECT_EQ(label.hint, "Destination WAV: /A&B/s.WAV");
}

TEST_F(PlayerTest, TheClockFollowsTheDeviceAndWrapsAfterAnHour) {
    startWith({midi("little-tune.mid")});
    form->playBtnClick();
    device.playBytes(2 * 88200); // the device's ticks move the clock between buffer returns
    EXPECT_EQ(form->display.digits, (std::array<int, 4>{0, 0, 0, 2}));
    form->stopBtnClick();
    form->synth()->playPos = 317520000; // 3,600 s
    form->showProgress();
    EXPECT_EQ(form->display.digits, (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(form->display.positionGauge, 100);
    form->synth()->playPos = 88200 * 754 + 44100; // 754.5 s: halves go to even
    form->showProgress();
    EXPECT_EQ(form->display.digits, (std::array<int, 4>{1, 2, 3, 4}));
}

TEST_F(PlayerTest, KaraokeFilesPlayAsMidiFiles) {
    const std::string kar = midi("sing.KAR");
    std::filesystem::copy_file(midi("three-notes.mid"), kar);
    startWith({kar});
    EXPECT_EQ(form->display.fileKindLabel, "MIDI");
    form->playBtnClick();
    EXPECT_NE(form->synth(), nullptr);
    EXPECT_EQ(status(), "Playing " + kar);
}

TEST_F(PlayerTest, WavEntriesPlayThroughTheMediaPlayer) {
    home.write("WAV/voice.wav", "RIFF");
    startWith({path("WAV/voice.wav"), midi("three-notes.mid")});
    EXPECT_EQ(form->display.fileKindLabel, "WAV");
    EXPECT_FALSE(form->display.isEnabled(TControl::muteBtn));
    EXPECT_FALSE(form->display.isEnabled(TControl::recordBtn));
    form->playBtnClick();
    EXPECT_TRUE(media.isOpen());
    EXPECT_TRUE(media.millisecondFormat);
    EXPECT_TRUE(shell.timer);
    EXPECT_EQ(status(), path("WAV/voice.wav"));
    media.advanceClock(12500); // the player's tick moves the clock, not only the timer
    EXPECT_EQ(form->display.digits, (std::array<int, 4>{0, 0, 1, 2}));
    form->TimerTimer();
    EXPECT_EQ(status(), "MCI playing " + path("WAV/voice.wav"));
    EXPECT_EQ(form->display.positionGauge, 41);

    form->pauseBtnClick();
    EXPECT_EQ(status(), "MCI paused. Click P[a]use to resume.");
    form->pauseBtnClick();
    EXPECT_EQ(status(), "Playing " + path("WAV/voice.wav"));
    form->stopBtnClick();
    EXPECT_EQ(status(), "MCI stopped. Click [E]ject to unload WAV.");
    form->forwardBtnClick();
    EXPECT_EQ(media.position(), 15500);
    form->backwardBtnClick();
    EXPECT_EQ(media.position(), 12500);
    for (int i = 0; i < 5; ++i)
        form->backwardBtnClick();
    EXPECT_EQ(media.position(), 0); // not before the start
    form->seekTo(0.25);
    EXPECT_EQ(media.position(), 7500);
    EXPECT_EQ(form->display.positionGauge, 25);
    for (int i = 0; i < 11; ++i)
        form->forwardBtnClick();
    EXPECT_EQ(media.position(), 30000);
    form->playBtnClick(); // at the end: rewinds
    EXPECT_EQ(media.position(), 0);
    media.advanceClock(30000);
    form->TimerTimer(); // the WAV ended: the list advances to the MIDI entry
    EXPECT_FALSE(media.isOpen());
    EXPECT_FALSE(shell.timer);
    EXPECT_EQ(form->current, 2);
    EXPECT_NE(form->synth(), nullptr);
}

TEST_F(PlayerTest, WavIntroStopsAfterTenSecondsAndAdvancesOnlyWithRepeatOrShuffle) {
    home.write("WAV/voice.wav", "RIFF");
    startWith({path("WAV/voice.wav"), path("WAV/voice.wav")});
    form->buttonClick(TControl::introBtn);
    form->playBtnClick();
    media.advanceClock(10000);
    form->TimerTimer();
    EXPECT_TRUE(form->stopped);
    EXPECT_EQ(form->current, 1);
    form->buttonClick(TControl::repeatBtn);
    form->playBtnClick(); // intro: back to the start
    EXPECT_EQ(media.position(), 0);
    media.advanceClock(10000);
    form->TimerTimer();
    EXPECT_EQ(form->current, 2);
    EXPECT_FALSE(form->stopped);
}

TEST_F(PlayerTest, AWavThatCannotBeOpenedLeavesTheTransportUsable) {
    home.write("WAV/voice.wav", "RIFF");
    startWith({path("WAV/voice.wav")});
    media.failOpen = true;
    form->playBtnClick();
    EXPECT_EQ(shell.errors.size(), 1u);
    EXPECT_FALSE(form->busy);
    EXPECT_TRUE(form->stopped);
    EXPECT_TRUE(form->display.isDown(TControl::stopBtn));
}

TEST_F(PlayerTest, WithoutASoundOutputTheStatusLineSaysSoAndAWavIsNotPlayed) {
    home.write("WAV/voice.wav", "RIFF");
    device.noDevices = true;
    startWith({path("WAV/voice.wav")});
    EXPECT_EQ(status(), kNoSoundOutput);
    form->playBtnClick();
    EXPECT_EQ(shell.errors, std::vector<std::string>{"waveOut device error!"});
    EXPECT_EQ(status(), kNoSoundOutput);
    EXPECT_FALSE(media.isOpen());
    EXPECT_TRUE(form->stopped);
    EXPECT_FALSE(form->busy);
    EXPECT_EQ(form->current, 1);
}

TEST_F(PlayerTest, DroppedSongsAreAppended) {
    start();
    form->filesDropped({"/x/a.MID", "/x/b.txt", "/x/c.wav"});
    ASSERT_EQ(form->playList.entries.size(), 2u);
    EXPECT_EQ(form->count, 2);
    EXPECT_EQ(form->current, 1);
    EXPECT_TRUE(form->display.isEnabled(TControl::playBtn));
    EXPECT_EQ(form->display[TControl::track2Btn].hint, "Track [2]: /x/c.wav");
}

// The banner scrolls through the caption, unless a "No banners!" file says otherwise.
TEST_F(PlayerTest, TheBannerScrollsThroughTheCaption) {
    home.write("No banners!", "");
    start();
    EXPECT_FALSE(shell.bannerTimer);
    form->FormClose();
    std::filesystem::remove(path("No banners!"));
    shell.dice = {4};
    start();
    EXPECT_TRUE(shell.bannerTimer);
    EXPECT_EQ(shell.bannerInterval, 60000);
    form->bannerTimerTimer();
    EXPECT_EQ(shell.bannerInterval, 200);
    const std::string message = TBanner::messages[4];
    EXPECT_EQ(form->display.caption, "Zorbel II    " + std::string(71, ' ') + message);
    for (int i = 0; i < 70; ++i)
        form->bannerTimerTimer();
    EXPECT_EQ(form->display.caption, "Zorbel II ..." + std::string(1, ' ') + message);
    for (std::size_t i = 0; i < message.size() + 1; ++i)
        form->bannerTimerTimer();
    EXPECT_EQ(form->display.caption, "Zorbel II ...");
    form->bannerTimerTimer();
    EXPECT_EQ(form->display.caption, "Zorbel II");
    EXPECT_EQ(shell.bannerInterval, 60000);
}

} // namespace
} // namespace zb::app::test
