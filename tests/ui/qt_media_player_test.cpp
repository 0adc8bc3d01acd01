// The media player of WAV entries over QMediaPlayer: what opens and what does not.
#include "app/qt/qt_media_player.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using zb::app::TMediaMode;

class TQtMediaPlayerTest final : public QObject {
    Q_OBJECT

private slots:
    void aMissingFileDoesNotOpen() {
        zb::ui::QtMediaPlayer player;
        player.setFileName("/nonexistent/zb-missing.wav");
        player.open();
        QVERIFY(!player.isOpen());
        QCOMPARE(player.mode(), TMediaMode::notReady);
        QCOMPARE(player.position(), std::int64_t{0});
    }

    void aFileThatIsNoSoundDoesNotOpen() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("not-a-sound.wav"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        zb::ui::QtMediaPlayer player;
        player.setFileName(path.toStdString());
        player.open();
        QVERIFY(!player.isOpen());
        QCOMPARE(player.mode(), TMediaMode::notReady);
    }

    void aWavFileOpensStoppedAtItsStart() {
        zb::ui::QtMediaPlayer player;
        player.setFileName(ZB_TEST_DATA_DIR "/WAV/piano.wav");
        player.open();
        QVERIFY(player.isOpen());
        QCOMPARE(player.mode(), TMediaMode::stopped);
        QCOMPARE(player.position(), std::int64_t{0});
        QCOMPARE(player.fileName(), std::string(ZB_TEST_DATA_DIR "/WAV/piano.wav"));
        player.close();
        QVERIFY(!player.isOpen());
    }
};

QTEST_MAIN(TQtMediaPlayerTest)
#include "qt_media_player_test.moc"
