#include "app/qt/help_window.h"

#include "app/main_display.h"
#include "app/shell.h"

#include <QUrl>

// The pages live in a static library: nothing else pulls their registration into the program.
static void registerHelpPages() {
    Q_INIT_RESOURCE(help);
}

namespace zb::ui {

THelpWindow::THelpWindow(QWidget* parent) : QTextBrowser(parent) {
    registerHelpPages();
    setWindowTitle(QString::fromUtf8(app::kTitle) + QStringLiteral(" Help"));
    setObjectName(QStringLiteral("helpWindow"));
    setOpenExternalLinks(true);
    resize(640, 560);
}

QUrl THelpWindow::pageOf(int context) {
    switch (context) {
    case app::helpMainWindow:
        return QUrl(QStringLiteral("qrc:/help/main_window.html"));
    case app::helpOptions:
        return QUrl(QStringLiteral("qrc:/help/options.html"));
    case app::helpDrumTracks:
        return QUrl(QStringLiteral("qrc:/help/drum_tracks.html"));
    case app::helpPlaylists:
        return QUrl(QStringLiteral("qrc:/help/playlists.html"));
    case app::helpChannels:
        return QUrl(QStringLiteral("qrc:/help/channels.html"));
    case app::helpLyrics:
        return QUrl(QStringLiteral("qrc:/help/lyrics.html"));
    default:
        return QUrl(QStringLiteral("qrc:/help/index.html"));
    }
}

void THelpWindow::showContext(int context) {
    setSource(pageOf(context));
    show();
    raise();
    activateWindow();
}

} // namespace zb::ui
