#pragma once

#include <QDialog>

#include <functional>
#include <string>

namespace zb::ui {

// A modal player dialog that remembers where the user left it: it opens at the position saved
// under its two keys in the settings file (read only when that file exists) or centred on the
// screen, and writes its position back under the same keys whenever it closes, by OK, Cancel,
// Escape or the window's close box. The settings file path is copied; nothing is owned beyond it.
class TPositionedDialog : public QDialog {
    Q_OBJECT

public:
    TPositionedDialog(QWidget* parent, std::string iniFile, std::string topKey,
                      std::string leftKey);

    void done(int result) override;

protected:
    // Lays the dialog out and moves it to its saved or centred position. The derived dialog calls
    // this at the end of its constructor, once its controls exist and its size is known.
    void restorePosition();
    // F1 in the dialog, or in any of its controls, opens the help page openHelp chooses.
    void setHelpKey(std::function<void()> openHelp);

private:
    std::string iniFile;
    std::string topKey;
    std::string leftKey;
};

} // namespace zb::ui
