#pragma once

#include <QTextBrowser>

namespace zb::ui {

// The user documentation: HTML pages compiled into the program (help.qrc), shown in a window of
// their own that stays open beside the player. Contexts: 0 contents, 500 main window, 1000
// options, 2000 drum tracks; an unknown context shows the contents.
class THelpWindow final : public QTextBrowser {
public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // The page of a help context, as a resource URL.
    static QUrl pageOf(int context);
    // Shows the page of context and brings the window to the front.
    void showContext(int context);
};

} // namespace zb::ui
