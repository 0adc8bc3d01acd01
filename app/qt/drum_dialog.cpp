#include "app/qt/drum_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <functional>

namespace zb::ui {

namespace {

constexpr int kTrackCol = 0;
constexpr int kChannelCol = 1;
constexpr const char* kDrumsTopKey = "DrumsTop";
constexpr const char* kDrumsLeftKey = "DrumsLeft";

QPushButton* makeButton(const char* caption, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    // Enter belongs to the grid's cell check, never to a default button.
    button->setAutoDefault(false);
    return button;
}

// A grid whose keyboard moves (Tab, arrows, and the move after an edit) ask first: a refused
// move leaves the cursor, and a reopened editor, on the cell that has to be corrected.
class TDrumGrid final : public QTableWidget {
public:
    TDrumGrid(int rows, int columns, QWidget* parent) : QTableWidget(rows, columns, parent) {}

    std::function<bool(int row, int col)> allowMove;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
        const QModelIndex next = QTableWidget::moveCursor(action, modifiers);
        if (next.isValid() && next != currentIndex() && allowMove &&
            !allowMove(next.row(), next.column())) {
            refused = true;
            return currentIndex();
        }
        return next;
    }

    void keyPressEvent(QKeyEvent* event) override {
        refused = false;
        QTableWidget::keyPressEvent(event);
        // An ignored Tab would take the focus to the next control, away from the bad cell.
        if (refused)
            event->accept();
    }

private:
    bool refused = false;
};

} // namespace

TdrumDlg::TdrumDlg(QWidget* parent, app::TDrumDialogModel& model, const std::string& iniFile)
    : TPositionedDialog(parent, iniFile, kDrumsTopKey, kDrumsLeftKey), model(model) {
    setWindowTitle(QString::fromUtf8(app::kDrumDialogCaption));

    auto* grid = new TDrumGrid(0, 2, this);
    grid->allowMove = [this](int row, int col) {
        const bool allowed = this->model.selectCell(col, row + 1);
        refresh();
        return allowed;
    };
    grid_ = grid;
    grid_->setHorizontalHeaderLabels({QString::fromStdString(model.cellText(kTrackCol, 0)),
                                      QString::fromStdString(model.cellText(kChannelCol, 0))});
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid_->setTabKeyNavigation(true);
    grid_->installEventFilter(this);

    addBtn = makeButton("Add", this);
    removeBtn = makeButton("Remove", this);
    okBtn = makeButton("OK", this);
    cancelBtn = makeButton("Cancel", this);
    helpBtn = makeButton("Help", this);

    auto* side = new QVBoxLayout;
    side->addWidget(addBtn);
    side->addWidget(removeBtn);
    side->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(grid_, 1);
    top->addLayout(side);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(okBtn);
    bottom->addWidget(cancelBtn);
    bottom->addWidget(helpBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
    resize(360, 240);

    connect(grid_, &QTableWidget::cellChanged, this, &TdrumDlg::cellEdited);
    connect(grid_, &QTableWidget::currentCellChanged, this,
            [this](int row, int col, int, int) { currentCellMoved(row, col); });
    connect(grid_, &QTableWidget::cellClicked, this, [this](int, int) {
        this->model.clickIntoTable();
        refresh();
    });
    focusWatch = connect(qApp, &QApplication::focusChanged, this, &TdrumDlg::focusMoved);
    connect(addBtn, &QPushButton::clicked, this, &TdrumDlg::addBtnClick);
    connect(removeBtn, &QPushButton::clicked, this, &TdrumDlg::removeBtnClick);
    connect(okBtn, &QPushButton::clicked, this, &TdrumDlg::okBtnClick);
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(helpBtn, &QPushButton::clicked, this, [this] { this->model.helpBtnClick(); });

    refresh();
    setHelpKey([this] { this->model.helpBtnClick(); });
    restorePosition();
}

TdrumDlg::~TdrumDlg() {
    // The controls give up the focus while the base classes destroy them, when this object is
    // no longer a TdrumDlg; the application's signal must not reach it then.
    disconnect(focusWatch);
}

void TdrumDlg::refresh() {
    refreshing = true;
    grid_->setRowCount(model.entryCount());
    for (int row = 1; row <= model.entryCount(); ++row) {
        for (int col = kTrackCol; col <= kChannelCol; ++col) {
            const QString text = QString::fromStdString(model.cellText(col, row));
            QTableWidgetItem* cell = grid_->item(row - 1, col);
            if (cell == nullptr)
                grid_->setItem(row - 1, col, new QTableWidgetItem(text));
            else if (cell->text() != text)
                cell->setText(text);
        }
    }
    if (model.selectedRow() >= 1 && (grid_->currentRow() != model.selectedRow() - 1 ||
                                     grid_->currentColumn() != model.selectedCol()))
        grid_->setCurrentCell(model.selectedRow() - 1, model.selectedCol());
    addBtn->setEnabled(model.addEnabled());
    removeBtn->setEnabled(model.removeEnabled());
    okBtn->setEnabled(model.okEnabled());
    refreshing = false;
}

void TdrumDlg::cellEdited(int row, int col) {
    if (refreshing)
        return;
    const QTableWidgetItem* cell = grid_->item(row, col);
    model.setCellText(col, row + 1, cell != nullptr ? cell->text().toStdString() : std::string());
    // The edited cell is tested as when Enter is pressed on it: it must first be the selected,
    // remembered cell, which it is whenever the grid had the focus for the edit.
    if ((col != model.selectedCol() || row + 1 != model.selectedRow()) &&
        !model.selectCell(col, row + 1)) {
        refresh();
        return;
    }
    model.enterTable();
    model.enterPressed();
    refresh();
}

void TdrumDlg::currentCellMoved(int row, int col) {
    if (refreshing || row < 0 || col < 0)
        return;
    model.selectCell(col, row + 1);
    refresh();
}

bool TdrumDlg::insideGrid(const QWidget* widget) const {
    return widget != nullptr && (widget == grid_ || grid_->isAncestorOf(widget));
}

void TdrumDlg::focusMoved(QWidget* old, QWidget* now) {
    if (insideGrid(now) && !insideGrid(old))
        gridEnter();
    // Only a move to another control of this dialog leaves the grid; a message box or another
    // window taking the focus does not.
    else if (insideGrid(old) && !insideGrid(now) && now != nullptr && isAncestorOf(now))
        gridExit();
}

void TdrumDlg::gridEnter() {
    model.enterTable();
    refresh();
}

void TdrumDlg::gridExit() {
    model.leaveTable();
    refresh();
}

bool TdrumDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // An open editor commits its text by itself, and the commit runs the check.
            const QWidget* focus = QApplication::focusWidget();
            if (focus == nullptr || focus == grid_) {
                model.enterPressed();
                refresh();
            }
            return true;
        }
    }
    return TPositionedDialog::eventFilter(watched, event);
}

void TdrumDlg::addBtnClick() {
    model.addBtnClick();
    refresh();
    grid_->setFocus();
}

void TdrumDlg::removeBtnClick() {
    model.removeBtnClick();
    refresh();
}

void TdrumDlg::okBtnClick() {
    if (model.ok()) {
        accept();
        return;
    }
    refresh();
    grid_->setFocus();
}

} // namespace zb::ui
