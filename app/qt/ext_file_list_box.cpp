#include "app/qt/ext_file_list_box.h"

#include <QDateTime>
#include <QDir>
#include <QFileIconProvider>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QStyledItemDelegate>

namespace zb::ui {

namespace {

enum TItemRole : int {
    pathRole = Qt::UserRole,
    isFileRole,
    sizeRole,
    modifiedRole,
};

constexpr int kNameGap = 4; // pixels kept free between an elided name and the first column

app::TColumnWidths measure(const app::TExtFileListColumns& columns, const QFontMetrics& metrics) {
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    app::TColumnWidths widths;
    widths.name = metrics.horizontalAdvance(QString::fromLatin1(app::kNameWidthText));
    widths.size = metrics.horizontalAdvance(QString::fromLatin1(app::sizeWidthText(columns)));
    widths.date = metrics.horizontalAdvance(locale.toString(now.date(), QLocale::ShortFormat));
    widths.time = metrics.horizontalAdvance(locale.toString(now.time(), QLocale::ShortFormat));
    return widths;
}

// Draws an item as the list would and the columns over it, right-aligned at their positions.
class TExtFileListDelegate final : public QStyledItemDelegate {
public:
    explicit TExtFileListDelegate(TExtFileListBox& box) : QStyledItemDelegate(&box), box(box) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        const auto columns = box.itemColumns(index.row(), item.rect, item.fontMetrics);
        // Long names are cut before the first column instead of running under it.
        const auto& pos = columns.positions;
        const std::optional<int> first = pos.size ? pos.size : pos.date ? pos.date : pos.time;
        const QString& firstText = pos.size ? columns.size : pos.date ? columns.date : columns.time;
        if (first && !firstText.isEmpty()) {
            int textLeft = item.rect.left();
            if (box.showIcons())
                textLeft += item.decorationSize.width() + app::kIconGap;
            const int room =
                *first - item.fontMetrics.horizontalAdvance(firstText) - kNameGap - textLeft;
            item.text = item.fontMetrics.elidedText(item.text, Qt::ElideMiddle, std::max(room, 0));
        }
        const QWidget* widget = option.widget;
        QStyle* style = widget != nullptr ? widget->style() : nullptr;
        if (style == nullptr)
            return;
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

        painter->save();
        painter->setFont(item.font);
        const bool selected = (item.state & QStyle::State_Selected) != 0;
        painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const auto drawColumn = [&](const std::optional<int>& right, const QString& text) {
            if (!right || text.isEmpty())
                return;
            const QRect area(item.rect.left(), item.rect.top(), *right - item.rect.left(),
                             item.rect.height());
            painter->drawText(area, Qt::AlignRight | Qt::AlignVCenter, text);
        };
        drawColumn(columns.positions.size, columns.size);
        drawColumn(columns.positions.date, columns.date);
        drawColumn(columns.positions.time, columns.time);
        painter->restore();
    }

private:
    TExtFileListBox& box;
};

} // namespace

TExtFileListBox::TExtFileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setIconSize(QSize(16, 16));
    setUniformItemSizes(true);
    setItemDelegate(new TExtFileListDelegate(*this));
}

void TExtFileListBox::setColumns(const app::TExtFileListColumns& columns) {
    if (columns == columns_)
        return;
    columns_ = columns;
    // The items do not depend on the columns: a redraw keeps the user's selection.
    viewport()->update();
}

void TExtFileListBox::setShowIcons(bool show) {
    if (show == showIcons_)
        return;
    showIcons_ = show;
    rebuild();
}

void TExtFileListBox::setShowDirectories(bool show) {
    if (show == showDirectories_)
        return;
    showDirectories_ = show;
    rebuild();
}

void TExtFileListBox::setDirectory(const QString& directory) {
    directory_ = QDir::cleanPath(QDir(directory).absolutePath());
    rebuild();
}

void TExtFileListBox::setMask(const QString& mask) {
    patterns_.clear();
    for (const QString& pattern : mask.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        // On POSIX "*.*" would leave out names without a dot; it means "all files" here.
        patterns_.append(trimmed == QStringLiteral("*.*") ? QStringLiteral("*") : trimmed);
    }
    if (patterns_.isEmpty())
        patterns_.append(QStringLiteral("*"));
    rebuild();
}

void TExtFileListBox::rebuild() {
    clear();
    widestName_ = -1;
    if (directory_.isEmpty())
        return;
    const QDir dir(directory_);
    const QFileIconProvider icons;
    if (showDirectories_) {
        // Directories are listed whatever the mask says, as the file list always did.
        const auto dirs =
            dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo& info : dirs) {
            auto* item = new QListWidgetItem(QLatin1Char('[') + info.fileName() + QLatin1Char(']'));
            if (showIcons_)
                item->setIcon(icons.icon(QFileIconProvider::Folder));
            item->setData(isFileRole, false);
            addItem(item);
        }
    }
    // Without QDir::CaseSensitive the mask matches names in any case.
    const auto files = dir.entryInfoList(patterns_, QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : files) {
        auto* item = new QListWidgetItem(info.fileName());
        item->setToolTip(QDir::toNativeSeparators(info.absoluteFilePath()));
        if (showIcons_)
            item->setIcon(icons.icon(info));
        item->setData(pathRole, QString::fromStdString(app::itemPath(
                                    directory_.toStdString(), info.fileName().toStdString())));
        item->setData(isFileRole, true);
        item->setData(sizeRole, info.size());
        item->setData(modifiedRole, info.lastModified());
        addItem(item);
    }
}

int TExtFileListBox::widestName(const QFontMetrics& metrics) const {
    int widest = 0;
    for (int row = 0; row < count(); ++row)
        widest = std::max(widest, metrics.horizontalAdvance(item(row)->text()));
    return widest;
}

bool TExtFileListBox::isFileRow(int row) const {
    const QListWidgetItem* entry = item(row);
    return entry != nullptr && entry->data(isFileRole).toBool();
}

std::vector<std::string> TExtFileListBox::selectedFiles() const {
    std::vector<std::string> paths;
    for (int row = 0; row < count(); ++row) {
        if (isFileRow(row) && item(row)->isSelected())
            paths.push_back(item(row)->data(pathRole).toString().toStdString());
    }
    return paths;
}

std::vector<std::string> TExtFileListBox::allFiles() const {
    std::vector<std::string> paths;
    for (int row = 0; row < count(); ++row) {
        if (isFileRow(row))
            paths.push_back(item(row)->data(pathRole).toString().toStdString());
    }
    return paths;
}

std::size_t TExtFileListBox::fileCount() const {
    return allFiles().size();
}

std::size_t TExtFileListBox::selectedFileCount() const {
    return selectedFiles().size();
}

TExtFileListBox::TItemColumns TExtFileListBox::itemColumns(int row, const QRect& rect,
                                                           const QFontMetrics& metrics) const {
    TItemColumns result;
    auto widths = measure(columns_, metrics);
    // Names are shown whole as far as the list is wide: the name column is as wide as the
    // widest name, where the columns after it still fit.
    if (widestName_ < 0)
        widestName_ = widestName(metrics);
    auto unnamed = widths;
    unnamed.name = 0;
    const auto after = app::columnPositions(columns_, 0, unnamed, showIcons_, iconSize().width());
    const int columnsEnd =
        std::max({after.size.value_or(0), after.date.value_or(0), after.time.value_or(0)});
    widths.name =
        app::nameColumnWidth(widestName_, widths.name, viewport()->width() - kNameGap, columnsEnd);
    result.positions =
        app::columnPositions(columns_, rect.left(), widths, showIcons_, iconSize().width());
    if (!isFileRow(row))
        return result;
    const QListWidgetItem* entry = item(row);
    const auto size = entry->data(sizeRole).toLongLong();
    result.size = QString::fromStdString(app::formatFileSize(
        static_cast<std::uint64_t>(std::max<qint64>(size, 0)), columns_.Separator));
    const QDateTime modified = entry->data(modifiedRole).toDateTime();
    if (modified.isValid()) {
        const QLocale locale;
        result.date = locale.toString(modified.date(), QLocale::ShortFormat);
        result.time = locale.toString(modified.time(), QLocale::ShortFormat);
    }
    return result;
}

} // namespace zb::ui
