#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zb::app {

// How a column's placement value is read: from the control's left edge, from the item
// rectangle's left edge, or as a gap after the previous column (or the name).
enum class OffsetType { ScreenEdge, LeftEdge, Relative };

// The size, date and time columns a file list draws right-aligned after each file name. The
// front end measures the texts with its font and draws; everything that decides where and what
// lives here. Two settings comparing unequal mean the list has to be rebuilt and redrawn.
struct TExtFileListColumns {
    bool ShowSize = true;
    bool ShowDate = true;
    bool ShowTime = true;
    std::int32_t SizePos = 0;
    std::int32_t DatePos = 5;
    std::int32_t TimePos = 5;
    bool Separator = true;
    OffsetType SizeOffset = OffsetType::Relative;
    OffsetType DateOffset = OffsetType::Relative;
    OffsetType TimeOffset = OffsetType::Relative;

    bool operator==(const TExtFileListColumns&) const = default;
};

// Texts whose width the front end measures with the list's current font before each item.
inline constexpr const char* kNameWidthText = "XXXXXXXX.XXX";
inline constexpr const char* kSizeWidthText = "888,888,888";
inline constexpr const char* kSizeWidthTextPlain = "888888888";
inline constexpr int kIconGap = 6; // pixels between an item's icon and its name column

struct TColumnWidths {
    int name = 0;
    int size = 0;
    int date = 0; // of today's date in the short date format
    int time = 0; // of the current time in the time format
};

// The x at which each shown column's text ends (its texts are right-aligned there); nothing for a
// column that is not shown.
struct TColumnPositions {
    std::optional<int> size;
    std::optional<int> date;
    std::optional<int> time;
};

// The width of the name column: the widest name of the list, at least the classic width
// (kNameWidthText), but no more than leaves the columns, which end columnsEnd pixels right of the
// name, inside a list listWidth wide. A name wider than that is elided in the middle.
int nameColumnWidth(int widestName, int classicWidth, int listWidth, int columnsEnd);

// The size text measured for the size column's width.
const char* sizeWidthText(const TExtFileListColumns& columns);

// Column positions of one item whose rectangle starts at rectLeft. A hidden column takes no room:
// the next Relative column continues from where the previous shown one ended.
TColumnPositions columnPositions(const TExtFileListColumns& columns, int rectLeft,
                                 const TColumnWidths& widths, bool showIcons, int iconWidth);

// The path of an item: the list's directory and the item's text, joined by one separator.
std::string itemPath(const std::string& directory, const std::string& itemText);

// Digits grouped by three with "," when separator is set ("1,234,567"), plain digits otherwise;
// zero is "0" either way.
std::string formatFileSize(std::uint64_t size, bool separator);

} // namespace zb::app
