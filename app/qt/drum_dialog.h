#pragma once

#include "app/drum_dialog_model.h"
#include "app/qt/dialog_position.h"

#include <string>

class QPushButton;
class QTableWidget;

namespace zb::ui {

// The drum track:channel dialog: a two-column table of entries (the table's header row is the
// grid's column header), "Add", "Remove", "OK", "Cancel" and "Help". Every rule lives in the
// model: the grid reports cell edits, selection moves, clicks, Enter and the focus entering or
// leaving it, and is redrawn from the model afterwards, so a refused move puts the selection back
// and a rewritten cell ("a l l" -> "ALL") shows its new text at once. The model must outlive the
// dialog; OK writes the drum table through it.
class TdrumDlg final : public TPositionedDialog {
    Q_OBJECT

public:
    TdrumDlg(QWidget* parent, app::TDrumDialogModel& model, const std::string& iniFile);
    ~TdrumDlg() override;

    QTableWidget& grid() const { return *grid_; }
    QPushButton& addButton() const { return *addBtn; }
    QPushButton& removeButton() const { return *removeBtn; }
    QPushButton& okButton() const { return *okBtn; }
    QPushButton& helpButton() const { return *helpBtn; }

    // The grid's focus events, public so that they can be driven without a window system.
    void gridEnter();
    void gridExit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cellEdited(int row, int col);
    void currentCellMoved(int row, int col);
    void focusMoved(QWidget* old, QWidget* now);
    bool insideGrid(const QWidget* widget) const;
    void addBtnClick();
    void removeBtnClick();
    void okBtnClick();
    // Draws the model: rows, texts, selection and button states.
    void refresh();

    app::TDrumDialogModel& model;
    QTableWidget* grid_ = nullptr;
    QPushButton* addBtn = nullptr;
    QPushButton* removeBtn = nullptr;
    QPushButton* okBtn = nullptr;
    QPushButton* cancelBtn = nullptr;
    QPushButton* helpBtn = nullptr;
    bool refreshing = false; // the grid's signals come from refresh itself
    QMetaObject::Connection focusWatch;
};

} // namespace zb::ui
