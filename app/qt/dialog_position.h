#pragma once

#include <QDialog>

class QComboBox;
class QHBoxLayout;
class QPushButton;

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
    // "OK" and "Cancel" at the right end of a row: OK sets okClicked and accepts, Cancel rejects.
    struct TOkCancel {
        QPushButton* ok;
        QPushButton* cancel;
        QHBoxLayout* row;
    };
    TOkCancel addOkCancel();

    // Whether the dialog closes through its OK button rather than Cancel, Escape or the close box.
    bool okClicked = false;

private:
    std::string iniFile;
    std::string topKey;
    std::string leftKey;
};

// A filter text of (description, pattern) pairs, "WAV files (*.WAV)|*.WAV|All files (*.*)|*.*",
// as the entries of box, each with its pattern as item data.
void fillFilter(QComboBox& box, const char* filter);

} // namespace zb::ui
