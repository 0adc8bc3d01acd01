#pragma once

#include "app/playlist_dialog_model.h"
#include "app/qt/dialog_position.h"
#include "app/shell.h"

#include <map>
#include <string>
#include <vector>

class QAbstractButton;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;

namespace zb::ui {

class TDirectoryListBox;
class TDriveComboBox;
class TExtFileListBox;

// The playlist dialog: a "Files" group (location selector, directory list, file list with its
// size column, filter selector), "Add", "Add all", "Remove", "Remove all", "OK", "Cancel", and a
// playlist group with the dialog's list and its up, down, new, load, save and delete buttons.
// The model holds the list, the caption and every button state; the dialog draws them, forwards
// the events, and accepts files dropped onto it. The model and the shell must outlive the
// dialog; the caller takes the list from the model after exec().
class TplayListDlg final : public TPositionedDialog {
    Q_OBJECT

public:
    enum class TButton {
        add,
        addAll,
        remove,
        removeAll,
        ok,
        cancel,
        up,
        down,
        newList,
        load,
        save,
        trash
    };

    TplayListDlg(QWidget* parent, app::TPlayListDialogModel& model, app::Shell& shell,
                 const std::string& iniFile);

    QAbstractButton& button(TButton which) const { return *buttons.at(which); }
    TDirectoryListBox& directoryList() const { return *dirList; }
    TExtFileListBox& fileList() const { return *files; }
    QComboBox& filterBox() const { return *filter; }
    QListWidget& listBox() const { return *list; }
    QGroupBox& playlistGroup() const { return *listGroup; }

    // Files dropped onto the dialog, as full paths.
    void filesDropped(const std::vector<std::string>& files);
    void done(int result) override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAbstractButton* makeButton(TButton which, const char* caption, const char* hint);
    QAbstractButton* makeIconButton(TButton which, int standardIcon, const char* hint);
    void connectButtons();
    void browseTo(const QString& directory);
    void fileListChanged();
    void listSelectionChanged();
    // Hands the list's selection to the model before a command that works on it.
    void syncSelection();
    // Draws the model's list with its selection, the group caption and the button states.
    void refreshList();
    void refreshButtons();

    app::TPlayListDialogModel& model;
    app::Shell& shell;
    std::map<TButton, QAbstractButton*> buttons;
    TDriveComboBox* drives = nullptr;
    QLabel* path = nullptr;
    TDirectoryListBox* dirList = nullptr;
    TExtFileListBox* files = nullptr;
    QComboBox* filter = nullptr;
    QGroupBox* listGroup = nullptr;
    QListWidget* list = nullptr;
    bool refreshing = false; // the list's selection signals come from refreshList itself
};

} // namespace zb::ui
