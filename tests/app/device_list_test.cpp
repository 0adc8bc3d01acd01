#include "app/device_list.h"
#include "app/shell.h"

#include "support/fake_shell.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zb::app {
namespace {

// Records the message boxes.
using TFakeShell = zb::test::TFakeShell;

using Numbers = std::vector<std::int32_t>;

Numbers numbers(const TDeviceList& list) {
    Numbers result;
    for (const auto& node : list)
        result.push_back(node.number);
    return result;
}

TEST(DeviceList, ListsQualifyingDevicesByDescendingNumber) {
    EXPECT_EQ(numbers(buildDeviceList({{"A", true}, {"B", true}})), (Numbers{1, 0}));

    const auto list = buildDeviceList(
        {{"HDMI", false}, {"Speakers", true, true}, {"USB", false}, {"Headset", true}});
    EXPECT_EQ(numbers(list), (Numbers{3, 1}));
    EXPECT_EQ(list[0].name, "Headset");
    EXPECT_TRUE(buildDeviceList({{"HDMI", false}}).empty());
}

TEST(DeviceList, NamesAreCutAtThirtyOneCharactersWithoutSplittingOne) {
    const std::string ascii(40, 'x');
    EXPECT_EQ(buildDeviceList({{ascii, true}})[0].name, std::string(31, 'x'));

    // 30 letters and then two-byte characters: the cut falls after the first of them.
    const std::string umlauts = std::string(30, 'a') + "\xC3\xA4\xC3\xB6\xC3\xBC";
    EXPECT_EQ(buildDeviceList({{umlauts, true}})[0].name, std::string(30, 'a') + "\xC3\xA4");
    EXPECT_EQ(buildDeviceList({{"\xC3\xA4", true}})[0].name, "\xC3\xA4");
}

TEST(DeviceDialog, WithoutDevicesItComplainsAndChangesNothing) {
    TFakeShell shell;
    TDeviceDialogModel dialog({}, 2, shell);
    EXPECT_FALSE(dialog.activate());
    EXPECT_EQ(shell.errors, std::vector<std::string>{"No compatible waveOut devices!"});
    dialog.ok();
    std::int32_t setting = 2;
    dialog.applyTo(setting);
    EXPECT_EQ(setting, 2);
}

TEST(DeviceDialog, OkTakesTheSelectedLineOrTheFirstAndCancelNothing) {
    TFakeShell shell;
    const TDeviceList list = buildDeviceList({{"A", true}, {"B", false}, {"C", true}});
    std::int32_t setting = 0;
    TDeviceDialogModel dialog(list, setting, shell);
    EXPECT_TRUE(dialog.activate());
    EXPECT_EQ(dialog.selectedLine(), 1) << "the current device's line";
    dialog.selectLine(0);
    dialog.ok();
    dialog.applyTo(setting);
    EXPECT_EQ(setting, 2);

    for (std::int32_t current : {-1, 7}) {
        TDeviceDialogModel fresh(list, current, shell);
        ASSERT_TRUE(fresh.activate());
        EXPECT_EQ(fresh.selectedLine(), -1) << current;
        fresh.ok();
        EXPECT_EQ(fresh.result(), 2);
        fresh.cancel();
        std::int32_t unchanged = current;
        fresh.applyTo(unchanged);
        EXPECT_EQ(unchanged, current);
    }
}

} // namespace
} // namespace zb::app
