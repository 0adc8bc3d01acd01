#include "player_fixture.h"

#include "synth/config.h"

namespace zb::app::test {
namespace {

using compiler::TCompileOptions;

// Plays bytes of the loaded song through the null device in the small steps of a real one.
void playFor(synth::NullAudioOutput& device, std::int64_t bytes) {
    for (std::int64_t played = 0; played < bytes; played += 2940)
        device.playBytes(2940);
}

TEST_F(PlayerTest, ControlsRecompileThePlayingSongAtTheSameBeat) {
    startWith({midi("little-tune.mid")});
    device.deviceLead = 8192;
    form->playBtnClick();
    playFor(device, 2 * 88200);
    const std::int32_t length = form->songLength;
    const std::int64_t heard = form->heardBytes();
    EXPECT_GT(form->channelLevel(1), 0);
    EXPECT_GT(form->channelLevel(10), 0);
    EXPECT_EQ(form->channelLevel(0), 0);
    EXPECT_EQ(form->channelLevel(17), 0);

    TCompileOptions slower;
    slower.tempoPercent = 50;
    slower.muted[9] = true;
    form->setSongControls(slower);
    form->finishSongRebuild();
    EXPECT_EQ(form->compileCount, 1); // handed over, not loaded again
    EXPECT_FALSE(form->stopped);
    EXPECT_NEAR(static_cast<double>(form->heardBytes()), 2.0 * static_cast<double>(heard),
                8192 + synth::kBlockBytes);
    EXPECT_GT(form->songLength, length * 19 / 10);
    EXPECT_EQ(form->channelLevel(10), 0);
    EXPECT_EQ(status(), "Playing " + midi("little-tune.mid"));

    // Nothing left to sound: the song plays on as it was, and the status line says why.
    const std::int32_t slowLength = form->songLength;
    TCompileOptions silent = slower;
    silent.muted.fill(true);
    form->setSongControls(silent);
    form->finishSongRebuild();
    EXPECT_EQ(status(), "Can't apply the channel settings: no notes would sound.");
    EXPECT_EQ(form->songControls, slower); // what plays
    EXPECT_EQ(form->songLength, slowLength);
    EXPECT_FALSE(form->stopped);

    // Changes come one after another faster than they compile: the last one wins.
    TCompileOptions up = slower;
    up.transpose = 30; // clamped
    form->setSongControls(up);
    up.tempoPercent = 200;
    form->setSongControls(up);
    form->finishSongRebuild();
    EXPECT_EQ(form->songControls.transpose, TCompileOptions::kMaxTranspose);
    EXPECT_LT(form->songLength, length * 6 / 10);

    form->stopBtnClick();
    returnAll();
    // A stopped song is placed at the same beat.
    const std::int64_t stoppedAt = form->synth()->playPos;
    up.tempoPercent = 100;
    form->setSongControls(up);
    form->finishSongRebuild();
    EXPECT_EQ(form->synth()->playPos, stoppedAt * 2 - stoppedAt * 2 % 4);
    EXPECT_TRUE(form->stopped);

    // Eject sets them back unless they are kept; unloaded, they wait for the next song.
    form->ejectBtnClick();
    EXPECT_EQ(form->songControls, TCompileOptions{});
    form->keepControls = true;
    form->setSongControls(slower);
    form->playBtnClick();
    EXPECT_GT(form->songLength, length * 19 / 10);
    form->stopBtnClick();
    returnAll();
    form->ejectBtnClick();
    EXPECT_EQ(form->songControls, slower);
    EXPECT_EQ(form->compileCount, 2);
}

TEST_F(PlayerTest, TheLyricsFollowWhatIsHeard) {
    startWith({midi("lyrics.kar"), midi("three-notes.mid")});
    form->FormKeyUp('Y');
    form->FormKeyUp('C');
    EXPECT_EQ(view.lyricsWindows, 1);
    EXPECT_EQ(view.channelWindows, 1);
    EXPECT_TRUE(form->lyricsNow().none); // nothing loaded
    device.deviceLead = 8192;
    form->playBtnClick();
    ASSERT_EQ(form->facts.channels.size(), 1u);
    EXPECT_EQ(form->facts.channels[0].programs, "Acoustic Grand Piano");
    TLyricsView view = form->lyricsNow();
    EXPECT_EQ(view.sung, "Twin");
    EXPECT_EQ(view.sungAfter, "kle");
    EXPECT_EQ(view.next, "Little");
    playFor(device, 88200 * 7 / 10);
    view = form->lyricsNow();
    EXPECT_EQ(view.sungBefore + "|" + view.sung + "|" + view.next, "Twin|kle|Little");
    playFor(device, 88200 * 6 / 10);
    view = form->lyricsNow();
    EXPECT_EQ(view.sung + "|" + view.sungAfter + "|" + view.next, "Lit|tle|");
    // At half speed the words keep their place in the music: "Lit" is sung at 2.4 s now.
    TCompileOptions slower;
    slower.tempoPercent = 50;
    form->setSongControls(slower);
    form->finishSongRebuild();
    EXPECT_EQ(form->facts.lyrics.back().syllables.front().ms, 2400);
    EXPECT_EQ(form->lyricsNow().sung, "Lit");

    form->stopBtnClick();
    returnAll();
    form->ejectBtnClick();
    form->FormKeyUp('W');
    form->playBtnClick();
    EXPECT_TRUE(form->lyricsNow().none);
}

} // namespace
} // namespace zb::app::test
