#include "app/banner.h"

#include "app/main_display.h"
#include "app/shell.h"

namespace zb::app {

const std::array<const char*, 11> TBanner::messages = {
    "Every note you hear is mixed by our own wavetable synthesizer.",
    "Press R before Play to record the song to a WAV file.",
    "Drop MIDI and WAV files on this window to add them to the playlist.",
    "Patches are plain text: edit a PRG file and hear the change at the next Play.",
    "Intro mode plays the first seconds of every entry.",
    "Shuffle mode picks the next entry at random.",
    "Keys work too: P plays, A pauses, S stops, E ejects.",
    "Import any SoundFont with zorbel-cli import-sf2.",
    "Render whole folders of songs with zorbel-cli render --jobs.",
    "The drum tracks dialog tells which tracks and channels play drums.",
    "Create a file named \"No banners!\" beside the program to stop these messages.",
};

void TBanner::prepareBanner(Shell& shell) {
    if (!pending.empty())
        return;
    shell.randomize();
    int pick = shell.random(static_cast<int>(messages.size()));
    if (pick < 0 || pick >= static_cast<int>(messages.size()))
        pick = 0;
    pending = std::string(72, ' ') + messages[static_cast<std::size_t>(pick)];
    prefix = "   ";
}

std::string TBanner::bannerTimerTimer(Shell& shell) {
    if (pending.empty()) {
        intervalMs = 60000;
        prepareBanner(shell);
        return kTitle;
    }
    intervalMs = 200;
    if (prefix == "   " && pending.size() >= 3 && pending[2] != ' ')
        prefix = "...";
    pending.erase(0, 1);
    return std::string(kTitle) + " " + prefix + pending;
}

} // namespace zb::app
