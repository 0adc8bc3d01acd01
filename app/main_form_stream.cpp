// What keeps playback going: buffers coming back from the device, the poll of the media player
// and the advance through the playlist when an entry has ended.
#include "app/main_form.h"

#include "synth/stream_protocol.h"

#include <algorithm>

namespace zb::app {

void TmainForm::bufferDone() {
    if (!synth())
        return;
    const bool heard = synth::bufferPlayed(*synth());
    showProgress();
    shell.processMessages();
    // A click handled just now may have ejected the song.
    if (!synth())
        return;
    // Handed back by the stop of a seek: the stream that plays now did not send it.
    if (!heard && !stopped)
        return;
    if (!stopped && !paused) {
        if (display.isDown(TControl::introBtn)) {
            terminate();
            return;
        }
        switch (synth::streamOn(*synth())) {
        case synth::TStreamStep::playing:
            break;
        case synth::TStreamStep::deviceFailed:
            deviceFailed();
            break;
        case synth::TStreamStep::ended:
            terminate();
            returnedBuffers = -4;
            advance();
            break;
        }
    } else if (stopped) {
        if (++returnedBuffers == 3)
            advance();
    }
}

void TmainForm::streamTick() {
    if (!synth() || stopped)
        return;
    if (synth()->deviceError) {
        deviceFailed();
        return;
    }
    // A recompiled song takes over at the device's next tick (10 ms), not at the window's
    // slower poll: what plays changes within the lead it renders ahead.
    songRebuildTick();
    showProgress(true);
}

void TmainForm::deviceFailed() {
    // Told once: the window closes.
    if (deviceFailureShown)
        return;
    deviceFailureShown = true;
    shell.showError("waveOut device error!");
    mayClose = true;
    shell.closeMainWindow();
}

void TmainForm::terminate() {
    synth()->stop();
    stopped = true;
    paused = false;
    putDown(TControl::stopBtn);
    setStatus("Playback terminated. Click [E]ject to unload MID.");
    display.enable(TControl::ejectBtn);
    mayClose = true;
    returnedBuffers = 1;
    view.repaint();
}

void TmainForm::rewindLoaded() {
    if (synth()) {
        synth()->playPos = 0;
        synth()->sync();
    } else if (mediaPlayer.isOpen()) {
        mediaPlayer.setPosition(mediaPlayer.start());
    }
}

void TmainForm::advance() {
    const bool repeat = display.isDown(TControl::repeatBtn);
    const bool shuffle = display.isDown(TControl::shuffleBtn);
    if (count == 0)
        return;
    if (count == 1) {
        if (repeat || shuffle) {
            rewindLoaded();
            playBtnClick();
        }
        return;
    }
    if (repeat) {
        ejectBtnClick();
        current = current >= count ? 1 : current + 1;
        updateTrackDisplay();
        playBtnClick();
    } else if (shuffle) {
        shell.randomize();
        const int next = std::clamp(shell.random(count), 0, count - 1) + 1;
        if (next == current) {
            rewindLoaded();
        } else {
            ejectBtnClick();
            current = next;
            updateTrackDisplay();
        }
        playBtnClick();
    } else if (current < count) {
        ejectBtnClick();
        ++current;
        updateTrackDisplay();
        playBtnClick();
    }
}

void TmainForm::TimerTimer() {
    switch (mediaPlayer.mode()) {
    case TMediaMode::notReady:
        setStatus("MCI not ready!");
        break;
    case TMediaMode::stopped:
        if (!stopped) {
            stopped = true;
            paused = false;
            putDown(TControl::stopBtn);
            setStatus("MCI stopped. Click [E]ject to unload WAV.");
            mayClose = true;
            enableTransport(false);
            advance();
        }
        break;
    case TMediaMode::playing:
        if (display.isDown(TControl::introBtn)) {
            if (mediaPlayer.position() - mediaPlayer.start() >= 10000) {
                stopBtnClick();
                if (display.isDown(TControl::repeatBtn) || display.isDown(TControl::shuffleBtn))
                    advance();
            }
        } else {
            setStatus("MCI playing " + mediaPlayer.fileName());
        }
        break;
    case TMediaMode::recording:
        break;
    case TMediaMode::seeking:
        setStatus("MCI seeking.");
        break;
    case TMediaMode::paused:
        setStatus("MCI paused. Click P[a]use to resume playback.");
        paused = true;
        stopped = false;
        putDown(TControl::pauseBtn);
        break;
    case TMediaMode::open:
        setStatus("MCI open.");
        break;
    }
    showProgress();
}

} // namespace zb::app
