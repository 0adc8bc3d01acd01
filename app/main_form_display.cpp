// What the main window shows: track buttons, the selected entry, the running time, volume and
// balance.
#include "app/main_form.h"
#include "app/paths.h"

#include "instruments/rounding.h"
#include "synth/config.h"

#include <algorithm>
#include <cstdio>

namespace zb::app {

namespace {

// The controls that only mean something for a MIDI song.
constexpr TControl kVolumeControls[] = {
    TControl::volumeUpDown, TControl::balanceUpDown, TControl::volumeBtn, TControl::balanceBtn,
    TControl::volumePanel,  TControl::balanceGauge,  TControl::muteBtn};

// The widest the destination label may be: the record panel (137 pixels) less 16.
constexpr int kMaxWavLabelWidth = 137 - 16;

std::string doubleAmpersands(const std::string& text) {
    std::string result;
    for (char c : text) {
        result += c;
        if (c == '&')
            result += '&';
    }
    return result;
}

// Drops n characters from the front, a character being a whole UTF-8 sequence, so that the label
// never shows half of one.
std::string dropCharacters(const std::string& text, int n) {
    std::size_t i = 0;
    for (; n > 0 && i < text.size(); --n) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
    }
    return text.substr(i);
}

// "..." and then text; appended rather than inserted in front, which g++ 12 at -O3 misreads as
// an overlapping copy.
std::string withEllipsis(const std::string& text) {
    std::string result = "...";
    result.append(text);
    return result;
}

} // namespace

void TmainForm::setStatus(const std::string& text) {
    display.status = text;
    view.repaint();
}

void TmainForm::putDown(TControl control) {
    display.putDown(control);
}

void TmainForm::initTrackDisplay() {
    for (int i = 1; i <= 10; ++i) {
        const bool exists = i <= static_cast<int>(playList.entries.size());
        std::string hint = "Track ";
        static constexpr const char* keys[] = {"[1]: ", "[2]: ", "[3]: ", "[4]: ", "[5]: ",
                                               "[6]: ", "[7]: ", "[8]: ", "[9]: ", "1[0]: "};
        hint.append(keys[i - 1]);
        hint.append(exists ? entryName(i) : std::string("No file"));
        auto& button = display[trackButton(i)];
        button.hint = hint;
        button.enabled = exists;
    }
    count = static_cast<int>(std::min<std::size_t>(playList.entries.size(), 0x7FFFFFFF));
    display.enable(TControl::playBtn, count != 0);
    if (current == 0)
        current = 1;
    if (count < current)
        current = count;
    updateTrackDisplay();
}

void TmainForm::updateTrackDisplay() {
    if (!somethingLoaded()) {
        showProgress();
        for (TControl c : {TControl::ejectBtn, TControl::pauseBtn, TControl::stopBtn,
                           TControl::backwardBtn, TControl::forwardBtn})
            display.disable(c);
    }
    if (current == 0) {
        display.trackLbl.clear();
        display.fileKindLabel.clear();
        display.trackNr.clear();
        for (int i = 1; i <= 10; ++i)
            display.release(trackButton(i));
        display.disable(TControl::skipBackBtn);
        display.disable(TControl::skipForwardBtn);
        if (!synth()) {
            display.disable(TControl::recordBtn);
            display[TControl::wavLbl].caption = "No destination WAV";
            display[TControl::wavLbl].hint = "No destination WAV";
            display.disable(TControl::wavLbl);
            display.status = "Empty play[l]ist.";
        }
        view.repaint();
        return;
    }
    if (current <= 10) {
        display.putDown(trackButton(current));
    } else {
        for (int i = 1; i <= 10; ++i)
            display.release(trackButton(i));
    }
    display.enable(TControl::skipBackBtn, current > 1);
    display.enable(TControl::skipForwardBtn, current < count);
    display.trackLbl = "Track";
    display.trackNr = std::to_string(current);
    if (display.trackNr.size() > 2)
        display.trackNr = display.trackNr.substr(display.trackNr.size() - 2);
    if (synth()) {
        view.repaint();
        return;
    }
    const std::string entry = entryName(current);
    const std::string ext = lowerCase(extractFileExt(entry));
    auto& wavLbl = display[TControl::wavLbl];
    if (isMidiName(entry)) {
        display.fileKindLabel = "MIDI";
        display.enable(TControl::recordBtn);
        const std::string path = appendBackslash(options.destinationDirectory) +
                                 changeFileExt(extractFileName(entry), ".WAV");
        wavLbl.hint = "Destination WAV: " + path;
        std::string caption = doubleAmpersands(path);
        if (view.textWidth(caption) > kMaxWavLabelWidth) {
            caption = withEllipsis(dropCharacters(caption, 1));
            while (view.textWidth(caption) > kMaxWavLabelWidth && caption.size() > 4)
                caption = withEllipsis(dropCharacters(caption, 4));
        }
        wavLbl.caption = caption;
        display.enable(TControl::wavLbl);
        volControlsEnable();
    } else {
        display.fileKindLabel = ext == ".wav" ? "WAV" : "";
        display.disable(TControl::recordBtn);
        wavLbl.caption = "No destination WAV";
        wavLbl.hint = "No destination WAV";
        display.disable(TControl::wavLbl);
        volControlsDisable();
        if (ext != ".wav") {
            setStatus("Unknown filetype.");
            return;
        }
    }
    setStatus(entry);
}

void TmainForm::showProgress(bool whenMoved) {
    std::int64_t seconds = 0;
    std::int64_t percent = 0;
    if (synth()) {
        const Real played = static_cast<Real>(synth()->heardPos());
        seconds = static_cast<std::int64_t>(roundHalfEven(played * (1 / Real(88200))));
        if (songLength >= 1)
            percent = static_cast<std::int64_t>(roundHalfEven(played * 100 / songLength));
    } else if (mediaPlayer.isOpen()) {
        const std::int64_t played =
            std::max<std::int64_t>(mediaPlayer.position() - mediaPlayer.start(), 0);
        seconds = played / 1000;
        const std::int64_t length = mediaPlayer.length();
        if (length > 0)
            percent = played * 100 / length;
    }
    const int gauge = static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100));
    const auto minutes = static_cast<int>((seconds / 60) % 60);
    const auto secs = static_cast<int>(seconds % 60);
    const std::array<int, 4> digits{minutes / 10, minutes % 10, secs / 10, secs % 10};
    if (whenMoved && gauge == display.positionGauge && digits == display.digits)
        return;
    display.positionGauge = gauge;
    display.digits = digits;
    view.repaint();
}

void TmainForm::applyVolume() const {
    if (synth())
        synth()->changeVolume(display.volumePosition * 0.1L, display.balancePosition * 0.02L);
}

void TmainForm::volumeUpDownClick() {
    applyVolume();
    char text[16];
    std::snprintf(text, sizeof text, "%3.1f", static_cast<double>(display.volumePosition * 0.1L));
    display.volumeText = text;
    view.repaint();
}

void TmainForm::balanceUpDownClick() {
    applyVolume();
    display.balanceGaugeValue = display.balancePosition;
    view.repaint();
}

void TmainForm::volumeBtnClick() {
    display.volumePosition = 10;
    volumeUpDownClick();
}

void TmainForm::balanceBtnClick() {
    display.balancePosition = 50;
    balanceUpDownClick();
}

void TmainForm::volControlsEnable() {
    for (TControl c : kVolumeControls)
        display.enable(c);
}

void TmainForm::volControlsDisable() {
    for (TControl c : kVolumeControls)
        display.disable(c);
}

} // namespace zb::app
