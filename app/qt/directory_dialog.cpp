#include "app/qt/directory_dialog.h"

#include "app/qt/directory_list_box.h"
#include "app/qt/ext_file_list_box.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zb::ui {

TdirectoryChooser::TdirectoryChooser(QWidget* parent, app::TDirectoryChooserModel& model,
                                     const app::TDirectoryChooserSetup& setup,
                                     const std::string& iniFile)
    : TPositionedDialog(parent, iniFile, setup.topKey, setup.leftKey), model(model) {
    setWindowTitle(QString::fromUtf8(setup.caption));

    drives = new TDriveComboBox(this);
    path = new QLabel(this);
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dirList = new TDirectoryListBox(this);
    files = new TExtFileListBox(this);
    app::TExtFileListColumns columns;
    columns.ShowDate = false;
    columns.ShowTime = false;
    files->setColumns(columns);
    files->setSelectionMode(QAbstractItemView::NoSelection);
    filter = new QComboBox(this);
    fillFilter(*filter, setup.filter);
    edit = new QLineEdit(this);
    edit->installEventFilter(this);

    const TOkCancel buttons = addOkCancel();
    okBtn = buttons.ok;
    // Enter in the edit line is the edit check, not OK.
    okBtn->setAutoDefault(false);
    buttons.cancel->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(edit, 0, 0, 1, 2);
    grid->addWidget(path, 1, 0, 1, 2);
    grid->addWidget(dirList, 2, 0);
    grid->addWidget(files, 2, 1);
    grid->addWidget(drives, 3, 0);
    grid->addWidget(filter, 3, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons.row);
    resize(460, 320);

    connect(dirList, &TDirectoryListBox::directoryChanged, this, &TdirectoryChooser::listMoved);
    connect(drives, &TDriveComboBox::locationChosen, this, [this](const QString& root) {
        dirList->setDirectory(root);
        listMoved(dirList->directory());
    });
    connect(filter, &QComboBox::currentIndexChanged, this,
            [this](int index) { files->setMask(filter->itemData(index).toString()); });
    connect(edit, &QLineEdit::textEdited, this,
            [this](const QString& text) { this->model.setEditText(text.toStdString()); });
    connect(edit, &QLineEdit::returnPressed, this, &TdirectoryChooser::editCheck);

    if (filter->count() > 0)
        files->setMask(filter->itemData(0).toString());
    showListDirectory();
    setHelpKey([this] { this->model.help(); });
    restorePosition();
}

void TdirectoryChooser::showEvent(QShowEvent* event) {
    TPositionedDialog::showEvent(event);
    if (activated)
        return;
    activated = true;
    model.activate();
    edit->setText(QString::fromStdString(model.editText()));
    showListDirectory();
}

bool TdirectoryChooser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit && event->type() == QEvent::MouseButtonPress)
        editCheck();
    return TPositionedDialog::eventFilter(watched, event);
}

void TdirectoryChooser::editCheck() {
    model.setEditText(edit->text().toStdString());
    model.editCheck();
    edit->setText(QString::fromStdString(model.editText()));
    showListDirectory();
}

void TdirectoryChooser::showListDirectory() {
    const QString directory = QString::fromStdString(model.listDirectory());
    dirList->setDirectory(directory);
    files->setDirectory(dirList->directory());
    drives->showDirectory(dirList->directory());
    path->setText(QDir::toNativeSeparators(dirList->directory()));
}

void TdirectoryChooser::listMoved(const QString& directory) {
    model.listDirectoryChanged(directory.toStdString());
    edit->setText(directory);
    files->setDirectory(directory);
    drives->showDirectory(directory);
    path->setText(QDir::toNativeSeparators(directory));
}

void TdirectoryChooser::done(int result) {
    model.setEditText(edit->text().toStdString());
    // Only the OK button chooses; Escape and the close box are Cancel.
    if (okClicked)
        model.ok();
    else
        model.cancel();
    TPositionedDialog::done(result);
}

std::string runDirectoryChooser(QWidget* parent, app::TDirectoryChooserModel& model,
                                const app::TDirectoryChooserSetup& setup,
                                const std::string& iniFile) {
    TdirectoryChooser dialog(parent, model, setup, iniFile);
    dialog.exec();
    return model.result();
}

} // namespace zb::ui
