#include "app/main_display.h"
#include "app/paths.h"
#include "app/qt/main_window.h"
#include "app/qt/mpris.h"
#include "app/qt/qt_audio_output.h"
#include "app/qt/qt_media_player.h"
#include "app/qt/qt_shell.h"
#include "app/qt/screenshots.h"
#include "app/qt/single_instance.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

QtMessageHandler toolkitHandler = nullptr;

// The sound backends tell the terminal that they found no sound server, once when the program
// starts and again at every file the media player opens; the player says what that means in its
// status line instead. Everything else goes on to the toolkit's own handler.
void quietSoundBackends(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const bool fromSound =
        (context.category != nullptr &&
         QLatin1String(context.category).startsWith(QLatin1String("qt.multimedia"))) ||
        text.startsWith(QLatin1String("PulseAudioService:"));
    if (fromSound && type != QtCriticalMsg && type != QtFatalMsg)
        return;
    if (toolkitHandler != nullptr)
        toolkitHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

// Answered before the toolkit starts, so that they work without a display.
constexpr const char* kUsage =
    "Usage: zorbel [FILE...] [MIDI_DIR [PRG_DIR [WAV_DIR [SONG_DIR]]]]\n"
    "The Zorbel II MIDI player. FILEs (.mid, .wav) go to the head of the playlist and the\n"
    "first plays; a bare name is looked up in the MIDI (or WAV) directory, a relative path\n"
    "with a directory part is taken from the current folder. Without files, up to four\n"
    "existing directories replace the MIDI, patch, sample and recording directories.\n"
    "A player already running takes the files instead: it stops what it plays and plays them.\n"
    "  --new-instance  start a player of its own even when one runs\n"
    "  --help          print this help and exit\n"
    "  --version       print the version and exit\n"
    "Environment: ZORBEL_HOME (the folder of the settings and default directories),\n"
    "PULSE_SINK (the sound server's output).\n";

int run(int argc, char* argv[]) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("zorbel %s\n", ZB_VERSION);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    toolkitHandler = qInstallMessageHandler(quietSoundBackends);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(zb::app::kTitle));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    // Not for users: the documentation's pictures (scripts/screenshots).
    if (arguments.size() == 2 && arguments[0] == QStringLiteral("--screenshot"))
        return zb::ui::runScreenshots(arguments[1]);

    // One player at a time: a later start hands its files to the running one and ends.
    const bool newInstance = arguments.removeAll(QStringLiteral("--new-instance")) > 0;
    std::vector<std::string> args;
    for (const QString& argument : arguments)
        args.push_back(zb::app::argumentPath(QFile::encodeName(argument).toStdString()));
    const QString socketName = zb::ui::TSingleInstance::defaultName();
    if (!newInstance && zb::ui::TSingleInstance::handOver(socketName, args))
        return 0;

    zb::ui::QtAudioOutput audioOutput;
    zb::ui::QtMediaPlayer mediaPlayer;
    zb::ui::QtShell shell;
    zb::ui::TMainWindow window(shell, audioOutput, mediaPlayer);
    shell.attach(&window, window.form());

    if (!window.start(args))
        return 1;
    const auto raise = [&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    };
    zb::ui::TSingleInstance instance;
    if (!newInstance) {
        instance.listen(socketName, [&window, &raise](const std::vector<std::string>& files) {
            window.form().filesHandedOver(files);
            raise();
        });
    }
    // The desktop's media keys and controls, when there is a session bus.
    zb::ui::TMpris mpris(window.form(), raise, [&window] { window.close(); });
    window.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[]) {
    // The window has saved its settings and closed the device when run returns.
    zb::ui::exitSkippingAudioTeardown(run(argc, argv));
}
