#pragma once

#include <cstdint>
#include <string>

namespace zb::app {

class TmainForm;

enum class TPlaybackStatus { stopped, paused, playing };

// What the desktop's media controls show of the player: whether it plays, and the song it has
// loaded or, when nothing is loaded, the playlist's selected entry. The position is not part of
// it: it moves by itself and is asked for when wanted, so equal states need no change signal.
struct TMediaState {
    TPlaybackStatus status = TPlaybackStatus::stopped;
    int entry = 0;             // the playlist entry (1-based), 0 when there is none
    std::string path;          // the song's absolute path, empty when there is none
    std::string title;         // its file name without the extension
    std::int64_t lengthUs = 0; // known once the song is loaded, else 0
    bool canGoNext = false;
    bool canGoPrevious = false;

    bool canPlay() const { return entry != 0; }
    friend bool operator==(const TMediaState&, const TMediaState&) = default;
};

// The commands of the desktop's media controls and media keys, carried out by the player's own
// handlers (the same as its buttons, with their beeps and status texts). Where the buttons
// toggle, these keep to what their names promise: Pause does not resume and Play does not
// restart what plays. Next and Previous move the selection and, when a song was playing, play
// the entry they moved to.
class TMediaControls {
public:
    explicit TMediaControls(TmainForm& form) : form(form) {}

    void play();
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();
    // A file opened from the desktop: handed to the player as a second start's files are.
    void open(const std::string& path);
    TMediaState state() const;
    std::int64_t positionUs() const; // where the song is heard, 0 when nothing is loaded
    double volume() const;           // the volume counter's multiplier (1.0 at 10)

private:
    void skip(bool forward);
    bool playing() const;
    TmainForm& form;
};

} // namespace zb::app
