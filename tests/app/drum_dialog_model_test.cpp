#include "app/drum_dialog_model.h"
#include "app/options.h"
#include "app/shell.h"

#include "support/fake_shell.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zb::app {
namespace {

// Records the message boxes and help requests.
using TFakeShell = zb::test::TFakeShell;

using Errors = std::vector<std::string>;

TDrumTable tableWith(const std::vector<TDrumRow>& entries) {
    TDrumTable table{{kDrumTrackHeader, kDrumChannelHeader}};
    table.insert(table.end(), entries.begin(), entries.end());
    return table;
}

// "ARO": which of Add, Remove and OK are enabled, "-" for a disabled one.
std::string buttons(const TDrumDialogModel& model) {
    return std::string(model.addEnabled() ? "A" : "-") + (model.removeEnabled() ? "R" : "-") +
           (model.okEnabled() ? "O" : "-");
}

TEST(DrumDialog, SpacedAllBecomesAllAndNumbersArePlainDigits) {
    TFakeShell shell;
    TDrumTable drums = defaultDrumTable();
    TDrumDialogModel model(drums, shell);
    EXPECT_EQ(buttons(model), "A-O");
    model.enterTable();
    model.setCellText(0, 1, " a l L ");
    EXPECT_TRUE(model.selectCell(1, 1));
    EXPECT_EQ(model.cellText(0, 1), "ALL");
    // A leading blank would land in DRUMS.INI before the track and break the line apart.
    model.setCellText(1, 1, " +09");
    model.enterPressed();
    EXPECT_EQ(model.cellText(1, 1), "9");
    EXPECT_TRUE(shell.errors.empty());
    EXPECT_FALSE(model.selectCell(0, 0)) << "the header is not an entry";
    EXPECT_FALSE(model.selectCell(2, 1));
}

TEST(DrumDialog, IllegalCellIsReportedOnceAndBlocksEverythingUntilCorrected) {
    TFakeShell shell;
    TDrumTable drums = tableWith({{"ALL", "10"}, {"2", "10"}});
    TDrumDialogModel model(drums, shell);
    model.enterTable();
    model.setCellText(0, 1, "0");
    EXPECT_FALSE(model.selectCell(1, 2));
    EXPECT_EQ(model.selectedRow(), 1);
    EXPECT_EQ(buttons(model), "---");
    EXPECT_FALSE(model.selectCell(1, 1));
    model.clickIntoTable();
    model.leaveTable();
    model.addBtnClick();
    model.removeBtnClick();
    EXPECT_FALSE(model.ok());
    EXPECT_EQ(shell.errors, Errors{"Illegal MIDI Track!"});
    EXPECT_EQ(model.entryCount(), 2);
    EXPECT_EQ(drums, tableWith({{"ALL", "10"}, {"2", "10"}}));

    model.setCellText(0, 1, "65535");
    model.enterPressed();
    EXPECT_EQ(buttons(model), "ARO");
    EXPECT_TRUE(model.selectCell(1, 1));
    model.setCellText(1, 1, "16");
    EXPECT_TRUE(model.selectCell(1, 2));
    model.setCellText(1, 2, "17");
    EXPECT_FALSE(model.selectCell(0, 1));
    EXPECT_EQ(shell.errors.back(), "Illegal MIDI Channel!");
    EXPECT_EQ(shell.errors.size(), 2U) << "a second bad cell gets its own box";
}

TEST(DrumDialog, LeavingTheTableOrPressingOkTestsTheCellBeingEdited) {
    TFakeShell shell;
    TDrumTable drums = defaultDrumTable();
    TDrumDialogModel model(drums, shell);
    model.setCellText(0, 1, "");
    model.leaveTable();
    EXPECT_FALSE(model.ok());
    EXPECT_EQ(shell.errors, Errors{"Illegal MIDI Track!"});
    EXPECT_EQ(drums, defaultDrumTable());

    // OK straight from an edited cell checks it too.
    TDrumDialogModel direct(drums, shell);
    direct.setCellText(0, 1, "0");
    EXPECT_FALSE(direct.ok());
    EXPECT_EQ(shell.errors.size(), 2U);
    EXPECT_EQ(drums, defaultDrumTable());
}

TEST(DrumDialog, IncompleteEntryBlocksAddAndGetsSelected) {
    TFakeShell shell;
    TDrumTable drums = tableWith({{"1", "10"}, {"2", "10"}, {"3", "10"}});
    TDrumDialogModel model(drums, shell);
    model.setCellText(1, 3, "");
    model.addBtnClick();
    EXPECT_EQ(shell.errors, Errors{"Incomplete Track:Channel entry!"});
    EXPECT_EQ(model.entryCount(), 3);
    EXPECT_EQ(model.selectedCol(), 1);
    EXPECT_EQ(model.selectedRow(), 3);
}

TEST(DrumDialog, AddAppendsAllTenButNotAfterABadValue) {
    TFakeShell shell;
    TDrumTable drums = tableWith({{"5", "9"}});
    TDrumDialogModel model(drums, shell);
    model.addBtnClick();
    EXPECT_EQ(model.table(), tableWith({{"5", "9"}, {"ALL", "10"}}));
    EXPECT_EQ(model.selectedCol(), 0);
    EXPECT_EQ(model.lastRow(), 2);
    EXPECT_EQ(buttons(model), "ARO");
    model.setCellText(0, 2, "70000");
    model.addBtnClick();
    EXPECT_EQ(model.entryCount(), 2);
    EXPECT_EQ(shell.errors, Errors{"Illegal MIDI Track!"});
}

TEST(DrumDialog, RemovingTheLastEntriesKeepsEveryCellInRange) {
    TFakeShell shell;
    TDrumTable drums = tableWith({{"1", "10"}, {"2", "10"}, {"3", "10"}});
    TDrumDialogModel model(drums, shell);
    ASSERT_TRUE(model.selectCell(1, 3));
    model.removeBtnClick();
    EXPECT_EQ(model.selectedRow(), 2);
    EXPECT_EQ(model.lastRow(), 2) << "the remembered last row moves up";
    // A bad value typed into the entry goes away with it; later checks see a real cell.
    model.setCellText(1, 2, "99");
    model.removeBtnClick();
    EXPECT_EQ(model.table(), tableWith({{"1", "10"}}));
    EXPECT_EQ(model.lastRow(), 1);
    EXPECT_EQ(buttons(model), "A-O");
    model.clickIntoTable();
    model.leaveTable();
    EXPECT_TRUE(shell.errors.empty());
}

TEST(DrumDialog, OkReplacesTheEntriesAndKeepsTheHeader) {
    TFakeShell shell;
    TDrumTable drums = tableWith({{"ALL", "10"}, {"4", "11"}});
    drums[0] = {"Track", "Channel"};
    TDrumDialogModel model(drums, shell);
    model.setCellText(1, 1, "12");
    ASSERT_TRUE(model.selectCell(0, 2));
    model.removeBtnClick();
    EXPECT_EQ(drums[1][1], "10") << "nothing is written before OK";
    EXPECT_TRUE(model.ok());
    EXPECT_EQ(drums, (TDrumTable{{"Track", "Channel"}, {"ALL", "12"}}));
    model.helpBtnClick();
    EXPECT_EQ(shell.helpContexts, std::vector<int>{helpDrumTracks});
}

} // namespace
} // namespace zb::app
