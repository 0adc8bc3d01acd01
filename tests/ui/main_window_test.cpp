// The main window on the offscreen platform: its controls, and clicks, keys and drops reaching
// the player, with the null audio output, a fake media player and a shell that answers every
// question itself.
#include "app/qt/main_window.h"
#include "app/qt/pictures.h"
#include "app/settings.h"
#include "support/player_home.h"
#include "synth/config.h"
#include "synth/null_audio_output.h"
#include "ui_fakes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QShowEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <memory>

using zb::app::TControl;

class TMainWindowTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsSitAtTheirPlacesWithTheirHints();
    void clicksAndReleasedKeysDriveTheTransport();
    void timeDigitsAdvanceAsBuffersReturn();
    void aClickOnTheGaugeAndHomeSeek();
    void theChannelsWindowChangesTheSongThatPlays();
    void theLyricsWindowShowsTheLineBeingSung();
    void droppedFilesJoinThePlaylist();
    void aWindowNeverActivatedStillPlaysTheCommandLinesFile();
    void aWavEntryPlaysThroughTheMediaPlayerWithoutVolumeControls();
    void keypadPlusRaisesTheVolumeMainKeyboardPlusDoesNot();
    void upDownClicksStepTheBalance();
    void minimizeAndHelpGoThroughTheShell();
    void closingAsksAboutTheModifiedPlaylistAndWritesSettings();

private:
    QString song(const char* name) const {
        return home->filePath(QStringLiteral("MID/")) + QLatin1String(name);
    }
    void startWith(const QStringList& entries);
    QWidget* widget(const char* name) const;
    void click(TControl control) const;
    // Drags files onto the window and drops them there, as a file manager does.
    void drop(const QList<QUrl>& files) const;
    QImage picture(const char* name) const {
        return widget(name)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    static QImage digit(int value) {
        return zb::ui::digitPicture(value).toImage().convertToFormat(QImage::Format_RGB32);
    }
    std::string status() const { return window->form().display.status; }

    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<zb::ui::test::TFakeShell> shell;
    std::unique_ptr<zb::ui::test::TFakeMediaPlayer> media;
    std::unique_ptr<zb::synth::NullAudioOutput> device;
    std::unique_ptr<zb::ui::TMainWindow> window;
};

void TMainWindowTest::init() {
    home = std::make_unique<QTemporaryDir>();
    QVERIFY(home->isValid());
    zb::test::fillPlayerHome(home->path().toStdString());
    qputenv("ZORBEL_HOME", home->path().toUtf8());
    shell = std::make_unique<zb::ui::test::TFakeShell>();
    media = std::make_unique<zb::ui::test::TFakeMediaPlayer>();
    device = std::make_unique<zb::synth::NullAudioOutput>();
}

void TMainWindowTest::cleanup() {
    window.reset();
    device.reset();
    media.reset();
    shell.reset();
    qunsetenv("ZORBEL_HOME");
    std::error_code ec;
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ec);
    home.reset();
}

// A saved playlist of entries, selected at entry 1, and a shown, active window.
void TMainWindowTest::startWith(const QStringList& entries) {
    const QString list = home->filePath(QStringLiteral("ZbL/test.ZbL"));
    std::ofstream(list.toStdString())
        << entries.join(QStringLiteral("\r\n")).toStdString() << "\r\n";
    std::ofstream(home->filePath(QStringLiteral("ZB.INI")).toStdString())
        << "[PlayControl]\nPlaylist=" << list.toStdString() << "\nTrack=1\n";
    window = std::make_unique<zb::ui::TMainWindow>(*shell, *device, *media);
    QVERIFY(window->start({}));
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QCOMPARE(window->form().firstActivation, false);
}

QWidget* TMainWindowTest::widget(const char* name) const {
    return window->findChild<QWidget*>(QLatin1String(name));
}

void TMainWindowTest::click(TControl control) const {
    QWidget* target = window->control(control);
    QVERIFY(target != nullptr);
    QVERIFY(target->isEnabled());
    QTest::mouseClick(target, Qt::LeftButton);
}

void TMainWindowTest::drop(const QList<QUrl>& files) const {
    QMimeData mime;
    mime.setUrls(files);
    const QPoint at(100, 50);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
}

void TMainWindowTest::controlsSitAtTheirPlacesWithTheirHints() {
    startWith({song("three-notes.mid")});
    QCOMPARE(window->size(), QSize(457, 122));
    QCOMPARE(window->windowTitle(), QStringLiteral("Zorbel II"));
    QVERIFY(window->windowIcon().availableSizes().contains(QSize(48, 48)));
    const struct {
        const char* name;
        QRect place;
        const char* hint;
    } expected[] = {
        {"optionsBtn", {8, 8, 25, 33}, "[O]ptions"},
        {"minimizeButton", {8, 40, 25, 25}, "Minimize"},
        {"helpBtn", {8, 72, 25, 25}, "[H]elp"},
        {"playBtn", {40, 72, 25, 25}, "[P]lay"},
        {"pauseBtn", {64, 72, 25, 25}, "P[a]use"},
        {"stopBtn", {88, 72, 25, 25}, "[S]top"},
        {"backwardBtn", {120, 72, 25, 25}, "[B]ack 10%"},
        {"forwardBtn", {144, 72, 25, 25}, "[F]orward 10%"},
        {"ejectBtn", {176, 72, 25, 25}, "[E]ject"},
        {"muteBtn", {208, 72, 25, 25}, "[M]ute"},
        {"volumeBtn", {232, 72, 25, 25}, "Default [v]olume"},
        {"balanceBtn", {256, 72, 25, 25}, "Default bala[n]ce"},
        {"skipBackBtn", {208, 8, 25, 25}, "Skip bac[k]"},
        {"skipForwardBtn", {232, 8, 25, 25}, "Skip for[w]ard"},
        {"playListBtn", {256, 8, 25, 25}, "Play[l]ist"},
        {"repeatBtn", {208, 40, 25, 25}, "Repeat mode"},
        {"introBtn", {232, 40, 25, 25}, "Intro mode"},
        {"shuffleBtn", {256, 40, 25, 25}, "Shuffle mode"},
        {"track2Btn", {304, 8, 17, 25}, "Track [2]: No file"},
        {"track0Btn", {432, 8, 17, 25}, "Track 1[0]: No file"},
        {"volumePanel", {288, 40, 33, 25}, "Volume"},
        {"volumeUpDown", {320, 40, 16, 25}, "Volume control [+, -]"},
        {"balanceGauge", {352, 40, 73, 25}, "Balance"},
        {"balanceUpDown", {424, 40, 25, 25}, "Balance control [<-, ->]"},
        {"recordBtn", {424, 72, 25, 25}, "[R]ecord to WAV"},
        {"timePanel", {40, 8, 161, 57}, ""},
        {"ImageHiMin", {8, 8, 17, 25}, ""},
        {"ImageLoMin", {24, 8, 17, 25}, ""},
        {"ImageColon", {46, 8, 5, 25}, ""},
        {"ImageHiSec", {56, 8, 17, 25}, ""},
        {"ImageLoSec", {72, 8, 17, 25}, ""},
        {"positionGauge", {8, 40, 145, 12}, ""},
        {"recordPanel", {288, 72, 137, 25}, ""},
        {"StatusBar", {0, 103, 457, 19}, ""},
    };
    for (const auto& control : expected) {
        const QWidget* found = widget(control.name);
        QVERIFY2(found != nullptr, control.name);
        QCOMPARE(found->geometry(), control.place);
        QCOMPARE(found->toolTip(), QString::fromUtf8(control.hint));
    }
    QCOMPARE(widget("track1Btn")->toolTip(),
             QStringLiteral("Track [1]: ") + song("three-notes.mid"));
    QVERIFY(widget("track1Btn")->isEnabled());
    QVERIFY(!widget("track2Btn")->isEnabled());
    const QString destination = home->filePath(QStringLiteral("Song/three-notes.WAV"));
    QCOMPARE(widget("wavLbl")->toolTip(), QStringLiteral("Destination WAV: ") + destination);
    QCOMPARE(widget("wavLbl")->geometry().right(), 137 - 8 - 1);
    QCOMPARE(widget("StatusBar")->accessibleName(), song("three-notes.mid"));
}

void TMainWindowTest::clicksAndReleasedKeysDriveTheTransport() {
    startWith({song("little-tune.mid")});
    QTest::keyPress(window.get(), Qt::Key_P);
    QVERIFY(window->form().synth() == nullptr); // a key acts when it is released
    QTest::keyRelease(window.get(), Qt::Key_P);
    QCOMPARE(QString::fromStdString(status()),
             QStringLiteral("Playing ") + song("little-tune.mid"));
    QCOMPARE(widget("StatusBar")->accessibleName(), QString::fromStdString(status()));
    QVERIFY(!widget("ejectBtn")->isEnabled());
    click(TControl::pauseBtn);
    QCOMPARE(status(), std::string("Playback paused. Click P[a]use to resume."));
    click(TControl::pauseBtn);
    click(TControl::stopBtn);
    QVERIFY(!widget("pauseBtn")->isEnabled());
    click(TControl::ejectBtn);
    QVERIFY(window->form().synth() == nullptr);
    click(TControl::playBtn);
    QVERIFY(window->form().synth() != nullptr);
}

void TMainWindowTest::timeDigitsAdvanceAsBuffersReturn() {
    startWith({song("little-tune.mid")});
    click(TControl::playBtn);
    QCOMPARE(picture("ImageLoSec"), digit(0));
    QVERIFY(device->returnOldest());
    QCOMPARE(picture("ImageLoSec"), digit(4));
    QCOMPARE(picture("ImageHiSec"), digit(0));
}

void TMainWindowTest::aClickOnTheGaugeAndHomeSeek() {
    startWith({song("little-tune.mid")});
    click(TControl::playBtn);
    QTest::mouseClick(widget("positionGauge"), Qt::LeftButton, {}, QPoint(72, 6)); // halfway
    const std::int64_t length = window->form().songLength;
    QCOMPARE(window->form().synth()->playPos, length / 2 - length / 2 % 4);
    QTest::keyRelease(window.get(), Qt::Key_Home);
    QCOMPARE(window->form().synth()->playPos, std::int64_t{0});
    QTest::keyRelease(window.get(), Qt::Key_End);
    QVERIFY(window->form().stopped);
}

void TMainWindowTest::theChannelsWindowChangesTheSongThatPlays() {
    startWith({song("little-tune.mid")});
    device->deviceLead = 8192;
    click(TControl::playBtn);
    QTest::keyRelease(window.get(), Qt::Key_C);
    zb::ui::TChannelsDialog* channels = window->channelsWindow();
    QVERIFY(channels != nullptr);
    QTRY_VERIFY(channels->isVisible());
    QCOMPARE(channels->windowModality(), Qt::NonModal);
    QCOMPARE(channels->rows().size(), std::size_t{3});
    QCOMPARE(channels->rows()[0].programs->text(), QStringLiteral("Acoustic Grand Piano"));
    QCOMPARE(channels->rows()[2].slot->text(), QStringLiteral("10"));
    QCOMPARE(channels->rows()[2].notes->text(), QStringLiteral("96"));
    // The drums alone at half speed: the window's toggle and counter recompile the song, which
    // goes on at the same place.
    const std::int32_t length = window->form().songLength;
    channels->rows()[2].solo->click();
    channels->tempoBox->setValue(50);
    QVERIFY(window->form().songControls.soloed[9]);
    QTRY_VERIFY(window->form().songLength > length * 19 / 10);
    QTRY_VERIFY(!window->form().songRebuildTick());
    QCOMPARE(window->form().songControls.tempoPercent, 50);
    QVERIFY(!window->form().stopped);
    QCOMPARE(window->form().compileCount, 1);
    // Reset and the keyboard's C raise the one window.
    for (QPushButton* button : channels->findChildren<QPushButton*>())
        if (button->accessibleName() == QStringLiteral("Reset tempo"))
            button->click();
    QCOMPARE(channels->tempoBox->value(), 100);
    QTest::keyRelease(window.get(), Qt::Key_C);
    QCOMPARE(window->channelsWindow(), channels);
    channels->close();
    QTRY_VERIFY(window->channelsWindow() == nullptr);
    // Its position is remembered like the other dialogs'.
    QVERIFY(zb::app::readDialogPosition(window->form().iniFile, "ChannelsTop", "ChannelsLeft"));
}

void TMainWindowTest::theLyricsWindowShowsTheLineBeingSung() {
    startWith({song("lyrics.kar"), song("three-notes.mid")});
    QTest::keyRelease(window.get(), Qt::Key_Y);
    zb::ui::TLyricsWindow* lyrics = window->lyricsWindow();
    QVERIFY(lyrics != nullptr);
    QCOMPARE(lyrics->lineLabel->text(), QStringLiteral("No MIDI song is loaded."));
    device->deviceLead = 8192;
    click(TControl::playBtn);
    lyrics->refresh();
    QCOMPARE(lyrics->lineLabel->text(), QStringLiteral("<b><u>Twin</u></b>kle"));
    QCOMPARE(lyrics->nextLabel->text(), QStringLiteral("Little"));
    for (int step = 0; step < 30; ++step) // 1.3 seconds heard
        device->playBytes(3822);
    lyrics->refresh();
    QCOMPARE(lyrics->lineLabel->text(), QStringLiteral("<b><u>Lit</u></b>tle"));
    QCOMPARE(lyrics->nextLabel->text(), QString());
    click(TControl::stopBtn);
    while (device->returnOldest()) {
    }
    click(TControl::ejectBtn);
    click(TControl::skipForwardBtn);
    click(TControl::playBtn);
    lyrics->refresh();
    QCOMPARE(lyrics->lineLabel->text(), QStringLiteral("This song has no lyrics."));
}

void TMainWindowTest::droppedFilesJoinThePlaylist() {
    startWith({song("three-notes.mid")});
    drop({QUrl::fromLocalFile(song("little-tune.mid")),
          QUrl::fromLocalFile(home->filePath(QStringLiteral("notes.txt")))});
    QCOMPARE(window->form().count, 2);
    QVERIFY(window->form().playList.modified);
    QVERIFY(widget("track2Btn")->isEnabled());
    QCOMPARE(widget("track2Btn")->toolTip(),
             QStringLiteral("Track [2]: ") + song("little-tune.mid"));
}

void TMainWindowTest::aWindowNeverActivatedStillPlaysTheCommandLinesFile() {
    window = std::make_unique<zb::ui::TMainWindow>(*shell, *device, *media);
    QVERIFY(window->start({song("little-tune.mid").toStdString()}));
    // The offscreen platform activates every window it shows: the show event alone stands for
    // a desktop that never activates the new window.
    QShowEvent shown;
    QApplication::sendEvent(window.get(), &shown);
    QTRY_VERIFY(!window->form().firstActivation);
    QVERIFY(!window->isActiveWindow());
    QCOMPARE(QString::fromStdString(status()),
             QStringLiteral("Playing ") + song("little-tune.mid"));
    window->show(); // a late activation does not start it again
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QCOMPARE(window->form().playList.entries.size(), std::size_t{1});
    QCOMPARE(shell->errors.size(), std::size_t{0});
}

void TMainWindowTest::aWavEntryPlaysThroughTheMediaPlayerWithoutVolumeControls() {
    const QString wav = home->filePath(QStringLiteral("WAV/piano.wav"));
    startWith({wav});
    QCOMPARE(window->form().display.fileKindLabel, std::string("WAV"));
    for (const char* name : {"volumeUpDown", "balanceUpDown", "volumeBtn", "balanceBtn",
                             "volumePanel", "balanceGauge", "muteBtn", "recordBtn", "wavLbl"})
        QVERIFY2(!widget(name)->isEnabled(), name);
    click(TControl::playBtn);
    media->ms = 21000;
    window->form().TimerTimer();
    QCOMPARE(picture("ImageHiSec"), digit(2));
}

void TMainWindowTest::keypadPlusRaisesTheVolumeMainKeyboardPlusDoesNot() {
    startWith({song("three-notes.mid")});
    const auto& display = window->form().display;
    QTest::keyRelease(window.get(), Qt::Key_Plus);
    QCOMPARE(display.volumePosition, 10);
    QTest::keyRelease(window.get(), Qt::Key_Plus, Qt::KeypadModifier);
    QCOMPARE(display.volumePosition, 11);
    QCOMPARE(display.volumeText, std::string("1.1"));
    QTest::keyRelease(window.get(), Qt::Key_Minus);
    QCOMPARE(display.volumePosition, 11);
    QTest::keyRelease(window.get(), Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyRelease(window.get(), Qt::Key_Down);
    QCOMPARE(display.volumePosition, 9);
    // Keypad digits are keys of their own, not track selections.
    QTest::keyRelease(window.get(), Qt::Key_2, Qt::KeypadModifier);
    QCOMPARE(window->form().current, 1);
}

void TMainWindowTest::upDownClicksStepTheBalance() {
    startWith({song("three-notes.mid")});
    auto* balance = widget("balanceUpDown");
    const auto arrows = balance->findChildren<QAbstractButton*>();
    QCOMPARE(arrows.size(), 2);
    // The right half steps to the right.
    QTest::mouseClick(balance->childAt(20, 12), Qt::LeftButton);
    QCOMPARE(window->form().display.balanceGaugeValue, 51);
    QTest::mouseClick(balance->childAt(4, 12), Qt::LeftButton);
    QTest::mouseClick(balance->childAt(4, 12), Qt::LeftButton);
    QCOMPARE(window->form().display.balanceGaugeValue, 49);
    QTest::mouseClick(widget("volumeUpDown")->childAt(8, 4), Qt::LeftButton);
    QCOMPARE(window->form().display.volumeText, std::string("1.1"));
}

void TMainWindowTest::minimizeAndHelpGoThroughTheShell() {
    startWith({song("three-notes.mid")});
    click(TControl::minimizeButton);
    QVERIFY(shell->minimized);
    click(TControl::helpBtn);
    QCOMPARE(shell->helpContexts, std::vector<int>{500});
    QTest::keyClick(window.get(), Qt::Key_F1);
    QCOMPARE(shell->helpContexts, (std::vector<int>{500, 500}));
    QTest::keyRelease(window.get(), Qt::Key_X);
    QVERIFY(shell->closeRequested);
}

void TMainWindowTest::closingAsksAboutTheModifiedPlaylistAndWritesSettings() {
    startWith({song("three-notes.mid")});
    click(TControl::playBtn);
    drop({QUrl::fromLocalFile(song("little-tune.mid"))});
    QVERIFY(window->close());
    QVERIFY(window->form().closed);
    QCOMPARE(shell->questions, std::vector<std::string>{"Save playlist?"});
}

QTEST_MAIN(TMainWindowTest)
#include "main_window_test.moc"
