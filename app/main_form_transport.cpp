// The transport of the player: play, pause, stop, eject, seeking by tenths, entry selection and
// the two toggles that reach the engine.
#include "app/main_form.h"
#include "app/paths.h"

#include <algorithm>

namespace zb::app {

namespace {
constexpr std::int64_t kBytesPerFrame = 4;
} // namespace

void TmainForm::enableTransport(bool running) {
    display.enable(TControl::pauseBtn, running);
    if (running)
        display.enable(TControl::stopBtn);
    for (const TControl c : {TControl::backwardBtn, TControl::forwardBtn, TControl::ejectBtn})
        display.enable(c, !running);
}

bool TmainForm::somethingLoaded() const {
    return synth() != nullptr || mediaPlayer.isOpen();
}

std::string TmainForm::entryName(int entry) const {
    if (entry < 1 || static_cast<std::size_t>(entry) > playList.entries.size())
        return {};
    return playList.entries[static_cast<std::size_t>(entry - 1)].fileName;
}

void TmainForm::playBtnClick() {
    putDown(TControl::playBtn);
    if (!stopped && !paused) {
        shell.beep();
        return;
    }
    if (busy)
        return;
    busy = true;

    if (synth() && paused) {
        // A paused song goes on where it is heard, as Pause does the second time.
        resumeIt();
        return;
    }
    if (synth()) {
        synth()->sync();
        if (synth()->playPos >= songLength || display.isDown(TControl::introBtn)) {
            synth()->playPos = 0;
            synth()->sync();
        }
        enableTransport(true);
        playIt();
        return;
    }
    if (mediaPlayer.isOpen()) {
        const std::int64_t start = mediaPlayer.start();
        const std::int64_t played = mediaPlayer.position() - start;
        if (played >= mediaPlayer.length() ||
            (display.isDown(TControl::introBtn) && played >= 10000))
            mediaPlayer.setPosition(start);
        startMediaPlayer();
        return;
    }
    loadAndPlay();
}

void TmainForm::startMediaPlayer() {
    showProgress();
    paused = stopped = busy = false;
    enableTransport(true);
    mediaPlayer.play();
    shell.setTimer(true);
    view.repaint();
}

void TmainForm::failLoad() {
    messageShown = true;
    stopped = mayClose = true;
    paused = busy = false;
    putDown(TControl::stopBtn);
    // Nothing is loaded, so the selected MIDI entry may be recorded again next time.
    if (!synth() && isMidiName(entryName(current))) {
        display.enable(TControl::recordBtn);
        display.enable(TControl::wavLbl);
    }
    view.repaint();
}

void TmainForm::loadAndPlay() {
    if (display.isDown(TControl::shuffleBtn) && count > 0) {
        shell.randomize();
        current = std::clamp(shell.random(count), 0, count - 1) + 1;
        updateTrackDisplay();
    }
    const std::string entry = entryName(current);
    const std::string ext = lowerCase(extractFileExt(entry));
    if (entry.empty() || (!isMidiName(entry) && ext != ".wav")) {
        stopped = true;
        // An entry of another kind leaves nothing loaded; no entry at all changes nothing.
        mayClose = mayClose || !entry.empty();
        paused = busy = false;
        putDown(TControl::stopBtn);
        shell.beep();
        view.repaint();
        return;
    }
    if (ext == ".wav") {
        // The media player would play into nothing without a word.
        if (waveOut.devices().empty()) {
            shell.showError("waveOut device error!");
            setStatus(kNoSoundOutput);
            failLoad();
            return;
        }
        mediaPlayer.close();
        mediaPlayer.setFileName(entry);
        mediaPlayer.open();
        if (!mediaPlayer.isOpen()) {
            // A file the media player cannot open must not leave the transport busy for good.
            shell.showError("Can't open file " + entry);
            setStatus("Can't open file " + extractFileName(entry));
            failLoad();
            return;
        }
        mediaPlayer.setNotify(true);
        mediaPlayer.setTimeFormatMilliseconds();
        // The clock follows the file several times a second, not only at the one-second timer.
        mediaPlayer.setOnTick([this] { showProgress(true); });
        setStatus(entry);
        startMediaPlayer();
        return;
    }
    if (loadMidi(entry))
        playIt();
}

bool TmainForm::loadMidi(const std::string& entry) {
    if (!display.isDown(TControl::recordBtn)) {
        display.disable(TControl::recordBtn);
        display.disable(TControl::wavLbl);
    }
    mayClose = false;
    if (const auto opened = loaded.openEngine(
            waveOut, [this](int) { bufferDone(); }, options.waveOutDevice, *buffers,
            [this] { streamTick(); });
        !opened.ok()) {
        shell.showError(opened.message);
        setStatus(opened.message);
        failLoad();
        return false;
    }
    synth()->saturate = options.saturate;
    synth()->recordFileName = appendBackslash(options.destinationDirectory) +
                              changeFileExt(extractFileName(entry), ".WAV");
    synth()->recording = display.isDown(TControl::recordBtn);
    synth()->recorder.onError = [this](const std::string& text) {
        setStatus(text);
        messageShown = true;
    };
    if (muted)
        synth()->mute();

    shell.setHourglass(true);
    setStatus("Loading MID and PRG files...");
    const synth::TSongSettings settings = songSettings();
    songLength = 0;
    ++compileCount;
    const auto fail = [this](const std::string& message, const std::string& status) {
        if (!message.empty())
            shell.showError(message);
        setStatus(status);
        killSynthAndSamples();
        shell.setHourglass(false);
        failLoad();
        return false;
    };
    if (const auto compiled = loaded.compile(entry, settings); !compiled.ok())
        return fail(compiled.message, "Can't parse file " + extractFileName(entry));
    songLength = loaded.length();
    if (const auto samplesLoaded =
            loaded.loadSamples(settings, [this](const std::string& text) { setStatus(text); });
        !samplesLoaded.ok())
        return fail(samplesLoaded.message, "Can't load WAVs.");
    loaded.rewind();
    loadedControls = songControls.clamped();
    facts = songFacts(entry, settings.drums, loadedControls.tempoPercent);
    volumeUpDownClick();
    balanceUpDownClick();
    currentSong = entry;
    shell.setHourglass(false);
    return true;
}

void TmainForm::playIt() {
    mayClose = false;
    putDown(TControl::playBtn);
    setStatus("Playing " + currentSong);
    showProgress();
    shell.processMessages();
    if (!synth())
        return;
    synth()->start();
    stopped = paused = false;
    enableTransport(true);
    busy = false;
    view.repaint();
    // A device that refuses the first buffers would never report one back: nothing would move.
    if (synth()->deviceError)
        deviceFailed();
}

void TmainForm::pauseBtnClick() {
    if (stopped) {
        shell.beep();
        return;
    }
    if (busy)
        return;
    busy = true;
    if (!synth()) {
        if (mediaPlayer.isOpen()) {
            mediaPlayer.pause();
            if (paused) {
                putDown(TControl::playBtn);
                setStatus("Playing " + mediaPlayer.fileName());
            } else {
                putDown(TControl::pauseBtn);
                setStatus("MCI paused. Click P[a]use to resume.");
            }
            paused = !paused;
            stopped = false;
        } else {
            shell.beep();
        }
    } else if (!paused) {
        synth()->pause();
        putDown(TControl::pauseBtn);
        setStatus("Playback paused. Click P[a]use to resume.");
        paused = true;
        stopped = false;
        showProgress();
    } else {
        resumeIt();
        return;
    }
    busy = false;
    view.repaint();
}

void TmainForm::resumeIt() {
    putDown(TControl::playBtn);
    setStatus("Playing " + currentSong);
    synth()->resume();
    stopped = paused = busy = false;
    enableTransport(true);
    view.repaint();
}

void TmainForm::stopBtnClick() {
    if (busy)
        return;
    putDown(TControl::stopBtn);
    view.repaint();
    if (stopped) {
        shell.beep();
        return;
    }
    stopped = true;
    paused = false;
    if (synth()) {
        synth()->stop();
        setStatus("Playback stopped. Click [E]ject to unload MID.");
        returnedBuffers = -4;
    } else if (mediaPlayer.isOpen()) {
        mediaPlayer.stop();
        setStatus("MCI stopped. Click [E]ject to unload WAV.");
    } else {
        shell.beep();
    }
    mayClose = true;
    enableTransport(false);
    view.repaint();
}

void TmainForm::ejectBtnClick() {
    display.disable(TControl::ejectBtn);
    if (synth()) {
        synth()->renderPos = 0;
        synth()->playPos = 0;
        killSynthAndSamples();
        stopped = true;
        paused = false;
        putDown(TControl::stopBtn);
    } else {
        shell.setTimer(false);
        mediaPlayer.close();
    }
    display.release(TControl::playBtn);
    if (!keepControls)
        songControls = {};
    updateTrackDisplay();
    mayClose = true;
}

void TmainForm::killSynthAndSamples() {
    // A recompilation of the song that goes would hand over into nothing.
    rebuild.reset();
    rebuildAgain = false;
    facts = {};
    loaded.unload();
}

void TmainForm::placeAt(std::int64_t position) {
    // Positions are whole frames; sync would round down anyway, the display must agree.
    synth()->playPos = position - position % kBytesPerFrame;
    synth()->sync();
}

void TmainForm::backwardBtnClick() {
    stepTenth(-1);
}

void TmainForm::forwardBtnClick() {
    stepTenth(1);
}

void TmainForm::stepTenth(int direction) {
    if (busy)
        return;
    busy = true;
    if (synth()) {
        const std::int64_t target = synth()->playPos + direction * (songLength / 10);
        placeAt(direction < 0 ? std::max<std::int64_t>(target, 0)
                              : std::min<std::int64_t>(target, songLength));
        showProgress();
    } else if (mediaPlayer.isOpen()) {
        const std::int64_t start = mediaPlayer.start();
        const std::int64_t length = mediaPlayer.length();
        const std::int64_t target = mediaPlayer.position() + direction * ((length - start) / 10);
        mediaPlayer.setPosition(direction < 0 ? std::max(target, start) : std::min(target, length));
        showProgress();
    } else {
        shell.beep();
    }
    busy = false;
}

void TmainForm::seekTo(double fraction) {
    if (busy)
        return;
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (synth() && !(synth()->recording && !stopped)) {
        busy = true;
        const auto target = static_cast<std::int64_t>(fraction * static_cast<double>(songLength));
        if (stopped) {
            placeAt(target);
        } else {
            // The stream starts again at the target; the buffers the stop hands back come back
            // unheard and ask for nothing.
            synth()->stop();
            placeAt(target);
            synth()->start();
            if (paused)
                synth()->pause();
            if (synth()->deviceError)
                deviceFailed();
        }
        showProgress();
        busy = false;
        view.repaint();
    } else if (mediaPlayer.isOpen()) {
        const std::int64_t start = mediaPlayer.start();
        mediaPlayer.setPosition(start +
                                static_cast<std::int64_t>(
                                    fraction * static_cast<double>(mediaPlayer.length() - start)));
        showProgress();
    } else {
        shell.beep();
    }
}

void TmainForm::unloadForSelection() {
    if (!somethingLoaded())
        return;
    if (!stopped)
        stopBtnClick();
    ejectBtnClick();
}

void TmainForm::skipBackBtnClick() {
    if (count == 0 || current <= 1)
        shell.beep();
    else
        trackBtnClick(current - 1);
}

void TmainForm::skipForwardBtnClick() {
    if (count == 0 || count <= current)
        shell.beep();
    else
        trackBtnClick(current + 1);
}

void TmainForm::trackBtnClick(int entry) {
    unloadForSelection();
    current = entry;
    updateTrackDisplay();
}

void TmainForm::muteBtnClick() {
    muted = !muted;
    display[TControl::muteBtn].down = muted;
    if (synth()) {
        if (muted)
            synth()->mute();
        else
            synth()->unMute();
    }
    view.repaint();
}

void TmainForm::recordBtnClick() {
    if (synth()) {
        display[TControl::recordBtn].down = synth()->recording;
        shell.beep();
    }
    view.repaint();
}

} // namespace zb::app
