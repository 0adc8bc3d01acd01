#include "app/qt/screenshots.h"

#include "app/qt/help_window.h"
#include "app/qt/main_window.h"
#include "app/unattended.h"
#include "synth/null_audio_output.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cctype>
#include <filesystem>
#include <functional>
#include <iostream>

namespace zb::ui {

namespace {

// Error boxes show on stderr, and pending window messages run while the player waits.
class TScreenshotShell final : public app::TUnattendedShell {
public:
    void showError(const std::string& text) override { std::cerr << "error box: " << text << '\n'; }
    void processMessages() override { QCoreApplication::processEvents(); }
};

void settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget* widget, const QDir& directory, const QString& name) {
    const QString path = directory.filePath(name);
    const bool saved = widget->grab().save(path);
    std::cout << (saved ? "wrote " : "could not write ") << path.toStdString() << '\n';
    return saved;
}

// Runs open(), which may show a modal dialog, grabs that dialog once it is up, lets inside()
// work on it, then cancels it. Without a dialog nothing is saved.
void grabModal(const QDir& directory, const QString& name, const std::function<void()>& open,
               const std::function<void(QWidget*)>& inside = {}) {
    bool fired = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
        fired = true;
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr) {
            std::cout << "skipped " << name.toStdString() << ": no dialog opened\n";
            return;
        }
        save(dialog, directory, name);
        if (inside)
            inside(dialog);
        if (auto* modal = qobject_cast<QDialog*>(dialog))
            modal->reject();
        else
            dialog->close();
    });
    timer.start(400);
    open();
    while (!fired)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

std::string firstMidiFile(const std::string& directory) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
        std::string ext = entry.path().extension().string();
        for (char& c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (entry.is_regular_file() && ext == ".mid")
            return entry.path().string();
    }
    return {};
}

} // namespace

int runScreenshots(const QString& directoryName) {
    QDir directory(directoryName);
    if (!directory.mkpath(QStringLiteral("."))) {
        std::cerr << "cannot create " << directoryName.toStdString() << '\n';
        return 1;
    }
    synth::NullAudioOutput audio;
    app::TNoMediaPlayer media;
    TScreenshotShell shell;
    TMainWindow window(shell, audio, media);
    if (!window.start({}))
        return 1;
    app::TmainForm& form = window.form();
    window.show();
    window.activateWindow();
    settle(300);
    if (form.firstActivation)
        form.FormActivate(); // platforms that never activate a window

    form.playList.entries.clear();
    form.initTrackDisplay();
    settle(100);
    save(&window, directory, QStringLiteral("main-empty.png"));

    const std::string song = firstMidiFile(form.options.midiDirectory);
    if (song.empty()) {
        std::cerr << "no MIDI file in " << form.options.midiDirectory << '\n';
    } else {
        form.filesDropped({song});
        form.buttonClick(app::TControl::playBtn);
        audio.returnOldest(); // four seconds played
        settle(100);
        save(&window, directory, QStringLiteral("main-playing.png"));
        window.showChannels(form);
        window.showLyrics(form);
        settle(200);
        save(window.channelsWindow(), directory, QStringLiteral("channels-window.png"));
        save(window.lyricsWindow(), directory, QStringLiteral("lyrics-window.png"));
        window.channelsWindow()->close();
        window.lyricsWindow()->close();
        form.buttonClick(app::TControl::stopBtn);
    }

    grabModal(directory, QStringLiteral("playlist-dialog.png"),
              [&form] { form.buttonClick(app::TControl::playListBtn); });
    grabModal(
        directory, QStringLiteral("options-dialog.png"),
        [&form] { form.buttonClick(app::TControl::optionsBtn); },
        [&directory](QWidget* options) {
            for (auto* button : options->findChildren<QAbstractButton*>()) {
                if (!button->text().contains(QStringLiteral("Drum"))) // the drum dialog
                    continue;
                grabModal(directory, QStringLiteral("drum-dialog.png"),
                          [button] { button->click(); });
                return;
            }
            std::cout << "skipped drum-dialog.png: no drum button\n";
        });

    THelpWindow help;
    help.showContext(app::helpMainWindow);
    settle(200);
    save(&help, directory, QStringLiteral("help.png"));
    help.close();

    form.playList.modified = false;
    window.close();
    return 0;
}

} // namespace zb::ui
