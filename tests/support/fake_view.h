#pragma once

#include "app/main_form.h"

#include <string>

namespace zb::test {

// A main window that draws nothing and counts the dialogs and windows it was asked to show;
// every character is 6 pixels wide.
class TFakeView final : public app::MainView {
public:
    int textWidth(const std::string& text) override { return 6 * static_cast<int>(text.size()); }
    void repaint() override { ++repaints; }
    void runPlaylistDialog(app::TmainForm&) override { ++playlistDialogs; }
    void runOptionsDialog(app::TmainForm&) override { ++optionsDialogs; }
    void showChannels(app::TmainForm&) override { ++channelWindows; }
    void showLyrics(app::TmainForm&) override { ++lyricsWindows; }
    int repaints = 0, playlistDialogs = 0, optionsDialogs = 0, channelWindows = 0,
        lyricsWindows = 0;
};

} // namespace zb::test
