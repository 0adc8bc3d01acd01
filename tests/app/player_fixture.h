#pragma once

#include "app/main_form.h"
#include "app/paths.h"
#include "support/fake_media_player.h"
#include "support/fake_shell.h"
#include "support/fake_view.h"
#include "support/player_home.h"
#include "support/temp_dir.h"
#include "synth/null_audio_output.h"

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace zb::app::test {

using TFakeShell = zb::test::TFakeShell;
using TFakeMediaPlayer = zb::test::TFakeMediaPlayer;

using TFakeView = zb::test::TFakeView;

// A player in a temporary home with the test patches, samples and songs, on the null device.
class PlayerTest : public ::testing::Test {
protected:
    PlayerTest() {
        ::setenv("ZORBEL_HOME", home.str().c_str(), 1);
        zb::test::fillPlayerHome(home.path());
    }
    ~PlayerTest() override {
        if (form)
            form->FormClose();
        form.reset();
        std::error_code ec;
        std::filesystem::current_path(std::filesystem::temp_directory_path(), ec);
        ::unsetenv("ZORBEL_HOME");
    }

    std::string midi(const std::string& name) const { return home.str() + "/MID/" + name; }
    std::string path(const std::string& relative) const { return home.str() + "/" + relative; }

    // Starts the player with settings written beforehand (an empty ZB.INI: not a first start).
    void start(const std::vector<std::string>& args = {}, bool firstStart = false) {
        if (!firstStart && !fileExists(path("ZB.INI")))
            home.write("ZB.INI", "");
        form = std::make_unique<TmainForm>(shell, view, device, media);
        ASSERT_TRUE(form->FormCreate(args));
        form->FormActivate();
    }
    void startWith(const std::vector<std::string>& entries) {
        std::string list;
        for (const auto& entry : entries)
            list += entry + "\r\n";
        home.write("ZbL/test.ZbL", list);
        home.write("ZB.INI", "[PlayControl]\nPlaylist=" + path("ZbL/test.ZbL") + "\nTrack=1\n");
        start();
    }
    // Hands the oldest queued buffer back, as the device does when it has played it.
    bool returnBuffer() { return device.returnOldest(); }
    void returnAll() {
        while (device.returnOldest()) {
        }
    }
    const std::string& status() const { return form->display.status; }

    zb::test::TTempDir home;
    TFakeShell shell;
    TFakeView view;
    TFakeMediaPlayer media;
    synth::NullAudioOutput device;
    std::unique_ptr<TmainForm> form;
};

} // namespace zb::app::test
