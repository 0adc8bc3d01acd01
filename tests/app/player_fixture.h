#pragma once

#include "app/main_form.h"
#include "app/paths.h"
#include "support/fake_shell.h"
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

// A media player whose clock the test moves.
class TFakeMediaPlayer final : public MediaPlayer {
public:
    void close() override {
        opened = false;
        currentMode = TMediaMode::notReady;
    }
    void setFileName(const std::string& name) override { file = name; }
    std::string fileName() const override { return file; }
    void open() override {
        opened = fileExists(file) && !failOpen;
        currentMode = opened ? TMediaMode::stopped : TMediaMode::notReady;
        ms = 0;
    }
    void setNotify(bool) override {}
    void setTimeFormatMilliseconds() override { millisecondFormat = true; }
    void play() override { currentMode = TMediaMode::playing; }
    void pause() override {
        currentMode = currentMode == TMediaMode::paused ? TMediaMode::playing : TMediaMode::paused;
    }
    void stop() override { currentMode = TMediaMode::stopped; }
    std::int64_t position() const override { return ms; }
    void setPosition(std::int64_t to) override { ms = to; }
    std::int64_t start() const override { return 0; }
    std::int64_t length() const override { return lengthMs; }
    TMediaMode mode() const override { return currentMode; }
    bool isOpen() const override { return opened; }

    // Plays on for ms milliseconds, stopping at the end as the device does.
    void advanceClock(std::int64_t by) {
        if (currentMode != TMediaMode::playing)
            return;
        ms = std::min(ms + by, lengthMs);
        if (ms == lengthMs)
            currentMode = TMediaMode::stopped;
    }

    std::string file;
    bool opened = false, failOpen = false, millisecondFormat = false;
    std::int64_t ms = 0, lengthMs = 30000;
    TMediaMode currentMode = TMediaMode::notReady;
};

// Every character is 6 pixels wide.
class TFakeView final : public MainView {
public:
    int textWidth(const std::string& text) override { return 6 * static_cast<int>(text.size()); }
    void repaint() override { ++repaints; }
    void runPlaylistDialog(TmainForm&) override { ++playlistDialogs; }
    void runOptionsDialog(TmainForm&) override { ++optionsDialogs; }
    int repaints = 0, playlistDialogs = 0, optionsDialogs = 0;
};

// A player in a temporary home with the test patches, samples and songs, on the null device.
class PlayerTest : public ::testing::Test {
protected:
    PlayerTest() {
        namespace fs = std::filesystem;
        ::setenv("ZORBEL_HOME", home.str().c_str(), 1);
        const fs::path data = ZB_TEST_DATA_DIR;
        for (const char* dir : {"PRG", "WAV"})
            fs::copy(data / dir, home.path() / dir, fs::copy_options::recursive);
        for (const char* dir : {"MID", "Song", "ZbL"})
            fs::create_directory(home.path() / dir);
        for (const char* song : {"three-notes.mid", "little-tune.mid", "no-notes.mid"})
            fs::copy_file(data / "songs" / song, home.path() / "MID" / song);
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
