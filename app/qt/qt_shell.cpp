#include "app/qt/qt_shell.h"

#include "app/main_display.h"
#include "app/qt/help_window.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QTreeView>

#include <chrono>

namespace zb::ui {

namespace {

QString title() {
    return QString::fromUtf8(app::kTitle);
}

QString fromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// A box opens centred over the dialog that asked for it, or else over the main window.
QWidget* asker(QWidget* window) {
    if (QWidget* dialog = QApplication::activeModalWidget())
        return dialog;
    return window;
}

// Enabling a running timer must not restart it, only a new interval does: the player re-arms the
// banner timer at every activation of the window without resetting its count.
void arm(QTimer& timer, bool enabled, int intervalMs) {
    if (!enabled) {
        timer.stop();
        return;
    }
    if (intervalMs > 0 && timer.interval() != intervalMs)
        timer.setInterval(intervalMs);
    if (!timer.isActive())
        timer.start();
}

} // namespace

QtShell::QtShell() {
    timer.setInterval(1000);
    bannerTimer.setInterval(60000);
    QObject::connect(&timer, &QTimer::timeout, this, [this] {
        if (form != nullptr && window)
            form->TimerTimer();
    });
    QObject::connect(&bannerTimer, &QTimer::timeout, this, [this] {
        if (form != nullptr && window)
            form->bannerTimerTimer();
    });
    randomize();
}

QtShell::~QtShell() {
    setHourglass(false);
}

void QtShell::attach(QWidget* mainWindow, app::TmainForm& mainForm) {
    window = mainWindow;
    form = &mainForm;
}

void QtShell::showError(const std::string& text) {
    QMessageBox::critical(asker(window), title(), QString::fromStdString(text), QMessageBox::Ok);
}

bool QtShell::ask(const std::string& text) {
    return QMessageBox::question(asker(window), title(), QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

void QtShell::beep() {
    QApplication::beep();
}

void QtShell::setHourglass(bool on) {
    if (on == hourglass)
        return;
    hourglass = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtShell::processMessages() {
    QCoreApplication::processEvents();
}

void QtShell::setTimer(bool enabled) {
    arm(timer, enabled, 1000);
}

void QtShell::setBannerTimer(bool enabled, int intervalMs) {
    arm(bannerTimer, enabled, intervalMs);
}

QStringList QtShell::nameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        // The description usually shows its patterns in brackets already; Qt reads the patterns
        // from the brackets, so they are replaced by the real ones.
        if (description.endsWith(QLatin1Char(')'))) {
            const qsizetype open = description.lastIndexOf(QLatin1Char('('));
            if (open > 0)
                description = description.left(open).trimmed();
        }
        QStringList patterns;
        for (QString pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            pattern = pattern.trimmed();
            if (pattern == QStringLiteral("*.*")) {
                patterns << QStringLiteral("*");
                continue;
            }
            for (const QString& variant : {pattern, pattern.toLower(), pattern.toUpper()})
                if (!patterns.contains(variant))
                    patterns << variant;
        }
        result << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')');
    }
    return result;
}

std::optional<std::string> QtShell::fileDialog(const app::TFileDialog& request) {
    QFileDialog dialog(asker(window), QString::fromStdString(request.title),
                       fromPath(request.initialDir));
    dialog.setNameFilters(nameFilters(request.filter));
    const bool save = request.kind == app::TFileDialog::TKind::save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save || !request.fileMustExist ? QFileDialog::AnyFile
                                                      : QFileDialog::ExistingFile);
    // Saving a playlist asks no overwrite question: the name was chosen on purpose.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
    if (!request.fileName.empty())
        dialog.selectFile(fromPath(request.fileName));
    // The toolkit's own box: its size, type and date columns fit their contents.
    if (auto* view = dialog.findChild<QTreeView*>()) {
        for (int column = 1; column < view->header()->count(); ++column)
            view->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

void QtShell::help(int context) {
    if (!helpViewer)
        helpViewer = std::make_unique<THelpWindow>();
    helpViewer->showContext(context);
}

void QtShell::helpQuit() {
    helpViewer.reset();
}

void QtShell::closeMainWindow() {
    if (!window)
        return;
    QTimer::singleShot(0, window, [target = window] {
        if (target)
            target->close();
    });
}

void QtShell::minimize() {
    if (window)
        window->showMinimized();
}

void QtShell::randomize() {
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    generator.seed(static_cast<std::mt19937::result_type>(now));
}

int QtShell::random(int range) {
    if (range <= 1)
        return 0;
    return std::uniform_int_distribution<int>(0, range - 1)(generator);
}

} // namespace zb::ui
