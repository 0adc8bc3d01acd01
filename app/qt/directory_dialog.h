#pragma once

#include "app/directory_chooser_model.h"
#include "app/qt/dialog_position.h"

#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zb::ui {

class TDirectoryListBox;
class TDriveComboBox;
class TExtFileListBox;

// The directory chooser: a location selector, a directory list, a file list with a filter
// selector (the caller's description|pattern pairs), an edit line, "OK" and "Cancel". The model
// decides what the edit line and the directory list show and what the result is; the model must
// outlive the dialog. The edit check runs on a click into the edit line and on Enter there.
class TdirectoryChooser final : public TPositionedDialog {
    Q_OBJECT

public:
    TdirectoryChooser(QWidget* parent, app::TDirectoryChooserModel& model,
                      const app::TDirectoryChooserSetup& setup, const std::string& iniFile);

    QLineEdit& editLine() const { return *edit; }
    TDirectoryListBox& directoryList() const { return *dirList; }
    TExtFileListBox& fileList() const { return *files; }
    QComboBox& filterBox() const { return *filter; }
    QPushButton& okButton() const { return *okBtn; }

    // The user typed into the edit line and pressed Enter (or clicked into it).
    void editCheck();
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showListDirectory();
    void listMoved(const QString& directory);

    app::TDirectoryChooserModel& model;
    TDriveComboBox* drives = nullptr;
    QLabel* path = nullptr;
    TDirectoryListBox* dirList = nullptr;
    TExtFileListBox* files = nullptr;
    QComboBox* filter = nullptr;
    QLineEdit* edit = nullptr;
    QPushButton* okBtn = nullptr;
    bool activated = false;
};

// Runs the chooser for one kind of directory; the result is the model's: empty keeps the caller's.
std::string runDirectoryChooser(QWidget* parent, app::TDirectoryChooserModel& model,
                                const app::TDirectoryChooserSetup& setup,
                                const std::string& iniFile);

} // namespace zb::ui
