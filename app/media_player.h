#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zb::app {

enum class TMediaMode { notReady, stopped, playing, recording, seeking, paused, open };

// The player of WAV playlist entries. Positions, start and length are milliseconds. The player
// does not rewind by itself at the end; pause is a toggle (pausing a paused player resumes it).
// "Open" means a file is open on a device. Completion needs no callback: the controller polls
// mode() once a second. The clock needs more: while the player plays it calls the tick several
// times a second.
class MediaPlayer {
public:
    MediaPlayer() = default;
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;
    virtual ~MediaPlayer() = default;

    virtual void close() = 0;
    virtual void setFileName(const std::string& fileName) = 0;
    virtual std::string fileName() const = 0;
    virtual void open() = 0;
    virtual void setNotify(bool on) = 0;
    virtual void setTimeFormatMilliseconds() = 0;
    virtual void setOnTick(std::function<void()> tick) = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual std::int64_t position() const = 0;
    virtual void setPosition(std::int64_t ms) = 0;
    virtual std::int64_t start() const = 0;
    virtual std::int64_t length() const = 0;
    virtual TMediaMode mode() const = 0;
    virtual bool isOpen() const = 0;
};

} // namespace zb::app
