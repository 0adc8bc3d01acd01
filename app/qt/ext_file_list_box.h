#pragma once

#include "app/file_list_columns.h"

#include <QListWidget>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <string>
#include <vector>

class QFontMetrics;

namespace zb::ui {

// A file list with right-aligned size, date and time columns after each name: every file of one
// directory that matches the mask (without regard to case), optionally with file-type icons and
// with the subdirectories as "[name]" entries. Multi-selection. Where the columns go and what they
// say is decided by app/file_list_columns.h; this class measures with its font and draws.
class TExtFileListBox final : public QListWidget {
    Q_OBJECT

public:
    explicit TExtFileListBox(QWidget* parent = nullptr);

    const app::TExtFileListColumns& columns() const { return columns_; }
    // A different setting redraws the list.
    void setColumns(const app::TExtFileListColumns& columns);
    bool showIcons() const { return showIcons_; }
    void setShowIcons(bool show);
    bool showDirectories() const { return showDirectories_; }
    void setShowDirectories(bool show);

    const QString& directory() const { return directory_; }
    void setDirectory(const QString& directory);
    // File patterns separated by ";" ("*.MID"); "*.*" means every file, with or without a dot.
    void setMask(const QString& mask);

    // Full paths of the selected resp. all files (never directories), in list order.
    std::vector<std::string> selectedFiles() const;
    std::vector<std::string> allFiles() const;
    std::size_t fileCount() const;
    std::size_t selectedFileCount() const;

    // What an item shows beside its name when drawn in rect with the font of metrics: the column
    // texts (empty for a directory entry) and the x at which each shown column's text ends.
    struct TItemColumns {
        QString size;
        QString date;
        QString time;
        app::TColumnPositions positions;
    };
    TItemColumns itemColumns(int row, const QRect& rect, const QFontMetrics& metrics) const;

    // Reads the directory again.
    void rebuild();

private:
    bool isFileRow(int row) const;
    int widestName(const QFontMetrics& metrics) const;

    app::TExtFileListColumns columns_;
    bool showIcons_ = true;
    bool showDirectories_ = false;
    QString directory_;
    QStringList patterns_{QStringLiteral("*")};
    mutable int widestName_ = -1; // of the names listed, measured at the first draw
};

} // namespace zb::ui
