// The main window's life: start-up and shut-down with the settings files, activation, closing,
// and the way clicks, keys and dropped files reach the handlers.
#include "app/main_form.h"
#include "app/paths.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <new>
#include <utility>

namespace zb::app {

TmainForm::TmainForm(Shell& shell, MainView& view, synth::AudioOutput& waveOut,
                     MediaPlayer& mediaPlayer)
    : shell(shell), view(view), waveOut(waveOut), mediaPlayer(mediaPlayer) {}

TmainForm::~TmainForm() {
    // The engine reads the sample data up to its last moment.
    killSynthAndSamples();
}

bool TmainForm::FormCreate(const std::vector<std::string>& arguments) {
    // Before anything changes the working directory.
    std::vector<std::string> args;
    for (const std::string& argument : arguments)
        args.push_back(argumentPath(argument));
    mayClose = true;
    filesPassed = false;
    try {
        buffers = std::make_unique<synth::TOutputBuffers>();
    } catch (const std::bad_alloc&) {
        shell.showError("Insufficient memory - aborting!");
        return false;
    }

    homePath = getHomePath();
    dataPath = installedDataPath();
    settingsMovedAway = false;
    if (dataPath.empty()) {
        settingsPath = getSettingsPath(homePath, settingsMovedAway);
        setDefaultDirectories(options, homePath);
    } else {
        // Installed: nothing is written beside the program; the user's folders are made here
        // so that saving a playlist or recording finds them.
        settingsPath = userConfigPath();
        if (settingsPath.empty())
            settingsPath = getSettingsPath(homePath, settingsMovedAway);
        setInstalledDirectories(options, dataPath, userDataPath(), userMusicPath());
        for (const std::string& folder :
             {settingsPath, options.playlistDirectory, options.destinationDirectory}) {
            std::error_code ec;
            std::filesystem::create_directories(folder, ec);
        }
    }
    iniFile = settingsPath + kSettingsFile;
    drumFile = settingsPath + kDrumsFile;
    mainPosition = {};
    readSiblingSettings(settingsPath + kSiblingSettingsFile, options);

    TSettings settings;
    settings.options = options;
    firstStart = !readSettings(iniFile, settings);
    options = settings.options;
    if (!firstStart) {
        mainPosition = settings.mainPosition;
        const TPlayControl& control = settings.playControl;
        display.volumePosition = std::clamp(control.volume, 0, 99);
        display.balancePosition = std::clamp(control.balance, 0, 100);
        muted = control.mute;
        display[TControl::muteBtn].down = muted;
        if (control.repeat)
            display.putDown(TControl::repeatBtn);
        if (control.shuffle)
            display.putDown(TControl::shuffleBtn);
        display[TControl::introBtn].down = control.intro;
        if (!control.playlist.empty()) {
            current = std::max(control.track, 0);
            if (loadPlayList(playList, control.playlist))
                playList.fileName = control.playlist;
        }
    }

    if (!args.empty()) {
        std::string first = args.front();
        const std::string ext = upperCase(extractFileExt(first));
        if (!hasDirectoryPart(first) && isMidiName(first))
            first = appendBackslash(options.midiDirectory) + first;
        else if (!hasDirectoryPart(first) && ext == ".WAV")
            first = appendBackslash(options.sampleDirectory) + first;
        if (fileExists(first)) {
            for (std::string* dir :
                 {&options.midiDirectory, &options.patchDirectory, &options.sampleDirectory,
                  &options.destinationDirectory, &options.playlistDirectory})
                if (!directoryExists(*dir))
                    *dir = homePath;
            if (insertPassedFiles(playList, args, options.midiDirectory, options.sampleDirectory) >
                0) {
                filesPassed = true;
                current = 1;
            }
        } else {
            std::string* dirs[] = {&options.midiDirectory, &options.patchDirectory,
                                   &options.sampleDirectory, &options.destinationDirectory};
            for (std::size_t i = 0; i < args.size() && i < 4; ++i)
                if (directoryExists(args[i]))
                    *dirs[i] = args[i];
        }
    }

    *options.drumTable = defaultDrumTable();
    readDrumsFile(drumFile, *options.drumTable);

    std::error_code ec;
    std::filesystem::current_path(options.midiDirectory, ec);

    char text[16];
    std::snprintf(text, sizeof text, "%3.1f", display.volumePosition * 0.1);
    display.volumeText = text;
    display.balanceGaugeValue = display.balancePosition;
    view.repaint();
    return true;
}

void TmainForm::FormActivate() {
    const bool first = firstActivation;
    firstActivation = false;
    if (first && firstStart) {
        shell.help(helpContents);
        if (!filesPassed && directoryExists(options.midiDirectory))
            loadDemoPlaylist(playList, options.playlistDirectory, options.midiDirectory,
                             dataPath.empty() ? options.playlistDirectory : dataPath + "ZbL");
        firstStart = false;
    }
    // A message the user has not acted on yet stays in the status line.
    const std::string message = display.status;
    initTrackDisplay();
    if (messageShown)
        setStatus(message);
    if (first && settingsMovedAway)
        setStatus("Settings are kept in " + settingsPath + " (the program's folder is read-only)");
    if (first && waveOut.devices().empty()) {
        setStatus(kNoSoundOutput);
        messageShown = true;
    }
    if (!fileExists(homePath + "No banners!")) {
        banner.prepareBanner(shell);
        shell.setBannerTimer(true, banner.interval());
    }
    if (first && filesPassed)
        emulateButtonClick(TControl::playBtn);
}

void TmainForm::bannerTimerTimer() {
    display.caption = banner.bannerTimerTimer(shell);
    shell.setBannerTimer(true, banner.interval());
    view.repaint();
}

bool TmainForm::FormCloseQuery() {
    if (!mayClose)
        stopBtnClick();
    return mayClose;
}

void TmainForm::FormClose() {
    if (closed)
        return;
    closed = true;
    if (synth())
        ejectBtnClick();
    killSynthAndSamples();
    shell.setTimer(false);
    mediaPlayer.close();
    buffers.reset();

    if (playList.modified && shell.ask("Save playlist?"))
        savePlaylist(playList, options.playlistDirectory, shell);

    TSettings settings;
    settings.options = options;
    settings.mainPosition = mainPosition;
    TPlayControl& control = settings.playControl;
    control.volume = display.volumePosition;
    control.balance = display.balancePosition;
    control.mute = muted;
    control.repeat = display.isDown(TControl::repeatBtn);
    control.shuffle = !control.repeat && display.isDown(TControl::shuffleBtn);
    control.intro = display.isDown(TControl::introBtn);
    control.playlist = playList.fileName;
    control.track = current;
    writeSettings(iniFile, settings);
    writeDrumsFile(drumFile, *options.drumTable);

    disposePlaylist(playList);
    shell.helpQuit();
}

void TmainForm::dispatchClick(TControl control) {
    switch (control) {
    case TControl::optionsBtn:
        optionsBtnClick();
        break;
    case TControl::minimizeButton:
        minimizeButtonClick();
        break;
    case TControl::helpBtn:
        helpBtnClick();
        break;
    case TControl::playBtn:
        playBtnClick();
        break;
    case TControl::pauseBtn:
        pauseBtnClick();
        break;
    case TControl::stopBtn:
        stopBtnClick();
        break;
    case TControl::backwardBtn:
        backwardBtnClick();
        break;
    case TControl::forwardBtn:
        forwardBtnClick();
        break;
    case TControl::ejectBtn:
        ejectBtnClick();
        break;
    case TControl::skipBackBtn:
        skipBackBtnClick();
        break;
    case TControl::skipForwardBtn:
        skipForwardBtnClick();
        break;
    case TControl::playListBtn:
        playListBtnClick();
        break;
    case TControl::muteBtn:
        muteBtnClick();
        break;
    case TControl::volumeBtn:
        volumeBtnClick();
        break;
    case TControl::balanceBtn:
        balanceBtnClick();
        break;
    case TControl::recordBtn:
        recordBtnClick();
        break;
    case TControl::volumeUpDown:
        volumeUpDownClick();
        break;
    case TControl::balanceUpDown:
        balanceUpDownClick();
        break;
    default:
        if (groupOf(control) == TGroup::tracks)
            trackBtnClick(static_cast<int>(control) - static_cast<int>(TControl::track1Btn) + 1);
        else
            view.repaint(); // repeat, shuffle and intro are read from their state when needed
        break;
    }
}

void TmainForm::buttonClick(TControl control) {
    messageShown = false;
    if (!display.isEnabled(control))
        return;
    // A transport button stays down when clicked again; every other toggle flips.
    if (groupOf(control) == TGroup::transport)
        display.putDown(control);
    else if (groupOf(control) != TGroup::none)
        display.isDown(control) ? display.release(control) : display.putDown(control);
    dispatchClick(control);
}

void TmainForm::emulateButtonClick(TControl control) {
    if (!display.isEnabled(control))
        return;
    if (groupOf(control) != TGroup::none)
        display.isDown(control) ? display.release(control) : display.putDown(control);
    dispatchClick(control);
}

void TmainForm::upDownClick(TControl upDown, TUpDownDirection direction) {
    messageShown = false;
    emulateUpDownClick(upDown, direction);
}

void TmainForm::emulateUpDownClick(TControl upDown, TUpDownDirection direction) {
    if (!display.isEnabled(upDown))
        return;
    const bool volume = upDown == TControl::volumeUpDown;
    int& position = volume ? display.volumePosition : display.balancePosition;
    const int maximum = volume ? 99 : 100;
    if (direction == TUpDownDirection::next && position < maximum)
        ++position;
    else if (direction == TUpDownDirection::previous && position > 0)
        --position;
    if (volume)
        volumeUpDownClick();
    else
        balanceUpDownClick();
}

void TmainForm::FormKeyUp(int key) {
    messageShown = false;
    key &= 0xFF;
    if (key >= '1' && key <= '9') {
        emulateButtonClick(trackButton(key - '0'));
        return;
    }
    switch (key) {
    case 'P':
        emulateButtonClick(TControl::playBtn);
        break;
    case 'A':
        emulateButtonClick(TControl::pauseBtn);
        break;
    case 'S':
        emulateButtonClick(TControl::stopBtn);
        break;
    case 'B':
        emulateButtonClick(TControl::backwardBtn);
        break;
    case 'F':
        emulateButtonClick(TControl::forwardBtn);
        break;
    case 'K':
        emulateButtonClick(TControl::skipBackBtn);
        break;
    case 'W':
        emulateButtonClick(TControl::skipForwardBtn);
        break;
    case 'E':
        emulateButtonClick(TControl::ejectBtn);
        break;
    case 'L':
        emulateButtonClick(TControl::playListBtn);
        break;
    case 'O':
        emulateButtonClick(TControl::optionsBtn);
        break;
    case 'H':
        emulateButtonClick(TControl::helpBtn);
        break;
    case 'R':
        emulateButtonClick(TControl::recordBtn);
        break;
    case 'M':
        emulateButtonClick(TControl::muteBtn);
        break;
    case 'V':
        emulateButtonClick(TControl::volumeBtn);
        break;
    case 'N':
        emulateButtonClick(TControl::balanceBtn);
        break;
    case '0':
        emulateButtonClick(TControl::track0Btn);
        break;
    case 'X':
        shell.closeMainWindow();
        break;
    case 'C':
        view.showChannels(*this);
        break;
    case 'Y':
        view.showLyrics(*this);
        break;
    case keys::up:
    case keys::keypadPlus:
        emulateUpDownClick(TControl::volumeUpDown, TUpDownDirection::next);
        break;
    case keys::down:
    case keys::keypadMinus:
        emulateUpDownClick(TControl::volumeUpDown, TUpDownDirection::previous);
        break;
    case keys::left:
        emulateUpDownClick(TControl::balanceUpDown, TUpDownDirection::previous);
        break;
    case keys::home:
        seekTo(0);
        break;
    case keys::end:
        emulateButtonClick(TControl::stopBtn);
        break;
    case keys::right:
        emulateUpDownClick(TControl::balanceUpDown, TUpDownDirection::next);
        break;
    default:
        break;
    }
}

void TmainForm::filesDropped(const std::vector<std::string>& files) {
    messageShown = false;
    addDroppedFiles(playList, files);
    if (playList.modified)
        initTrackDisplay();
}

void TmainForm::filesHandedOver(const std::vector<std::string>& files) {
    if (closed || files.empty())
        return;
    TPlayList list = playList;
    if (insertPassedFiles(list, files, options.midiDirectory, options.sampleDirectory) == 0)
        return; // nothing to play: what plays goes on
    messageShown = false;
    if (somethingLoaded()) {
        if (!stopped)
            stopBtnClick();
        ejectBtnClick();
    }
    playList = std::move(list);
    current = 1;
    initTrackDisplay();
    emulateButtonClick(TControl::playBtn);
}

void TmainForm::helpBtnClick() {
    shell.help(helpMainWindow);
}

void TmainForm::minimizeButtonClick() {
    shell.minimize();
}

void TmainForm::playListBtnClick() {
    view.runPlaylistDialog(*this);
    initTrackDisplay();
}

void TmainForm::optionsBtnClick() {
    view.runOptionsDialog(*this);
}

void TmainForm::optionsChanged(const TOptions& edited) {
    options = edited;
    if (synth())
        synth()->saturate = options.saturate;
}

} // namespace zb::app
