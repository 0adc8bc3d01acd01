#include "app/qt/playlist_dialog.h"

#include "app/qt/dialogs.h"
#include "app/qt/directory_list_box.h"
#include "app/qt/ext_file_list_box.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace zb::ui {

namespace {

using TButton = TplayListDlg::TButton;

constexpr const char* kListTopKey = "listTop";
constexpr const char* kListLeftKey = "listLeft";
constexpr const char* kFileFilter = "MID files (*.MID;*.KAR)|*.MID;*.KAR|WAV files (*.WAV)|*.WAV";

// A group box title treats "&" as a shortcut mark; a file name may hold one.
QString groupTitle(const std::string& caption) {
    QString title = QString::fromStdString(caption);
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return title;
}

} // namespace

// Builds the controls and wires each to its handler, in the dialog's order from top to bottom;
// long because the dialog has many controls, each a few lines.
TplayListDlg::TplayListDlg(QWidget* parent, app::TPlayListDialogModel& model, app::Shell& shell,
                           const std::string& iniFile)
    : TPositionedDialog(parent, iniFile, kListTopKey, kListLeftKey), model(model), shell(shell) {
    setWindowTitle(QStringLiteral("Playlist"));

    auto* filesGroup = new QGroupBox(QStringLiteral("Files"), this);
    drives = new TDriveComboBox(filesGroup);
    path = new QLabel(filesGroup);
    dirList = new TDirectoryListBox(filesGroup);
    files = new TExtFileListBox(filesGroup);
    app::TExtFileListColumns columns;
    columns.ShowDate = false;
    columns.ShowTime = false;
    columns.SizePos = model.sizeColumnPosition();
    files->setColumns(columns);
    files->setMinimumWidth(220);
    filter = new QComboBox(filesGroup);
    fillFilter(*filter, kFileFilter);
    auto* filesLayout = new QGridLayout(filesGroup);
    filesLayout->addWidget(path, 0, 0, 1, 2);
    filesLayout->addWidget(dirList, 1, 0);
    filesLayout->addWidget(files, 1, 1);
    filesLayout->addWidget(drives, 2, 0);
    filesLayout->addWidget(filter, 2, 1);
    filesLayout->setColumnStretch(1, 1);

    listGroup = new QGroupBox(this);
    list = new QListWidget(listGroup);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(
        makeIconButton(TButton::up, QStyle::SP_ArrowUp, "Move selected entries up in playlist"));
    listButtons->addWidget(makeIconButton(TButton::down, QStyle::SP_ArrowDown,
                                          "Move selected entries down in playlist"));
    listButtons->addWidget(makeIconButton(TButton::newList, QStyle::SP_FileIcon, "New playlist"));
    listButtons->addWidget(
        makeIconButton(TButton::load, QStyle::SP_DialogOpenButton, "Load playlist"));
    listButtons->addWidget(
        makeIconButton(TButton::save, QStyle::SP_DialogSaveButton, "Save playlist"));
    listButtons->addWidget(
        makeIconButton(TButton::trash, QStyle::SP_TrashIcon, "Delete playlist file"));
    listButtons->addStretch();
    auto* listLayout = new QVBoxLayout(listGroup);
    listLayout->addWidget(list);
    listLayout->addLayout(listButtons);

    auto* commands = new QHBoxLayout;
    commands->addWidget(makeButton(TButton::add, "Add", "Ad selected file(s) to playlist"));
    commands->addWidget(
        makeButton(TButton::addAll, "Add all", "Add all files in selected directory to playlist"));
    commands->addWidget(
        makeButton(TButton::remove, "Remove", "Remove all selected entries from playlist"));
    commands->addWidget(
        makeButton(TButton::removeAll, "Remove all", "Remove all entries from playlist"));
    commands->addStretch();
    commands->addWidget(makeButton(TButton::ok, "OK", ""));
    commands->addWidget(makeButton(TButton::cancel, "Cancel", ""));

    auto* groups = new QHBoxLayout;
    groups->addWidget(filesGroup, 3);
    groups->addWidget(listGroup, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(commands);
    resize(720, 360);

    connectButtons();
    connect(dirList, &TDirectoryListBox::directoryChanged, this, &TplayListDlg::browseTo);
    connect(drives, &TDriveComboBox::locationChosen, this, [this](const QString& root) {
        dirList->setDirectory(root);
        browseTo(dirList->directory());
    });
    connect(filter, &QComboBox::currentIndexChanged, this, [this](int index) {
        files->setMask(filter->itemData(index).toString());
        fileListChanged();
    });
    connect(files, &QListWidget::itemSelectionChanged, this, &TplayListDlg::fileListChanged);
    connect(list, &QListWidget::itemSelectionChanged, this, &TplayListDlg::listSelectionChanged);

    // What the window's activation does: the directory list opens at the browse directory when
    // it exists (else where the process stands), the list and its caption are drawn, and files
    // may be dropped from now on.
    const bool browseExists = model.formActivate();
    dirList->setDirectory(browseExists ? QString::fromStdString(model.browseDirectory())
                                       : QDir::currentPath());
    files->setMask(filter->itemData(0).toString());
    files->setDirectory(dirList->directory());
    drives->showDirectory(dirList->directory());
    path->setText(QDir::toNativeSeparators(dirList->directory()));
    fileListChanged();
    refreshList();
    setAcceptDrops(true);
    setHelpKey([this] { this->shell.help(app::helpPlaylists); });
    restorePosition();
}

QAbstractButton* TplayListDlg::makeButton(TButton which, const char* caption, const char* hint) {
    auto* button = new QPushButton(QString::fromUtf8(caption), this);
    if (*hint != '\0')
        button->setToolTip(QString::fromUtf8(hint));
    button->setAutoDefault(which == TButton::ok);
    button->setDefault(which == TButton::ok);
    buttons[which] = button;
    return button;
}

QAbstractButton* TplayListDlg::makeIconButton(TButton which, int standardIcon, const char* hint) {
    auto* button = new QToolButton(listGroup);
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardIcon)));
    button->setToolTip(QString::fromUtf8(hint));
    // The picture says nothing to a screen reader.
    button->setAccessibleName(QString::fromUtf8(hint));
    button->setAutoRaise(true);
    buttons[which] = button;
    return button;
}

void TplayListDlg::connectButtons() {
    const auto onClick = [this](TButton which, auto handler) {
        connect(buttons.at(which), &QAbstractButton::clicked, this, handler);
    };
    onClick(TButton::add, [this] {
        model.addBtnClick(files->selectedFiles());
        refreshList();
    });
    onClick(TButton::addAll, [this] {
        model.addAllBtnClick(files->allFiles());
        refreshList();
    });
    onClick(TButton::remove, [this] {
        syncSelection();
        model.removeBtnClick();
        refreshList();
    });
    onClick(TButton::removeAll, [this] {
        model.removeAllBtnClick();
        refreshList();
    });
    onClick(TButton::up, [this] {
        syncSelection();
        model.upBtnClick();
        refreshList();
    });
    onClick(TButton::down, [this] {
        syncSelection();
        model.downBtnClick();
        refreshList();
    });
    onClick(TButton::newList, [this] {
        model.newListBtnClick();
        refreshList();
    });
    onClick(TButton::load, [this] {
        model.openListBtnClick(shell);
        refreshList();
    });
    onClick(TButton::save, [this] {
        model.saveListBtnClick(shell);
        refreshList();
    });
    onClick(TButton::trash, [this] {
        model.trashListBnClick(shell);
        refreshList();
    });
    onClick(TButton::ok, [this] {
        model.okBtnClick();
        accept();
    });
    onClick(TButton::cancel, [this] { reject(); });
}

void TplayListDlg::browseTo(const QString& directory) {
    model.directoryListBoxChange(directory.toStdString());
    files->setDirectory(directory);
    drives->showDirectory(directory);
    path->setText(QDir::toNativeSeparators(directory));
    fileListChanged();
}

void TplayListDlg::fileListChanged() {
    model.fileListBoxChange(files->selectedFileCount(), files->fileCount());
    auto columns = files->columns();
    columns.SizePos = model.sizeColumnPosition();
    files->setColumns(columns);
    refreshButtons();
}

void TplayListDlg::syncSelection() {
    for (int row = 0; row < list->count(); ++row)
        model.setSelected(static_cast<std::size_t>(row), list->item(row)->isSelected());
}

void TplayListDlg::listSelectionChanged() {
    if (refreshing)
        return;
    syncSelection();
    model.listBoxClick();
    refreshButtons();
}

void TplayListDlg::refreshList() {
    refreshing = true;
    list->clear();
    const auto names = model.shownList();
    const auto& entries = model.list().entries;
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto* item = new QListWidgetItem(QString::fromStdString(names[i]), list);
        item->setToolTip(QString::fromStdString(entries[i].fileName));
        item->setSelected(entries[i].selected);
    }
    listGroup->setTitle(groupTitle(model.groupCaption()));
    refreshButtons();
    refreshing = false;
}

void TplayListDlg::refreshButtons() {
    const auto& states = model.buttons();
    button(TButton::add).setEnabled(states.add);
    button(TButton::addAll).setEnabled(states.addAll);
    button(TButton::remove).setEnabled(states.remove);
    button(TButton::removeAll).setEnabled(states.removeAll);
    button(TButton::up).setEnabled(states.up);
    button(TButton::down).setEnabled(states.down);
    button(TButton::newList).setEnabled(states.newList);
    button(TButton::load).setEnabled(states.load);
    button(TButton::save).setEnabled(states.save);
    button(TButton::trash).setEnabled(states.trash);
}

void TplayListDlg::filesDropped(const std::vector<std::string>& dropped) {
    model.filesDropped(dropped);
    refreshList();
}

void TplayListDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TplayListDlg::dropEvent(QDropEvent* event) {
    std::vector<std::string> dropped;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            dropped.push_back(url.toLocalFile().toStdString());
    }
    filesDropped(dropped);
    event->acceptProposedAction();
}

void TplayListDlg::done(int result) {
    model.formClose();
    TPositionedDialog::done(result);
}

void runPlaylistDialog(QWidget* parent, app::TmainForm& form, app::Shell& shell) {
    app::TPlayListDialogModel model(form.options.midiDirectory, form.options.playlistDirectory,
                                    form.playList);
    {
        TplayListDlg dialog(parent, model, shell, form.iniFile);
        dialog.exec();
    }
    model.applyResult(form.playList);
    form.options.midiDirectory = model.browseDirectory();
    form.initTrackDisplay();
}

} // namespace zb::ui
