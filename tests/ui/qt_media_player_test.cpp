// The media player of WAV entries over QMediaPlayer: what opens and what does not, and how a
// file plays.
#include "app/qt/qt_media_player.h"

#include <QAudioDevice>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using zb::app::TMediaMode;

namespace {

// Two seconds of a quiet 440 Hz tone, 16-bit, in as many channels as asked.
void writeTone(const QString& path, int rate, int channels) {
    const int frames = 2 * rate;
    const int bytes = 2 * channels * frames;
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + bytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(channels) << quint32(rate)
        << quint32(2 * channels * rate) << quint16(2 * channels) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(bytes);
    for (int i = 0; i < frames * channels; ++i)
        out << qint16(std::lround(4000 * std::sin((i / channels) * 440 * 2 * M_PI / rate)));
}

} // namespace

class TQtMediaPlayerTest final : public QObject {
    Q_OBJECT

private slots:
    // A missing file and one that is no sound do not open; a WAV file opens stopped at its
    // start, also right after a file that failed (whose error the backend may report late).
    void onlySoundFilesOpen() {
        QTemporaryDir dir;
        const QString noise = dir.filePath(QStringLiteral("not-a-sound.wav"));
        QFile file(noise);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        zb::ui::QtMediaPlayer player;
        for (const QString& path : {QStringLiteral("/nonexistent/zb-missing.wav"), noise}) {
            player.setFileName(path.toStdString());
            player.open();
            QVERIFY(!player.isOpen());
            QCOMPARE(player.mode(), TMediaMode::notReady);
            QCOMPARE(player.position(), std::int64_t{0});
        }
        player.setFileName(ZB_TEST_DATA_DIR "/WAV/piano.wav");
        player.open();
        QVERIFY(player.isOpen());
        QCOMPARE(player.mode(), TMediaMode::stopped);
        QCOMPARE(player.position(), std::int64_t{0});
        player.close();
        QVERIFY(!player.isOpen());
    }

    // Through a real sound server: file after file, of different formats, the position runs
    // steadily from the start to the end (the backend's own stood still for a second or two
    // after the first file, then jumped) and each file plays to its end.
    void filesPlayToTheirEndsWithASteadyClock() {
        if (QMediaDevices::audioOutputs().isEmpty())
            QSKIP("no sound server with an output device is running");
        QTemporaryDir dir;
        zb::ui::QtMediaPlayer player;
        int ticks = 0;
        player.setOnTick([&ticks] { ++ticks; });
        for (int run = 0; run < 3; ++run) {
            const QString path = dir.filePath(QStringLiteral("tone%1.wav").arg(run));
            writeTone(path, run % 2 == 0 ? 22050 : 44100, run % 2 == 0 ? 2 : 1);
            player.close();
            player.setFileName(path.toStdString());
            player.open();
            QVERIFY(player.isOpen());
            QCOMPARE(player.length(), std::int64_t{2000});
            player.play();
            QElapsedTimer wall;
            wall.start();
            std::int64_t last = 0;
            std::int64_t lastAt = 0;
            while (player.mode() == TMediaMode::playing && wall.elapsed() < 15000) {
                QTest::qWait(100);
                const std::int64_t now = player.position();
                const std::int64_t at = wall.elapsed();
                // No faster than the wall clock, give or take the backend's own steps.
                QVERIFY2(now >= last && now - last <= at - lastAt + 250,
                         qPrintable(QStringLiteral("%1 ms after %2 ms").arg(now).arg(last)));
                last = now;
                lastAt = at;
            }
            QCOMPARE(player.mode(), TMediaMode::stopped);
            QCOMPARE(player.position(), std::int64_t{2000});
            QVERIFY(wall.elapsed() >= 1900);
            QVERIFY2(ticks >= 8, "fewer than four ticks a second"); // for the clock
            ticks = 0;
        }
    }
};

QTEST_MAIN(TQtMediaPlayerTest)
#include "qt_media_player_test.moc"
