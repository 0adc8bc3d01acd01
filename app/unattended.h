#pragma once

#include "app/media_player.h"
#include "app/shell.h"

#include <string>

// The player's surroundings when nobody sits at it (pictures for the documentation, benchmarks):
// no box waits for an answer, and WAV entries are not played.
namespace zb::app {

// Every question is answered No and every other request does nothing; errors are dropped unless
// a subclass reports them.
class TUnattendedShell : public Shell {
public:
    void showError(const std::string&) override {}
    bool ask(const std::string&) override { return false; }
    void beep() override {}
    void setHourglass(bool) override {}
    void processMessages() override {}
    void setTimer(bool) override {}
    void setBannerTimer(bool, int) override {}
    std::optional<std::string> fileDialog(const TFileDialog&) override { return {}; }
    void help(int) override {}
    void helpQuit() override {}
    void closeMainWindow() override {}
    void minimize() override {}
    void randomize() override {}
    int random(int) override { return 0; }
};

// A media player that keeps the file name it is given and never opens anything.
class TNoMediaPlayer final : public MediaPlayer {
public:
    void close() override {}
    void setFileName(const std::string& name) override { file = name; }
    std::string fileName() const override { return file; }
    void open() override {}
    void setNotify(bool) override {}
    void setTimeFormatMilliseconds() override {}
    void setOnTick(std::function<void()>) override {}
    void play() override {}
    void pause() override {}
    void stop() override {}
    std::int64_t position() const override { return 0; }
    void setPosition(std::int64_t) override {}
    std::int64_t start() const override { return 0; }
    std::int64_t length() const override { return 0; }
    TMediaMode mode() const override { return TMediaMode::notReady; }
    bool isOpen() const override { return false; }

private:
    std::string file;
};

} // namespace zb::app
