#include "app/file_list_columns.h"

#include <gtest/gtest.h>

namespace zb::app {
namespace {

// Widths as a front end might measure them: name 80, size 60, date 50, time 40 pixels.
constexpr TColumnWidths kWidths{80, 60, 50, 40};
constexpr int kLeft = 10;

TEST(FileListColumns, DefaultsStackTheColumnsRightOfTheName) {
    const TExtFileListColumns columns;
    const auto at = columnPositions(columns, kLeft, kWidths, false, 0);
    EXPECT_EQ(at.size, 10 + 80 + 60);
    EXPECT_EQ(at.date, 150 + 5 + 50);
    EXPECT_EQ(at.time, 205 + 5 + 40);
}

TEST(FileListColumns, IconsMoveEveryRelativeColumnByTheIconAndItsGap) {
    const TExtFileListColumns columns;
    const auto plain = columnPositions(columns, kLeft, kWidths, false, 16);
    const auto icons = columnPositions(columns, kLeft, kWidths, true, 16);
    EXPECT_EQ(*icons.size - *plain.size, 22);
    EXPECT_EQ(*icons.date - *plain.date, 22);
    EXPECT_EQ(*icons.time - *plain.time, 22);
}

TEST(FileListColumns, FixedOffsetsPlaceAColumnAndTheNextRelativeOneFollowsIt) {
    TExtFileListColumns columns;
    columns.SizeOffset = OffsetType::ScreenEdge;
    columns.SizePos = 300;
    columns.DateOffset = OffsetType::LeftEdge;
    columns.DatePos = 400;
    auto at = columnPositions(columns, kLeft, kWidths, true, 16);
    EXPECT_EQ(at.size, 300) << "from the control's edge, whatever the rectangle and icons";
    EXPECT_EQ(at.date, kLeft + 400);
    EXPECT_EQ(at.time, kLeft + 400 + 40 + 5);

    columns.TimeOffset = OffsetType::ScreenEdge;
    columns.TimePos = 50;
    EXPECT_EQ(columnPositions(columns, kLeft, kWidths, false, 0).time, 50);
}

TEST(FileListColumns, HiddenColumnsTakeNoRoom) {
    TExtFileListColumns columns;
    columns.ShowSize = false;
    auto at = columnPositions(columns, kLeft, kWidths, false, 0);
    EXPECT_FALSE(at.size.has_value());
    EXPECT_EQ(at.date, 10 + 80 + 50 + 5) << "the date starts from the name column's end";
    EXPECT_EQ(at.time, *at.date + 40 + 5);

    columns.ShowDate = false;
    columns.ShowTime = false;
    at = columnPositions(columns, kLeft, kWidths, false, 0);
    EXPECT_FALSE(at.date || at.time);
}

TEST(FileListColumns, TheNameColumnFitsTheWidestNameAsFarAsTheListAllows) {
    // widest name, classic width, list width, columns' end -> name column
    const int cases[][5] = {
        {40, 80, 400, 200, 80},   // short names keep the classic width
        {150, 80, 400, 200, 150}, // a long name is shown whole
        {300, 80, 400, 200, 200}, // ... as far as the columns still fit
        {300, 80, 250, 200, 80},  // a narrow list never goes below the classic width
    };
    for (const auto& c : cases)
        EXPECT_EQ(nameColumnWidth(c[0], c[1], c[2], c[3]), c[4]) << c[0] << " in " << c[2];
}

TEST(FileListColumns, SizesAreGroupedByThreeOnlyWithTheSeparator) {
    EXPECT_EQ(formatFileSize(0, true), "0");
    EXPECT_EQ(formatFileSize(0, false), "0");
    EXPECT_EQ(formatFileSize(999, true), "999");
    EXPECT_EQ(formatFileSize(1000, true), "1,000");
    EXPECT_EQ(formatFileSize(123456789, true), "123,456,789");
    EXPECT_EQ(formatFileSize(5368709120ULL, true), "5,368,709,120");
    EXPECT_EQ(formatFileSize(1234567, false), "1234567");
    TExtFileListColumns plain;
    plain.Separator = false;
    EXPECT_STREQ(sizeWidthText(plain), "888888888") << "measured as it will be shown";
}

TEST(FileListColumns, FilesAreLookedUpInTheListsDirectory) {
    EXPECT_EQ(itemPath("/music", "a.mid"), "/music/a.mid");
    EXPECT_EQ(itemPath("/music/", "a.mid"), "/music/a.mid");
}

} // namespace
} // namespace zb::app
