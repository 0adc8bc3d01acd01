#pragma once

#include "app/banner.h"
#include "app/instrument_sets.h"
#include "app/main_display.h"
#include "app/media_player.h"
#include "app/options.h"
#include "app/playlist.h"
#include "app/settings.h"
#include "app/shell.h"
#include "app/song_facts.h"
#include "app/song_rebuild.h"
#include "compiler/sample_rec.h"
#include "synth/audio_output.h"
#include "synth/loaded_song.h"
#include "synth/synth.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zb::app {

class TmainForm;

// What the player logic needs from the main window itself: text measurement for the shortened
// destination label, repainting after a change of the display state, and the modal dialogs it
// opens (each dialog edits what it is handed and reports OK or Cancel).
class MainView {
public:
    MainView() = default;
    MainView(const MainView&) = delete;
    MainView& operator=(const MainView&) = delete;
    virtual ~MainView() = default;

    virtual int textWidth(const std::string& text) = 0; // in the labels' font, in pixels
    virtual void repaint() = 0;
    virtual void runPlaylistDialog(TmainForm& form) = 0;
    virtual void runOptionsDialog(TmainForm& form) = 0;
    // The modeless windows of the musician's controls: shown, or raised when they are open.
    virtual void showChannels(TmainForm& form) = 0;
    virtual void showLyrics(TmainForm& form) = 0;
};

// Virtual key codes of the keyboard shortcuts (only the low byte of a key code is looked at).
namespace keys {
inline constexpr int left = 0x25, up = 0x26, right = 0x27, down = 0x28;
inline constexpr int keypadPlus = 0x6B, keypadMinus = 0x6D;
inline constexpr int end = 0x23, home = 0x24;
} // namespace keys

enum class TUpDownDirection { next, previous };

// What the status line says when there is no sound output at all (no server, no device).
inline constexpr const char* kNoSoundOutput =
    "No sound output device: songs can't be played (the playlist, options and help work).";

// The player: settings, playlist and the playback controller behind the main window.
//
// Everything runs on the window's thread. Buffer-done notifications of the audio device arrive
// there as calls of bufferDone, its ticks as calls of streamTick; the media player of WAV
// entries is polled once a second by TimerTimer. The display state (display) is the only thing
// the window draws. Ownership: the output buffers, the settings, the playlist and the loaded song
// (its sample records and the TSynth, which owns the compiled song and is released before the
// sample records it reads) belong to this object.
class TmainForm final {
public:
    TmainForm(Shell& shell, MainView& view, synth::AudioOutput& waveOut, MediaPlayer& mediaPlayer);
    TmainForm(const TmainForm&) = delete;
    TmainForm& operator=(const TmainForm&) = delete;
    ~TmainForm();

    // Start-up: buffers, settings files, command line. False when the window must close at once
    // (no memory for the output buffers).
    bool FormCreate(const std::vector<std::string>& args);
    // Every activation of the window; the first one also loads the demonstration list of a first
    // start and starts a file passed on the command line.
    void FormActivate();
    // May the window close: stops playback first; false while a song is still being loaded.
    bool FormCloseQuery();
    // Shut-down: ejects, releases the engine, writes the settings files.
    void FormClose();

    // A mouse click on a control: toggles change their state by their group's rule first.
    void buttonClick(TControl control);
    // A click on an up-down counter (volumeUpDown or balanceUpDown).
    void upDownClick(TControl upDown, TUpDownDirection direction);
    void FormKeyUp(int key);
    void emulateButtonClick(TControl control);
    void emulateUpDownClick(TControl upDown, TUpDownDirection direction);
    void filesDropped(const std::vector<std::string>& files);
    // Files a second start of the program handed over (absolute paths or bare names): what
    // plays is stopped and ejected, the files go to the head of the playlist as the command
    // line's do at start-up, and the first plays. Anything but files is ignored.
    void filesHandedOver(const std::vector<std::string>& files);

    void playBtnClick();
    void pauseBtnClick();
    void stopBtnClick();
    void ejectBtnClick();
    void backwardBtnClick();
    void forwardBtnClick();
    // Moves the loaded song to a fraction (0..1) of its length, as a click on the position gauge
    // does: a MIDI song's play position (one that plays goes on from there at once, a paused
    // one stays paused there), a WAV entry's media player. Beeps when nothing is loaded, and
    // for a song being recorded, whose recording would be cut.
    void seekTo(double fraction);
    void skipBackBtnClick();
    void skipForwardBtnClick();
    void trackBtnClick(int entry); // track1BtnClick .. track0BtnClick (entry 10)
    void track1BtnClick() { trackBtnClick(1); }
    void track2BtnClick() { trackBtnClick(2); }
    void track3BtnClick() { trackBtnClick(3); }
    void track4BtnClick() { trackBtnClick(4); }
    void track5BtnClick() { trackBtnClick(5); }
    void track6BtnClick() { trackBtnClick(6); }
    void track7BtnClick() { trackBtnClick(7); }
    void track8BtnClick() { trackBtnClick(8); }
    void track9BtnClick() { trackBtnClick(9); }
    void track0BtnClick() { trackBtnClick(10); }
    void muteBtnClick();
    void recordBtnClick();
    void volumeBtnClick();
    void balanceBtnClick();
    void volumeUpDownClick();
    void balanceUpDownClick();
    void helpBtnClick();
    void minimizeButtonClick();
    void playListBtnClick();
    void optionsBtnClick();
    void TimerTimer();
    void bannerTimerTimer();

    // The device handed a buffer back; the advance message after an entry ended.
    void bufferDone();
    // The device has played a little more: the clock follows what is heard.
    void streamTick();
    void advance();

    // Display operations.
    void initTrackDisplay();
    void updateTrackDisplay();
    // The clock and the gauge from the position heard; whenMoved: redrawn only if they moved.
    void showProgress(bool whenMoved = false);
    void volControlsEnable();
    void volControlsDisable();

    // After the options dialog closed with OK.
    void optionsChanged(const TOptions& edited);

    // Instruments from a SoundFont: its set is imported (once; reused after) on a worker thread
    // while the player goes on; when it is complete, the patch and sample directories point at
    // it and the next song plays with it. A failed or cancelled import changes nothing and says
    // why in the status line. The window polls instrumentImportTick while one runs.
    void chooseInstruments(const std::string& fontPath);
    void cancelInstrumentImport();
    void instrumentImportTick();
    std::unique_ptr<TInstrumentImport> instrumentImport;

    TMainDisplay display;
    TOptions options;
    TPlayList playList;
    int count = 0;
    int current = 0;
    TPosition mainPosition;

    bool stopped = true;
    bool paused = false;
    bool busy = false;
    bool mayClose = true;
    bool muted = false;
    // The loaded MIDI song: its sample records and the engine, released together.
    synth::TLoadedSong loaded;
    synth::TSynth* synth() const { return loaded.engine(); }
    // The player of WAV entries, for those who show what it plays.
    const MediaPlayer& wavPlayer() const { return mediaPlayer; }
    std::int32_t songLength = 0;
    std::string currentSong;
    std::int32_t returnedBuffers = 0;

    std::string homePath;
    std::string settingsPath; // the folder of the settings files
    std::string dataPath;     // an installed program's read-only data; empty in a build tree
    std::string iniFile;
    std::string drumFile;
    bool settingsMovedAway = false;
    bool firstStart = false;
    bool filesPassed = false; // files came from the command line
    bool firstActivation = true;
    bool closed = false;
    // How many songs were compiled: lets callers see that a replay did not recompile.
    int compileCount = 0;
    // The musician's controls the compilations apply (neutral: the song as written). Eject sets
    // them back to neutral unless keepControls.
    compiler::TCompileOptions songControls;
    bool keepControls = false;
    // New controls, clamped as the compiler clamps them. A loaded MIDI song is compiled again
    // with them on a worker thread while it plays on; songRebuildTick hands the new compilation
    // over at the same musical position. A failed one leaves the song as it plays, sets the
    // controls back to what it plays with and says why in the status line.
    void setSongControls(const compiler::TCompileOptions& controls);
    // Polled by the window: hands a finished recompilation over. True while one is running.
    bool songRebuildTick();
    // Waits for a running recompilation and hands it over (for tests and for closing).
    void finishSongRebuild();
    // What the loaded MIDI song holds (empty when none is loaded) and where it is heard.
    TSongFacts facts;
    std::int64_t heardBytes() const;
    // How loud a slot of the loaded song sounds now, 0..127 (0 for a silenced slot).
    int channelLevel(int slot) const;
    TLyricsView lyricsNow() const { return lyricsAt(facts.lyrics, heardBytes()); }

private:
    std::unique_ptr<TSongRebuild> rebuild;
    bool rebuildAgain = false;                // the controls changed again while it ran
    compiler::TCompileOptions loadedControls; // what the loaded song was compiled with
    void startSongRebuild();
    synth::TSongSettings songSettings() const;
    // The loaded MIDI song's play position at position, rounded down to a whole frame.
    void placeAt(std::int64_t position);
    // Backward (-1) and Forward (1): a tenth of the song, stopping at its ends.
    void stepTenth(int direction);
    void playIt();
    void resumeIt(); // the paused song goes on where it is heard
    // The device failed while playing: "waveOut device error!", and the window closes.
    void deviceFailed();
    bool deviceFailureShown = false;
    // The status line holds a failure the user has not acted on yet (a click, a key, a drop).
    bool messageShown = false;
    void killSynthAndSamples();
    void terminate();
    void loadAndPlay();
    bool loadMidi(const std::string& fileName);
    void failLoad();
    void startMediaPlayer(); // the WAV entry is open and positioned
    void unloadForSelection();
    void rewindLoaded();
    bool somethingLoaded() const;
    void dispatchClick(TControl control);
    void putDown(TControl control);
    // Running: pause and stop usable, seeking and eject not; stopped: the other way round, with
    // stop left as it is.
    void enableTransport(bool running);
    // The volume and balance counters into the engine's multipliers.
    void applyVolume() const;
    void setStatus(const std::string& text);
    std::string entryName(int entry) const;

    Shell& shell;
    MainView& view;
    synth::AudioOutput& waveOut;
    MediaPlayer& mediaPlayer;
    std::unique_ptr<synth::TOutputBuffers> buffers;
    TBanner banner;
};

} // namespace zb::app
