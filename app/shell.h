#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zb::app {

// A request for the platform's open or save file dialog.
struct TFileDialog {
    enum class TKind { open, save };
    TKind kind = TKind::open;
    std::string title;
    std::string filter;     // "ZbL files (ZbL.*)|*.ZbL": description|pattern pairs
    std::string defaultExt; // appended when the chosen name has no extension
    std::string initialDir;
    std::string fileName; // proposed name
    bool pathMustExist = true;
    bool fileMustExist = false;
};

// Help contexts of the help viewer.
enum THelpContext : int {
    helpContents = 0,
    helpMainWindow = 500,
    helpOptions = 1000,
    helpDrumTracks = 2000,
    helpPlaylists = 3000,
    helpChannels = 4000,
    helpLyrics = 4100,
};

// What the player logic needs from the desktop around it: modal message boxes, the beep, the
// hourglass, its two timers, letting pending window messages run, file dialogs, the help viewer,
// the clock and the random generator. The Qt front end implements it; tests use a fake that
// records the calls and answers questions as told.
class Shell {
public:
    Shell() = default;
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;
    virtual ~Shell() = default;

    virtual void showError(const std::string& text) = 0; // error box with an OK button
    virtual bool ask(const std::string& text) = 0;       // question box: true for Yes
    virtual void beep() = 0;
    virtual void setHourglass(bool on) = 0;
    // Lets queued window messages (buffer-done notifications, clicks) run before going on.
    virtual void processMessages() = 0;
    virtual void setTimer(bool enabled) = 0; // the one-second poll of the media player
    virtual void setBannerTimer(bool enabled, int intervalMs) = 0;
    virtual std::optional<std::string> fileDialog(const TFileDialog& request) = 0;
    virtual void help(int context) = 0;
    virtual void helpQuit() = 0;
    virtual void closeMainWindow() = 0;
    virtual void minimize() = 0;
    // Reseeds the random generator from the clock.
    virtual void randomize() = 0;
    // A uniformly random number in 0 .. range - 1.
    virtual int random(int range) = 0;
};

} // namespace zb::app
