#pragma once

#include "app/main_form.h"
#include "app/shell.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <random>

namespace zb::ui {

class THelpWindow;

// The desktop around the player: modal message boxes, the beep, the wait cursor, the two timers,
// file dialogs, the help window and the random generator.
//
// attach() names the main window (parent of the boxes and dialogs, target of close and minimize)
// and the player whose TimerTimer and bannerTimerTimer the timers call. Closing the main window
// is queued, so that the handler that asked for it finishes before the window goes. The shell
// owns the help window; it must outlive the main window.
class QtShell final : public QObject, public app::Shell {
public:
    QtShell();
    ~QtShell() override;

    void attach(QWidget* window, app::TmainForm& form);

    void showError(const std::string& text) override;
    bool ask(const std::string& text) override;
    void beep() override;
    void setHourglass(bool on) override;
    void processMessages() override;
    void setTimer(bool enabled) override;
    void setBannerTimer(bool enabled, int intervalMs) override;
    std::optional<std::string> fileDialog(const app::TFileDialog& request) override;
    void help(int context) override;
    void helpQuit() override;
    void closeMainWindow() override;
    void minimize() override;
    void randomize() override;
    int random(int range) override;

    // "Description (*.a)|*.a|All files (*.*)|*.*" as Qt name filters: the patterns of each pair
    // in the description's brackets, also in lower and upper case (file systems here tell case
    // apart, the patterns were written for ones that do not), "*.*" as "*".
    static QStringList nameFilters(const std::string& filter);

    THelpWindow* helpWindow() const { return helpViewer.get(); }

private:
    QPointer<QWidget> window;
    app::TmainForm* form = nullptr;
    QTimer timer;
    QTimer bannerTimer;
    std::unique_ptr<THelpWindow> helpViewer;
    bool hourglass = false;
    std::mt19937 generator;
};

} // namespace zb::ui
