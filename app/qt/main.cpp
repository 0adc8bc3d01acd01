#include "app/main_display.h"
#include "app/qt/main_window.h"
#include "app/qt/qt_audio_output.h"
#include "app/qt/qt_media_player.h"
#include "app/qt/qt_shell.h"
#include "app/qt/screenshots.h"

#include <QApplication>
#include <QFile>

#include <string>
#include <vector>

namespace {

int run(int argc, char* argv[]) {
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
