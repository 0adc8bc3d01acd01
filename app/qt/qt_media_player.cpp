#include "app/qt/qt_media_player.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace zb::ui {

QtMediaPlayer::QtMediaPlayer() {
    ticks.setInterval(kTickMs);
    QObject::connect(&ticks, &QTimer::timeout, this, [this] {
        if (onTick)
            onTick();
    });
}

QtMediaPlayer::~QtMediaPlayer() {
    close();
}

// Each file gets a backend player of its own: the backend reports a file that does not load
// late, at times while the next file is loading, and such an error must not fail the next file.
void QtMediaPlayer::newBackend() {
    player = std::make_unique<QMediaPlayer>();
    player->setAudioOutput(&output);
    QObject::connect(player.get(), &QMediaPlayer::errorOccurred, this,
                     [this](QMediaPlayer::Error error, const QString&) {
                         if (error != QMediaPlayer::NoError)
                             failed = true;
                     });
    QObject::connect(player.get(), &QMediaPlayer::mediaStatusChanged, this,
                     [this](QMediaPlayer::MediaStatus status) {
                         if (status == QMediaPlayer::EndOfMedia)
                             atEnd = true;
                     });
    QObject::connect(player.get(), &QMediaPlayer::playbackStateChanged, this,
                     [this](QMediaPlayer::PlaybackState state) {
                         if (state == QMediaPlayer::PlayingState)
                             ticks.start();
                         else
                             ticks.stop();
                     });
}

void QtMediaPlayer::close() {
    if (player != nullptr) {
        player->stop();
        QObject::disconnect(player.get(), nullptr, this, nullptr);
        player.reset();
    }
    ticks.stop();
    opened = false;
    stoppedHere = false;
    failed = false;
    atEnd = false;
}

void QtMediaPlayer::setFileName(const std::string& fileName) {
    file = fileName;
}

std::string QtMediaPlayer::fileName() const {
    return file;
}

void QtMediaPlayer::open() {
    close();
    const QString path = QFile::decodeName(QByteArray::fromStdString(file));
    if (!QFileInfo(path).isFile())
        return;
    newBackend();
    player->setSource(QUrl::fromLocalFile(path));
    auto settled = [this] {
        const QMediaPlayer::MediaStatus status = player->mediaStatus();
        return failed || (status != QMediaPlayer::LoadingMedia && status != QMediaPlayer::NoMedia);
    };
    if (!settled()) {
        // The backend loads in the background; user input stays queued meanwhile so that no
        // click can reach the controller while it is in the middle of opening.
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(player.get(), &QMediaPlayer::mediaStatusChanged, &loop, [&loop, &settled] {
            if (settled())
                loop.quit();
        });
        QObject::connect(player.get(), &QMediaPlayer::errorOccurred, &loop, &QEventLoop::quit);
        timeout.start(kOpenWaitMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (failed || player->mediaStatus() == QMediaPlayer::InvalidMedia) {
        close();
        return;
    }
    // Still loading after the wait: the file exists, so it counts as open; should it fail later
    // the mode reports it as not ready.
    opened = true;
}

void QtMediaPlayer::play() {
    if (!opened)
        return;
    stoppedHere = false;
    atEnd = false;
    startClock(player->position());
    player->play();
}

void QtMediaPlayer::startClock(std::int64_t ms) {
    clockFrom = ms;
    clock.start();
}

void QtMediaPlayer::pause() {
    if (!opened || stoppedHere)
        return;
    if (player->playbackState() == QMediaPlayer::PausedState) {
        startClock(player->position());
        player->play();
    } else if (player->playbackState() == QMediaPlayer::PlayingState)
        player->pause();
}

void QtMediaPlayer::stop() {
    if (!opened)
        return;
    if (player->playbackState() == QMediaPlayer::PlayingState)
        player->pause();
    stoppedHere = true;
}

std::int64_t QtMediaPlayer::position() const {
    if (!opened)
        return 0;
    if (atEnd)
        return length();
    const std::int64_t reported = player->position();
    if (player->playbackState() != QMediaPlayer::PlayingState || stoppedHere || !clock.isValid())
        return reported;
    const std::int64_t byClock = clockFrom + clock.elapsed();
    return std::max(reported, std::min({byClock, reported + kPositionLeadMs, length()}));
}

void QtMediaPlayer::setPosition(std::int64_t ms) {
    if (!opened)
        return;
    atEnd = false;
    startClock(ms);
    player->setPosition(ms);
}

std::int64_t QtMediaPlayer::length() const {
    return opened ? player->duration() : 0;
}

app::TMediaMode QtMediaPlayer::mode() const {
    using app::TMediaMode;
    if (!opened || failed || player->mediaStatus() == QMediaPlayer::InvalidMedia)
        return TMediaMode::notReady;
    if (stoppedHere)
        return TMediaMode::stopped;
    switch (player->playbackState()) {
    case QMediaPlayer::PlayingState:
        if (player->mediaStatus() == QMediaPlayer::BufferingMedia ||
            player->mediaStatus() == QMediaPlayer::StalledMedia)
            return TMediaMode::seeking;
        return TMediaMode::playing;
    case QMediaPlayer::PausedState:
        return TMediaMode::paused;
    case QMediaPlayer::StoppedState:
        break;
    }
    return player->mediaStatus() == QMediaPlayer::LoadingMedia ? TMediaMode::open
                                                               : TMediaMode::stopped;
}

} // namespace zb::ui
