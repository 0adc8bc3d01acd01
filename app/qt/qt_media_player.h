#pragma once

#include "app/media_player.h"

#include <QAudioOutput>
#include <QElapsedTimer>
#include <QMediaPlayer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <utility>

#include <string>

namespace zb::ui {

// The player of WAV playlist entries over QMediaPlayer, on the default audio output.
//
// open() waits briefly (at most kOpenWaitMs) for the file to load, so that a file that cannot be
// played leaves the player closed and the caller can say so at once. Stopping keeps the position,
// as the controller expects: QMediaPlayer::stop would rewind, so a stop is a pause remembered as
// a stop. At the end of the file the position stays at the end until the next play or seek.
// While it plays, the position runs with the wall clock from where playing began, never behind
// the backend's and at most kPositionLeadMs ahead of it: the backend's stood still for up to two
// seconds after a file started, then jumped, while the sound played on.
class QtMediaPlayer final : public QObject, public app::MediaPlayer {
public:
    static constexpr int kOpenWaitMs = 3000;
    static constexpr std::int64_t kPositionLeadMs = 2000;
    static constexpr int kTickMs = 200;

    QtMediaPlayer();
    ~QtMediaPlayer() override;

    void close() override;
    void setFileName(const std::string& fileName) override;
    std::string fileName() const override;
    void open() override;
    void setNotify(bool) override {}
    void setTimeFormatMilliseconds() override {}
    void setOnTick(std::function<void()> tick) override { onTick = std::move(tick); }
    void play() override;
    void pause() override;
    void stop() override;
    std::int64_t position() const override;
    void setPosition(std::int64_t ms) override;
    std::int64_t start() const override { return 0; }
    std::int64_t length() const override;
    app::TMediaMode mode() const override;
    bool isOpen() const override { return opened; }

private:
    // Playing (again) from the backend's position, or from ms after a seek.
    void startClock(std::int64_t ms);
    void newBackend();

    QAudioOutput output;
    std::unique_ptr<QMediaPlayer> player; // the open file's, or none
    std::string file;
    bool opened = false;
    bool stoppedHere = false;   // stopped by stop(): QMediaPlayer itself is paused
    bool failed = false;        // the backend reported an error after opening
    bool atEnd = false;         // played to the end; QMediaPlayer may have rewound already
    std::int64_t clockFrom = 0; // the position where the wall clock was started
    QElapsedTimer clock;
    std::function<void()> onTick;
    QTimer ticks; // runs while the backend plays
};

} // namespace zb::ui
