#include "app/playlist_dialog_model.h"

#include "app/paths.h"
#include "app/shell.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

namespace zb::app {

namespace {

// More than ten files bring the list's scroll bar, which needs the room of the wider column.
constexpr std::size_t kFilesWithoutScrollBar = 10;
constexpr int kSizeColumnNarrow = 14;
constexpr int kSizeColumnWide = 30;

TFileDialog playlistFileDialog(std::string title, const std::string& initialDir) {
    TFileDialog request;
    request.kind = TFileDialog::TKind::open;
    request.title = std::move(title);
    request.filter = kPlaylistFilter;
    request.defaultExt = kPlaylistDefaultExt;
    request.initialDir = initialDir;
    request.pathMustExist = true;
    request.fileMustExist = true;
    return request;
}

} // namespace

TPlayListDialogModel::TPlayListDialogModel(std::string browseDirectory,
                                           std::string playlistDirectory, const TPlayList& list)
    : list_(copyPlaylist(list)), browseDirectory_(std::move(browseDirectory)),
      playlistDirectory_(std::move(playlistDirectory)) {
    // The list box starts without a selection; flags left over from an earlier dialog must not
    // make up one.
    for (auto& entry : list_.entries)
        entry.selected = false;
}

std::vector<std::string> TPlayListDialogModel::shownList() const {
    std::vector<std::string> names;
    names.reserve(list_.entries.size());
    for (const auto& entry : list_.entries)
        names.push_back(extractFileName(entry.fileName));
    return names;
}

void TPlayListDialogModel::setSelected(std::size_t index, bool selected) {
    if (index < list_.entries.size())
        list_.entries[index].selected = selected;
}

bool TPlayListDialogModel::formActivate() {
    ok_ = false;
    if (!list_.entries.empty())
        enableListButtons();
    if (!list_.fileName.empty())
        showFileNameInCaption();
    return directoryExists(browseDirectory_);
}

void TPlayListDialogModel::directoryListBoxChange(const std::string& directory) {
    browseDirectory_ = directory;
}

void TPlayListDialogModel::fileListBoxChange(std::size_t selectedCount, std::size_t fileCount) {
    sizeColumnPosition_ = fileCount > kFilesWithoutScrollBar ? kSizeColumnNarrow : kSizeColumnWide;
    buttons_.add = selectedCount > 0;
    buttons_.addAll = selectedCount > 0 || fileCount > 0;
}

void TPlayListDialogModel::fileListBoxClick(std::size_t selectedCount, std::size_t fileCount) {
    fileListBoxChange(selectedCount, fileCount);
}

void TPlayListDialogModel::addBtnClick(const std::vector<std::string>& selectedFiles) {
    append(selectedFiles);
}

void TPlayListDialogModel::addAllBtnClick(const std::vector<std::string>& allFiles) {
    append(allFiles);
}

void TPlayListDialogModel::removeBtnClick() {
    std::erase_if(list_.entries, [](const TPlayListNode& entry) { return entry.selected; });
    buttons_.remove = false;
    buttons_.up = false;
    buttons_.down = false;
    if (list_.entries.empty()) {
        buttons_.removeAll = false;
        buttons_.save = false;
    }
    list_.modified = true;
}

void TPlayListDialogModel::removeAllBtnClick() {
    clearList();
    list_.modified = true;
}

void TPlayListDialogModel::listBoxClick() {
    const auto& entries = list_.entries;
    const auto selected = std::count_if(entries.begin(), entries.end(),
                                        [](const TPlayListNode& entry) { return entry.selected; });
    if (selected == 0)
        return;
    buttons_.remove = true;
    // With everything selected nothing could move; up and down keep their state.
    if (static_cast<std::size_t>(selected) < entries.size()) {
        buttons_.up = !entries.front().selected;
        buttons_.down = !entries.back().selected;
    }
}

void TPlayListDialogModel::upBtnClick() {
    auto& entries = list_.entries;
    // Each run of selected entries that has an unselected entry above it swaps places with that
    // entry as one block; a run at the top has nowhere to go.
    std::size_t i = 1;
    while (i < entries.size()) {
        if (!entries[i].selected || entries[i - 1].selected) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < entries.size() && entries[end].selected)
            ++end;
        const auto first = entries.begin() + static_cast<std::ptrdiff_t>(i - 1);
        std::rotate(first, first + 1, entries.begin() + static_cast<std::ptrdiff_t>(end));
        i = end + 1;
    }
    list_.modified = true;
    if (!entries.empty() && entries.front().selected)
        buttons_.up = false;
    buttons_.down = true;
}

void TPlayListDialogModel::downBtnClick() {
    auto& entries = list_.entries;
    // The mirror image of upBtnClick, walking from the bottom.
    std::size_t i = entries.size();
    while (i >= 2) {
        const std::size_t last = i - 2; // candidate last entry of a run, below it entries[i - 1]
        if (!entries[last].selected || entries[last + 1].selected) {
            --i;
            continue;
        }
        std::size_t begin = last;
        while (begin > 0 && entries[begin - 1].selected)
            --begin;
        const auto first = entries.begin() + static_cast<std::ptrdiff_t>(begin);
        const auto stop = entries.begin() + static_cast<std::ptrdiff_t>(last + 2);
        std::rotate(first, stop - 1, stop);
        i = begin;
    }
    list_.modified = true;
    if (!entries.empty() && entries.back().selected)
        buttons_.down = false;
    buttons_.up = true;
}

void TPlayListDialogModel::newListBtnClick() {
    clearList();
    list_.fileName.clear();
    list_.modified = true;
    groupCaption_ = "Playlist";
}

void TPlayListDialogModel::openListBtnClick(Shell& shell) {
    auto request = playlistFileDialog("Select playlist file to load", playlistDirectory_);
    request.fileName = list_.fileName;
    if (const auto chosen = shell.fileDialog(request)) {
        // The list keeps its name when the file cannot be read: it still holds the old entries,
        // and naming it after another file would let them be lost at the next start.
        if (!canOpenFile(*chosen)) {
            shell.showError("Error: can't open file " + *chosen);
        } else {
            list_.fileName = *chosen;
            showFileNameInCaption();
            clearList();
            for (auto& name : readPlaylistFile(*chosen))
                list_.entries.push_back({std::move(name), false});
            list_.modified = false;
            if (!list_.entries.empty())
                enableListButtons();
        }
    }
    restoreWorkingDirectory();
}

void TPlayListDialogModel::saveListBtnClick(Shell& shell) {
    if (savePlaylist(list_, playlistDirectory_, shell))
        showFileNameInCaption();
    restoreWorkingDirectory();
}

void TPlayListDialogModel::trashListBnClick(Shell& shell) {
    const auto request = playlistFileDialog("Select playlist file to delete", playlistDirectory_);
    if (const auto chosen = shell.fileDialog(request)) {
        std::error_code ec;
        // Only a file: an empty directory of the chosen name would otherwise go as well.
        if (!fileExists(*chosen) || !std::filesystem::remove(*chosen, ec) || ec)
            shell.showError("Error: can't delete file " + *chosen);
    }
    restoreWorkingDirectory();
}

void TPlayListDialogModel::filesDropped(const std::vector<std::string>& files) {
    addDroppedFiles(list_, files);
    if (!list_.entries.empty())
        enableListButtons();
}

void TPlayListDialogModel::okBtnClick() {
    ok_ = true;
}

void TPlayListDialogModel::formClose() {
    if (!ok_)
        disposePlaylist(list_);
}

bool TPlayListDialogModel::applyResult(TPlayList& mainList) {
    if (!ok_)
        return false;
    mainList = std::move(list_);
    list_ = TPlayList{};
    return true;
}

void TPlayListDialogModel::append(const std::vector<std::string>& files) {
    for (const auto& file : files)
        list_.entries.push_back({file, false});
    list_.modified = true;
    if (!list_.entries.empty())
        enableListButtons();
}

void TPlayListDialogModel::enableListButtons() {
    buttons_.removeAll = true;
    buttons_.save = true;
}

void TPlayListDialogModel::clearList() {
    disposePlaylist(list_);
    buttons_.removeAll = false;
    buttons_.remove = false;
    buttons_.up = false;
    buttons_.down = false;
    buttons_.save = false;
}

void TPlayListDialogModel::showFileNameInCaption() {
    groupCaption_ = "Playlist: " + changeFileExt(extractFileName(list_.fileName), "");
}

void TPlayListDialogModel::restoreWorkingDirectory() const {
    // The platform's file dialogs may move the working directory; relative names the directory
    // list hands out must keep meaning the directory it shows.
    std::error_code ec;
    if (directoryExists(browseDirectory_))
        std::filesystem::current_path(browseDirectory_, ec);
}

} // namespace zb::app
