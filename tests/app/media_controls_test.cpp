#include "app/media_controls.h"
#include "player_fixture.h"

namespace zb::app::test {

namespace {

using enum TPlaybackStatus;

// The commands of the desktop's media keys keep to their names where the buttons toggle.
TEST_F(PlayerTest, MediaCommandsPlayPauseAndStopWithoutToggling) {
    startWith({midi("little-tune.mid"), midi("three-notes.mid")});
    TMediaControls controls(*form);
    EXPECT_EQ(controls.state().status, stopped);
    controls.pause(); // nothing plays: nothing to pause, and no beep
    controls.play();
    EXPECT_EQ(controls.state().status, playing);
    controls.play(); // already playing: no restart, no beep
    EXPECT_EQ(form->compileCount, 1);
    controls.pause();
    controls.pause(); // a second Pause does not resume
    EXPECT_EQ(controls.state().status, paused);
    EXPECT_EQ(status(), "Playback paused. Click P[a]use to resume.");
    controls.playPause();
    EXPECT_EQ(controls.state().status, playing);
    controls.playPause();
    EXPECT_EQ(controls.state().status, paused);
    controls.play();
    EXPECT_EQ(controls.state().status, playing);
    controls.stop();
    EXPECT_EQ(controls.state().status, stopped);
    EXPECT_EQ(status(), "Playback stopped. Click [E]ject to unload MID.");
    controls.stop(); // as the button: a stop when stopped beeps
    EXPECT_EQ(shell.beeps, 1);
    EXPECT_EQ(form->compileCount, 1);
}

TEST_F(PlayerTest, NextAndPreviousPlayTheNewEntryOnlyWhenASongWasPlaying) {
    startWith({midi("three-notes.mid"), midi("little-tune.mid"), midi("three-notes.mid")});
    TMediaControls controls(*form);
    EXPECT_FALSE(controls.state().canGoPrevious);
    controls.next();
    EXPECT_EQ(form->current, 2);
    EXPECT_EQ(controls.state().status, stopped);
    controls.play();
    controls.next();
    EXPECT_EQ(form->current, 3);
    EXPECT_EQ(controls.state().status, playing);
    EXPECT_EQ(status(), "Playing " + midi("three-notes.mid"));
    EXPECT_FALSE(controls.state().canGoNext);
    controls.next(); // no further entry: the song plays on

    EXPECT_EQ(controls.state().status, playing);
    controls.pause();
    controls.previous(); // paused is not playing: the selection moves, nothing starts
    EXPECT_EQ(form->current, 2);
    EXPECT_EQ(controls.state().status, stopped);
    EXPECT_EQ(form->compileCount, 2);
}

TEST_F(PlayerTest, MediaStateNamesTheSongAndItsLengthOnceLoaded) {
    startWith({midi("three-notes.mid")});
    TMediaControls controls(*form);
    TMediaState state = controls.state();
    EXPECT_EQ(state.entry, 1);
    EXPECT_EQ(state.title, "three-notes");
    EXPECT_EQ(state.path, midi("three-notes.mid"));
    EXPECT_EQ(state.lengthUs, 0);
    EXPECT_TRUE(state.canPlay());
    controls.play();
    state = controls.state();
    // 110,248 bytes are 27,562 frames at 22,050 Hz.
    EXPECT_EQ(form->songLength, 110248);
    EXPECT_EQ(state.lengthUs, 1'249'977);
    EXPECT_NE(state, TMediaState{});
    controls.stop();
    form->FormKeyUp('E');
    EXPECT_EQ(controls.state().lengthUs, 0);
}

} // namespace

} // namespace zb::app::test
