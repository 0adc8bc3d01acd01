#pragma once

#include "app/options.h"
#include "app/shell.h"

#include <string>

namespace zb::app {

inline constexpr const char* kDrumDialogCaption = "Drum track(s) and channel(s)";

// The rules of the drum track:channel dialog. The window draws table(), the selection and the
// three button states, and forwards the user's actions here; nothing reaches the caller's drum
// table before ok(). Cancel needs no call: dropping the model leaves the table as it was.
//
// Cells are addressed (col, row) as in the grid: column 0 is the track, 1 the channel; row 0 is
// the header, rows 1 and up are entries. The remembered cell (lastCol, lastRow) is the one being
// edited; every cell check tests it before the selection may move on, so a bad value cannot be
// left behind. Every access is range-checked: a cell outside the entries is never read or
// written, whatever sequence of events arrives.
class TDrumDialogModel final {
public:
    // drumTable must outlive the model; it is only written by ok().
    TDrumDialogModel(TDrumTable& drumTable, Shell& shell);
    TDrumDialogModel(const TDrumDialogModel&) = delete;
    TDrumDialogModel& operator=(const TDrumDialogModel&) = delete;

    const TDrumTable& table() const { return table_; }
    int rowCount() const { return static_cast<int>(table_.size()); }
    int entryCount() const { return rowCount() - 1; }
    // "" for a cell outside the table.
    const std::string& cellText(int col, int row) const;

    int selectedCol() const { return selCol; }
    int selectedRow() const { return selRow; }
    int lastCol() const { return lastCol_; }
    int lastRow() const { return lastRow_; }
    bool addEnabled() const { return addEnabled_; }
    bool removeEnabled() const { return removeEnabled_; }
    bool okEnabled() const { return okEnabled_; }

    // The user moves the selection. Returns whether the move is allowed; when it is refused the
    // selection stays on (or goes back to) the remembered cell. Header and out-of-range cells are
    // refused without any check.
    bool selectCell(int col, int row);
    void clickIntoTable();
    void enterPressed();
    void enterTable();
    void leaveTable();
    // The grid's editor changed the text of an entry cell; other cells are ignored.
    void setCellText(int col, int row, const std::string& text);

    // False, with a message and the empty cell selected, when an entry lacks its track or
    // channel. The window gives the table the focus then.
    bool complete();
    void addBtnClick();
    void removeBtnClick();
    void helpBtnClick();
    // Writes the entries into the caller's drum table (its header row stays) and returns true;
    // false, with nothing written, while a cell is invalid or an entry incomplete.
    bool ok();

private:
    bool isEntryCell(int col, int row) const;
    // Tests the remembered cell and, when it passes, remembers (newCol, newRow).
    bool checkCell(int newCol, int newRow);
    void setButtons(bool valid);

    TDrumTable& drumTable;
    Shell& shell;
    TDrumTable table_;
    int selCol = 0;
    int selRow = -1;
    int lastCol_ = -1;
    int lastRow_ = -1;
    bool addEnabled_ = true;
    bool removeEnabled_ = false;
    bool okEnabled_ = true;
};

} // namespace zb::app
