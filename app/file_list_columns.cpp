#include "app/file_list_columns.h"

#include "app/paths.h"

#include <algorithm>

namespace zb::app {
namespace {

int placeColumn(OffsetType offset, int pos, int rectLeft, int x, int width) {
    switch (offset) {
    case OffsetType::ScreenEdge:
        return pos;
    case OffsetType::LeftEdge:
        return rectLeft + pos;
    case OffsetType::Relative:
        break;
    }
    return x + width + pos;
}

} // namespace

int nameColumnWidth(int widestName, int classicWidth, int listWidth, int columnsEnd) {
    return std::max(classicWidth, std::min(widestName, listWidth - columnsEnd));
}

const char* sizeWidthText(const TExtFileListColumns& columns) {
    return columns.Separator ? kSizeWidthText : kSizeWidthTextPlain;
}

TColumnPositions columnPositions(const TExtFileListColumns& columns, int rectLeft,
                                 const TColumnWidths& widths, bool showIcons, int iconWidth) {
    int x = rectLeft + widths.name;
    if (showIcons)
        x += iconWidth + kIconGap;
    TColumnPositions positions;
    if (columns.ShowSize) {
        x = placeColumn(columns.SizeOffset, columns.SizePos, rectLeft, x, widths.size);
        positions.size = x;
    }
    if (columns.ShowDate) {
        x = placeColumn(columns.DateOffset, columns.DatePos, rectLeft, x, widths.date);
        positions.date = x;
    }
    if (columns.ShowTime) {
        x = placeColumn(columns.TimeOffset, columns.TimePos, rectLeft, x, widths.time);
        positions.time = x;
    }
    return positions;
}

std::string itemPath(const std::string& directory, const std::string& itemText) {
    return appendBackslash(directory) + itemText;
}

std::string formatFileSize(std::uint64_t size, bool separator) {
    std::string digits = std::to_string(size);
    if (!separator)
        return digits;
    std::string grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

} // namespace zb::app
