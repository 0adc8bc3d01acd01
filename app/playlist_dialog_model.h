#pragma once

#include "app/playlist.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zb::app {

class Shell;

// Enabled states of the playlist dialog's buttons. New, load and delete are always enabled.
struct TPlayListButtons {
    bool add = true;
    bool addAll = true;
    bool remove = false;
    bool removeAll = false;
    bool up = false;
    bool down = false;
    bool save = false;
    bool newList = true;
    bool load = true;
    bool trash = true;
};

// Everything the playlist dialog decides, without the toolkit: the dialog's own copy of the list,
// the directory its directory list shows, the group caption, the button states and the OK flag.
// The window draws this state and forwards its events to the handlers, which are named after the
// dialog's controls. The view tells the model which entries are selected (setSelected) before it
// forwards a click on the list or on remove, up or down, and redraws the list from shownList()
// and the entries' selected flags afterwards. The main list is never touched: the caller takes
// the edited copy with applyResult when the dialog closed with OK.
class TPlayListDialogModel final {
public:
    TPlayListDialogModel(std::string browseDirectory, std::string playlistDirectory,
                         const TPlayList& list);

    const TPlayList& list() const { return list_; }
    const std::string& browseDirectory() const { return browseDirectory_; }
    const std::string& playlistDirectory() const { return playlistDirectory_; }
    const std::string& groupCaption() const { return groupCaption_; }
    const TPlayListButtons& buttons() const { return buttons_; }
    int sizeColumnPosition() const { return sizeColumnPosition_; }
    bool ok() const { return ok_; }

    // The shown list: the entries' file names without directory, in list order.
    std::vector<std::string> shownList() const;

    // Sets the selection flag of one entry; an index past the end is ignored.
    void setSelected(std::size_t index, bool selected);

    // Returns whether the directory list should show browseDirectory (it exists).
    bool formActivate();
    void directoryListBoxChange(const std::string& directory);
    void fileListBoxChange(std::size_t selectedCount, std::size_t fileCount);
    void fileListBoxClick(std::size_t selectedCount, std::size_t fileCount);
    // The file list's selected resp. all files, as full paths.
    void addBtnClick(const std::vector<std::string>& selectedFiles);
    void addAllBtnClick(const std::vector<std::string>& allFiles);
    void removeBtnClick();
    void removeAllBtnClick();
    void listBoxClick();
    void upBtnClick();
    void downBtnClick();
    void newListBtnClick();
    void openListBtnClick(Shell& shell);
    void saveListBtnClick(Shell& shell);
    void trashListBnClick(Shell& shell);
    void filesDropped(const std::vector<std::string>& files);
    void okBtnClick();
    // Without the OK flag the dialog's list is released.
    void formClose();

    // When the dialog closed with OK, replaces mainList by the edited list and returns true;
    // otherwise leaves mainList alone.
    bool applyResult(TPlayList& mainList);

private:
    void append(const std::vector<std::string>& files);
    void enableListButtons();
    void clearList();
    void showFileNameInCaption();
    void restoreWorkingDirectory() const;

    TPlayList list_;
    std::string browseDirectory_;
    std::string playlistDirectory_;
    std::string groupCaption_ = "Playlist";
    TPlayListButtons buttons_;
    int sizeColumnPosition_ = 30;
    bool ok_ = false;
};

} // namespace zb::app
