#pragma once

#include "app/media_player.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QObject>

#include <string>

namespace zb::ui {

// The player of WAV playlist entries over QMediaPlayer, on the default audio output.
//
// open() waits briefly (at most kOpenWaitMs) for the file to load, so that a file that cannot be
// played leaves the player closed and the caller can say so at once. Stopping keeps the position,
// as the controller expects: QMediaPlayer::stop would rewind, so a stop is a pause remembered as
// a stop. At the end of the file the position stays at the end until the next play or seek.
class QtMediaPlayer final : public QObject, public app::MediaPlayer {
public:
    static constexpr int kOpenWaitMs = 3000;

    QtMediaPlayer();
    ~QtMediaPlayer() override;

    void close() override;
    void setFileName(const std::string& fileName) override;
    std::string fileName() const override;
    void open() override;
    void setNotify(bool) override {}
    void setTimeFormatMilliseconds() override {}
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
    QAudioOutput output;
    QMediaPlayer player;
    std::string file;
    bool opened = false;
    bool stoppedHere = false; // stopped by stop(): QMediaPlayer itself is paused
    bool failed = false;      // the backend reported an error after opening
    bool atEnd = false;       // played to the end; QMediaPlayer may have rewound already
};

} // namespace zb::ui
