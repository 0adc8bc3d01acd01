#include "app/playlist_dialog_model.h"
#include "app/shell.h"
#include "support/fake_shell.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace zb::app {
namespace {

using TNames = std::vector<std::string>;

// Answers file dialogs with `answer` and records the requests and the errors shown.
using TFakeShell = zb::test::TFakeShell;

// A dialog over the entries "/m/a", "/m/b" ... with those marked 'x' in selection selected.
TPlayListDialogModel dialogOver(const std::string& entries, const std::string& selection = "") {
    TPlayList list;
    for (char c : entries)
        list.entries.push_back({std::string("/m/") + c, false});
    TPlayListDialogModel model("", "", list);
    for (std::size_t i = 0; i < selection.size(); ++i)
        model.setSelected(i, selection[i] == 'x');
    return model;
}

// The shown list with the selected entries in upper case: "BCad".
std::string shown(const TPlayListDialogModel& model) {
    std::string text;
    for (const auto& entry : model.list().entries)
        text += static_cast<char>(entry.fileName.back() - (entry.selected ? 'a' - 'A' : 0));
    return text;
}

TEST(PlayListDialog, ShowsTheCopyWithNamesCaptionAndInitialButtons) {
    test::TTempDir dir;
    TPlayList list{"/lists/My list.ZbL", false, {{"/music/one.mid", true}, {"/x/two.wav"}}};
    TPlayListDialogModel model(dir.str(), "", list);
    auto b = model.buttons();
    EXPECT_TRUE(b.add && b.addAll && b.newList && b.load && b.trash);
    EXPECT_FALSE(b.remove || b.removeAll || b.up || b.down || b.save);
    EXPECT_TRUE(model.formActivate());
    EXPECT_EQ(model.shownList(), (TNames{"one.mid", "two.wav"}));
    EXPECT_FALSE(model.list().entries[0].selected); // the list box starts unselected
    EXPECT_TRUE(model.buttons().removeAll && model.buttons().save);
    EXPECT_EQ(model.groupCaption(), "Playlist: My list");
    EXPECT_FALSE(TPlayListDialogModel(dir.str() + "/gone", "", list).formActivate());
}

TEST(PlayListDialog, FileListDecidesAddButtonsAndSizeColumn) {
    auto model = dialogOver("");
    model.fileListBoxChange(0, 0);
    EXPECT_FALSE(model.buttons().add || model.buttons().addAll);
    model.fileListBoxClick(0, 11);
    EXPECT_TRUE(!model.buttons().add && model.buttons().addAll);
    EXPECT_EQ(model.sizeColumnPosition(), 14);
    model.fileListBoxChange(2, 10);
    EXPECT_TRUE(model.buttons().add && model.buttons().addAll);
    EXPECT_EQ(model.sizeColumnPosition(), 30);
}

TEST(PlayListDialog, AddSelectAndRemoveKeepTheButtonsInStep) {
    auto model = dialogOver("");
    model.addBtnClick({"/m/a"});
    model.addAllBtnClick({"/m/b", "/m/c"});
    EXPECT_TRUE(model.list().modified && model.buttons().removeAll && model.buttons().save);
    model.setSelected(0, true);
    model.listBoxClick();
    EXPECT_TRUE(model.buttons().remove && !model.buttons().up && model.buttons().down);
    model.setSelected(0, false);
    model.setSelected(2, true);
    model.listBoxClick();
    EXPECT_TRUE(model.buttons().up && !model.buttons().down);
    model.removeBtnClick();
    EXPECT_EQ(shown(model), "ab");
    EXPECT_FALSE(model.buttons().remove || model.buttons().up || model.buttons().down);
    for (std::size_t i : {0u, 1u})
        model.setSelected(i, true);
    model.listBoxClick(); // everything selected: up and down stay as they were
    EXPECT_FALSE(model.buttons().up || model.buttons().down);
    model.removeBtnClick();
    EXPECT_FALSE(model.buttons().removeAll || model.buttons().save);
}

TEST(PlayListDialog, SelectedRunsMoveAsBlocksKeepingTheirSelection) {
    auto up = dialogOver("abcd", ".xx.");
    up.upBtnClick();
    EXPECT_EQ(shown(up), "BCad");
    EXPECT_TRUE(up.list().modified && !up.buttons().up && up.buttons().down);
    up.upBtnClick(); // a run at the top stays
    EXPECT_EQ(shown(up), "BCad");

    auto down = dialogOver("abcd", ".xx.");
    down.downBtnClick();
    EXPECT_EQ(shown(down), "adBC");
    EXPECT_TRUE(down.buttons().up && !down.buttons().down);

    auto runs = dialogOver("abcdef", "x.xx.x");
    runs.upBtnClick();
    EXPECT_EQ(shown(runs), "ACDbFe");
    runs.downBtnClick();
    EXPECT_EQ(shown(runs), "bACDeF");
    runs.downBtnClick();
    EXPECT_EQ(shown(runs), "beACDF");
}

TEST(PlayListDialog, OpenLoadsTheChosenFileAndKeepsTheListWhenItCannotBeRead) {
    test::TTempDir dir;
    const auto saved = std::filesystem::current_path();
    const auto song = dir.write("MID/song.mid", "MThd");
    const auto zbl = dir.write("ZbL/Party.ZbL", song + "\r\n" + dir.str() + "/absent.mid\r\n");
    TFakeShell shell;
    TPlayList list{"/lists/old.ZbL", false, {{"/m/old.mid"}}};
    TPlayListDialogModel model(dir.str() + "/MID", dir.str() + "/ZbL", list);

    shell.dialogAnswer = dir.str() + "/ZbL/unreadable.ZbL";
    model.openListBtnClick(shell);
    EXPECT_EQ(shell.dialogs.at(0).title, "Select playlist file to load");
    EXPECT_EQ(shell.dialogs.at(0).fileName, "/lists/old.ZbL");
    EXPECT_TRUE(shell.dialogs.at(0).fileMustExist);
    EXPECT_EQ(shell.errors, TNames{"Error: can't open file " + *shell.dialogAnswer});
    EXPECT_EQ(model.list().fileName, "/lists/old.ZbL");
    EXPECT_EQ(model.shownList(), TNames{"old.mid"});

    shell.dialogAnswer = zbl;
    model.openListBtnClick(shell);
    EXPECT_EQ(model.shownList(), TNames{"song.mid"});
    EXPECT_EQ(model.list().fileName, zbl);
    EXPECT_FALSE(model.list().modified);
    EXPECT_EQ(model.groupCaption(), "Playlist: Party");
    EXPECT_EQ(std::filesystem::current_path(), dir.path() / "MID");
    std::filesystem::current_path(saved);
}

TEST(PlayListDialog, SaveNamesTheGroupAndNewForgetsTheName) {
    test::TTempDir dir;
    TFakeShell shell;
    shell.dialogAnswer = dir.str() + "/Road trip.ZbL";
    auto model = dialogOver("a");
    model.saveListBtnClick(shell);
    EXPECT_EQ(model.groupCaption(), "Playlist: Road trip");
    model.newListBtnClick();
    EXPECT_TRUE(model.list().entries.empty() && model.list().fileName.empty());
    EXPECT_TRUE(model.list().modified);
    EXPECT_EQ(model.groupCaption(), "Playlist");
}

TEST(PlayListDialog, DeletingThePlaylistFileLeavesTheListAlone) {
    test::TTempDir dir;
    const auto zbl = dir.write("cur.ZbL", "/m/a\r\n");
    TPlayListDialogModel model("", dir.str(), TPlayList{zbl, false, {{"/m/a"}}});
    TFakeShell shell;
    shell.dialogAnswer = zbl;
    model.trashListBnClick(shell);
    EXPECT_EQ(shell.dialogs.at(0).title, "Select playlist file to delete");
    EXPECT_FALSE(std::filesystem::exists(zbl));
    EXPECT_EQ(model.list().fileName, zbl);
    EXPECT_EQ(model.list().entries.size(), 1u);
    // Gone already, and a directory is never deleted.
    model.trashListBnClick(shell);
    std::filesystem::create_directory(dir.path() / "sub.ZbL");
    shell.dialogAnswer = dir.str() + "/sub.ZbL";
    model.trashListBnClick(shell);
    EXPECT_EQ(shell.errors, (TNames{"Error: can't delete file " + zbl,
                                    "Error: can't delete file " + *shell.dialogAnswer}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "sub.ZbL"));
}

TEST(PlayListDialog, OnlyOkHandsTheEditedListBack) {
    TPlayList main{"", false, {{"/m/a.mid"}, {"/m/b.mid"}}};
    TPlayListDialogModel cancelled("/music", "", main);
    cancelled.removeAllBtnClick();
    cancelled.directoryListBoxChange("/elsewhere");
    cancelled.formClose();
    EXPECT_FALSE(cancelled.applyResult(main));
    EXPECT_EQ(main.entries.size(), 2u);
    EXPECT_EQ(cancelled.browseDirectory(), "/elsewhere");

    TPlayListDialogModel accepted("", "", main);
    accepted.filesDropped({"/x/c.MID", "/x/notes.txt"});
    accepted.okBtnClick();
    accepted.formClose();
    EXPECT_TRUE(accepted.applyResult(main));
    EXPECT_EQ(main.entries.back().fileName, "/x/c.MID");
    EXPECT_EQ(main.entries.size(), 3u);
    EXPECT_TRUE(main.modified);
}

} // namespace
} // namespace zb::app
