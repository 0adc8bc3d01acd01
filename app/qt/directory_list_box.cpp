#include "app/qt/directory_list_box.h"

#include <QDir>
#include <QFileIconProvider>
#include <QKeyEvent>
#include <QStorageInfo>

namespace zb::ui {

namespace {

const QString kParentEntry = QStringLiteral("..");

bool contains(const QString& root, const QString& directory) {
    if (directory == root)
        return true;
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return directory.startsWith(prefix);
}

} // namespace

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath()))
            roots.append(volume.rootPath());
    }
    const QString home = QDir::homePath();
    if (!roots.contains(home))
        roots.append(home);
    roots.sort();
    const QFileIconProvider icons;
    for (const QString& root : roots)
        addItem(icons.icon(QFileIconProvider::Drive), root, root);
    connect(this, &QComboBox::activated, this,
            [this](int index) { emit locationChosen(itemData(index).toString()); });
}

void TDriveComboBox::showDirectory(const QString& directory) {
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i).toString();
        if (contains(root, directory) && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    setCurrentIndex(best);
}

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { openRow(row(item)); });
}

void TDirectoryListBox::keyPressEvent(QKeyEvent* event) {
    // Enter opens the directory; passed on, it would also press the dialog's default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openRow(currentRow());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void TDirectoryListBox::setDirectory(const QString& directory) {
    const QDir dir(directory);
    directory_ = QDir::cleanPath(dir.absolutePath());
    clear();
    const QFileIconProvider icons;
    const QIcon folder = icons.icon(QFileIconProvider::Folder);
    if (!QDir(directory_).isRoot())
        addItem(new QListWidgetItem(folder, kParentEntry));
    const QStringList names =
        QDir(directory_)
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names)
        addItem(new QListWidgetItem(folder, name));
    setToolTip(QDir::toNativeSeparators(directory_));
}

bool TDirectoryListBox::openRow(int row) {
    const QListWidgetItem* entry = item(row);
    if (entry == nullptr)
        return false;
    QDir dir(directory_);
    if (!dir.cd(entry->text()))
        return false;
    setDirectory(dir.absolutePath());
    emit directoryChanged(directory_);
    return true;
}

} // namespace zb::ui
