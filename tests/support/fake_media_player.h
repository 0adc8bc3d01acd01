#pragma once

#include "app/media_player.h"
#include "app/paths.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace zb::test {

using app::fileExists;
using app::MediaPlayer;
using app::TMediaMode;

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
    void setOnTick(std::function<void()> tick) override { onTick = std::move(tick); }
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
    // Plays on by some milliseconds, with a tick as the real player gives several a second.
    void advanceClock(std::int64_t by) {
        if (currentMode != TMediaMode::playing)
            return;
        ms = std::min(ms + by, lengthMs);
        if (onTick)
            onTick();
        if (ms == lengthMs)
            currentMode = TMediaMode::stopped;
    }

    std::string file;
    bool opened = false, failOpen = false, millisecondFormat = false;
    std::int64_t ms = 0, lengthMs = 30000;
    std::function<void()> onTick;
    TMediaMode currentMode = TMediaMode::notReady;
};

} // namespace zb::test
