#include "app/drum_dialog_model.h"

#include "app/paths.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace zb::app {
namespace {

constexpr int kTrackCol = 0;
constexpr int kChannelCol = 1;

// A cell is a number within 1 .. maximum or "ALL" however it was spaced and cased. Accepted
// numbers are rewritten in plain digits: a leading blank would otherwise be written to DRUMS.INI
// ahead of the track and the line would no longer split into track and channel when read back.
bool normaliseCell(std::string& text, long maximum) {
    if (numberOK(text, true, true, 1, maximum)) {
        text = std::to_string(textToInt(text));
        return true;
    }
    std::string squeezed;
    std::copy_if(text.begin(), text.end(), std::back_inserter(squeezed),
                 [](char c) { return c != ' '; });
    if (upperCase(squeezed) != "ALL")
        return false;
    text = "ALL";
    return true;
}

const std::string kNoText;

} // namespace

TDrumDialogModel::TDrumDialogModel(TDrumTable& drumTable, Shell& shell)
    : drumTable(drumTable), shell(shell), table_(drumTable) {
    if (table_.empty())
        table_.push_back({kDrumTrackHeader, kDrumChannelHeader});
    if (entryCount() > 0)
        selRow = 1;
    removeEnabled_ = entryCount() > 1;
}

const std::string& TDrumDialogModel::cellText(int col, int row) const {
    if (col < 0 || col > kChannelCol || row < 0 || row >= rowCount())
        return kNoText;
    return table_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

bool TDrumDialogModel::isEntryCell(int col, int row) const {
    return col >= 0 && col <= kChannelCol && row >= 1 && row < rowCount();
}

void TDrumDialogModel::setButtons(bool valid) {
    addEnabled_ = valid;
    okEnabled_ = valid;
    removeEnabled_ = valid && entryCount() > 1;
}

bool TDrumDialogModel::checkCell(int newCol, int newRow) {
    if (isEntryCell(lastCol_, lastRow_)) {
        auto& text = table_[static_cast<std::size_t>(lastRow_)][static_cast<std::size_t>(lastCol_)];
        if (!normaliseCell(text, lastCol_ == kTrackCol ? 65535 : 16)) {
            selCol = lastCol_;
            selRow = lastRow_;
            // OK goes grey with the first complaint, so each bad cell is reported once.
            if (okEnabled_)
                shell.showError(lastCol_ == kTrackCol ? "Illegal MIDI Track!"
                                                      : "Illegal MIDI Channel!");
            setButtons(false);
            return false;
        }
    }
    lastCol_ = newCol;
    lastRow_ = newRow;
    setButtons(true);
    return true;
}

bool TDrumDialogModel::selectCell(int col, int row) {
    if (!isEntryCell(col, row))
        return false;
    if (col == selCol && row == selRow)
        return true;
    if (!checkCell(col, row))
        return false;
    selCol = col;
    selRow = row;
    return true;
}

void TDrumDialogModel::clickIntoTable() {
    checkCell(selCol, selRow);
}

void TDrumDialogModel::enterPressed() {
    checkCell(selCol, selRow);
}

void TDrumDialogModel::enterTable() {
    if (selCol != lastCol_ || selRow != lastRow_)
        checkCell(selCol, selRow);
}

void TDrumDialogModel::leaveTable() {
    if (!okEnabled_)
        return;
    lastCol_ = selCol;
    lastRow_ = selRow;
    checkCell(selCol, selRow);
}

void TDrumDialogModel::setCellText(int col, int row, const std::string& text) {
    if (isEntryCell(col, row))
        table_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = text;
}

bool TDrumDialogModel::complete() {
    for (int row = 1; row < rowCount(); ++row) {
        const auto& entry = table_[static_cast<std::size_t>(row)];
        if (!entry[kTrackCol].empty() && !entry[kChannelCol].empty())
            continue;
        shell.showError("Incomplete Track:Channel entry!");
        selectCell(entry[kTrackCol].empty() ? kTrackCol : kChannelCol, row);
        return false;
    }
    return true;
}

void TDrumDialogModel::addBtnClick() {
    if (!addEnabled_ || !complete())
        return;
    // Pressing the button takes the focus off the table: the cell being edited is tested before
    // a new entry may follow it.
    leaveTable();
    if (!addEnabled_)
        return;
    table_.push_back({"ALL", "10"});
    selectCell(kTrackCol, rowCount() - 1);
}

void TDrumDialogModel::removeBtnClick() {
    // The edited cell is not tested first: removing its entry is a fair way to get rid of a bad
    // value.
    if (!removeEnabled_ || entryCount() <= 1 || !isEntryCell(selCol, selRow))
        return;
    const int removed = selRow;
    table_.erase(table_.begin() + removed);
    selRow = std::min(selRow, rowCount() - 1);
    // The remembered cell keeps pointing at the same entry when rows move up below a removed
    // one; when its own entry went away it points at the entry that took its place.
    if (lastRow_ > removed)
        --lastRow_;
    lastRow_ = std::min(lastRow_, rowCount() - 1);
    removeEnabled_ = entryCount() > 1;
}

void TDrumDialogModel::helpBtnClick() {
    shell.help(helpDrumTracks);
}

bool TDrumDialogModel::ok() {
    leaveTable();
    if (!okEnabled_ || !complete())
        return false;
    TDrumRow header = drumTable.empty() ? table_.front() : drumTable.front();
    drumTable = table_;
    drumTable.front() = std::move(header);
    return true;
}

} // namespace zb::app
