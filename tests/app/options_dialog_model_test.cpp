#include "app/options_dialog_model.h"
#include "app/shell.h"
#include "support/fake_shell.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zb::app {
namespace {

// Records help requests and message boxes; answers No.
using TFakeShell = zb::test::TFakeShell;

TOptions someOptions() {
    TOptions options;
    options.patchDirectory = "/old/PRG";
    options.sampleDirectory = "/old/WAV";
    options.destinationDirectory = "/old/Song";
    options.playlistDirectory = "/old/ZbL";
    return options;
}

TEST(OptionsDialog, ConfirmedDrumChangesSurviveCancellingTheOptions) {
    TFakeShell shell;
    TOptions main = someOptions();
    {
        TOptionsDialogModel dialog(main, shell);
        auto drums = dialog.drumDialog();
        drums.addBtnClick();
        ASSERT_TRUE(drums.ok());
        dialog.setToggle(TOptionToggle::legacyMode, true);
    }
    ASSERT_EQ(main.drumTable->size(), 3U);
    EXPECT_EQ((*main.drumTable)[2], (TDrumRow{"ALL", "10"}));
    EXPECT_FALSE(main.legacyMode);

    {
        TOptionsDialogModel dialog(main, shell);
        auto drums = dialog.drumDialog();
        drums.removeBtnClick(); // a drum dialog closed with Cancel
    }
    EXPECT_EQ(main.drumTable->size(), 3U);
}

TEST(OptionsDialog, ChosenDirectoriesReachTheSettingsOnlyOnOk) {
    TFakeShell shell;
    TOptions main = someOptions();
    {
        TOptionsDialogModel dialog(main, shell);
        dialog.directoryChosen(TDirectoryKind::patch, "/new/PRG");
        EXPECT_EQ(dialog.directory(TDirectoryKind::patch), "/new/PRG");
    }
    EXPECT_EQ(main.patchDirectory, "/old/PRG");

    TOptionsDialogModel dialog(main, shell);
    dialog.directoryChosen(TDirectoryKind::sample, "/new/WAV");
    dialog.directoryChosen(TDirectoryKind::destination, "");
    dialog.directoryChosen(TDirectoryKind::playlist, "/new/ZbL");
    dialog.ok();
    EXPECT_EQ(main.sampleDirectory, "/new/WAV");
    EXPECT_EQ(main.destinationDirectory, "/old/Song") << "an empty choice keeps the directory";
    EXPECT_EQ(main.playlistDirectory, "/new/ZbL");
    EXPECT_EQ(main.patchDirectory, "/old/PRG");
}

TEST(OptionsDialog, ChooserStartsInTheDirectoryOfItsKind) {
    test::TTempDir dir;
    TFakeShell shell;
    TOptions main = someOptions();
    main.sampleDirectory = dir.str();
    TOptionsDialogModel dialog(main, shell);
    auto chooser = dialog.directoryChooser(TDirectoryKind::sample);
    chooser.activate();
    EXPECT_EQ(chooser.editText(), dir.str());
    chooser.listDirectoryChanged(dir.str() + "/x");
    chooser.cancel();
    dialog.directoryChosen(TDirectoryKind::sample, chooser.result());
    EXPECT_EQ(dialog.directory(TDirectoryKind::sample), dir.str());
}

TEST(OptionsDialog, TogglesShowTheSettingsAndApplyOnOk) {
    TFakeShell shell;
    TOptions main = someOptions();
    TOptionsDialogModel dialog(main, shell);
    EXPECT_TRUE(dialog.toggle(TOptionToggle::saturate));
    EXPECT_FALSE(dialog.toggle(TOptionToggle::legacyMode));
    dialog.setToggle(TOptionToggle::defaultTo0, false);
    dialog.setToggle(TOptionToggle::legacyMode, true);
    EXPECT_TRUE(main.defaultTo0);
    dialog.ok();
    EXPECT_FALSE(main.defaultTo0);
    EXPECT_TRUE(main.legacyMode);
}

TEST(OptionsDialog, DeviceDialogWorksOnTheCopysDevice) {
    TFakeShell shell;
    TOptions main = someOptions();
    main.waveOutDevice = 1;
    TOptionsDialogModel dialog(main, shell);
    auto devices = dialog.deviceDialog(buildDeviceList({{"A", true}, {"B", true}}));
    ASSERT_TRUE(devices.activate());
    EXPECT_EQ(devices.selectedLine(), 0);
    devices.selectLine(1);
    devices.ok();
    dialog.deviceDialogClosed(devices);
    EXPECT_EQ(dialog.options().waveOutDevice, 0);
    EXPECT_EQ(main.waveOutDevice, 1);
    dialog.ok();
    EXPECT_EQ(main.waveOutDevice, 0);
}

TEST(OptionsDialog, HelpOpensTheOptionsPage) {
    TFakeShell shell;
    TOptions main = someOptions();
    TOptionsDialogModel dialog(main, shell);
    dialog.helpBtnClick();
    EXPECT_EQ(shell.helpContexts, std::vector<int>{helpOptions});
    EXPECT_STREQ(optionsControlText(TOptionsControl::helpBtn).caption, "Help");
}

} // namespace
} // namespace zb::app
