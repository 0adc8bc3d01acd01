#include "app/main_display.h"
#include "app/qt/main_window.h"
#include "app/qt/qt_audio_output.h"
#include "app/qt/qt_media_player.h"
#include "app/qt/qt_shell.h"
#include "app/qt/screenshots.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
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

int run(int argc, char* argv[]) {
    toolkitHandler = qInstallMessageHandler(quietSoundBackends);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(zb::app::kTitle));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    // Not for users: the documentation's pictures (scripts/screenshots).
    if (arguments.size() == 2 && arguments[0] == QStringLiteral("--screenshot"))
        return zb::ui::runScreenshots(arguments[1]);

    zb::ui::QtAudioOutput audioOutput;
    zb::ui::QtMediaPlayer mediaPlayer;
    zb::ui::QtShell shell;
    zb::ui::TMainWindow window(shell, audioOutput, mediaPlayer);
    shell.attach(&window, window.form());

    std::vector<std::string> args;
    for (const QString& argument : arguments)
        args.push_back(QFile::encodeName(argument).toStdString());
    if (!window.start(args))
        return 1;
    window.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[]) {
    // The window has saved its settings and closed the device when run returns.
    zb::ui::exitSkippingAudioTeardown(run(argc, argv));
}
