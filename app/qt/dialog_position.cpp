#include "app/qt/dialog_position.h"

#include "app/paths.h"
#include "app/qt/ui_font.h"
#include "app/settings.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include <utility>

namespace zb::ui {

TPositionedDialog::TPositionedDialog(QWidget* parent, std::string iniFile, std::string topKey,
                                     std::string leftKey)
    : QDialog(parent), iniFile(std::move(iniFile)), topKey(std::move(topKey)),
      leftKey(std::move(leftKey)) {
    // Modal for the player's windows only: the help window, a window of its own, stays usable
    // while a dialog is open.
    setWindowModality(Qt::WindowModal);
    setFont(playerFont());
    // Help is F1 and the Help buttons, not the title bar's question mark.
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void TPositionedDialog::setHelpKey(std::function<void()> openHelp) {
    auto* key = new QShortcut(QKeySequence(Qt::Key_F1), this);
    key->setContext(Qt::WindowShortcut);
    connect(key, &QShortcut::activated, this, std::move(openHelp));
}

TPositionedDialog::TOkCancel TPositionedDialog::addOkCancel() {
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    connect(ok, &QPushButton::clicked, this, [this] {
        okClicked = true;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    return {ok, cancel, row};
}

void fillFilter(QComboBox& box, const char* filter) {
    const QStringList parts = QString::fromUtf8(filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        box.addItem(parts[i], parts[i + 1]);
}

void TPositionedDialog::restorePosition() {
    // A dialog that chose its own size keeps it; the others take what their layout asks for.
    if (!testAttribute(Qt::WA_Resized))
        adjustSize();
    // The layout's minimum size applies now rather than when the window appears, so the dialog
    // is centred at the size it will have.
    if (layout() != nullptr)
        layout()->activate();
    const auto saved =
        app::fileExists(iniFile) ? app::readDialogPosition(iniFile, topKey, leftKey) : std::nullopt;
    if (saved) {
        const QPoint corner(saved->left, saved->top);
        // A position left on a screen that is gone would open the dialog out of reach; one whose
        // caption can still be grabbed is kept.
        const QPoint caption = corner + QPoint(width() / 2, 10);
        if (QGuiApplication::screenAt(caption) != nullptr) {
            move(corner);
            return;
        }
    }
    QScreen* screen =
        parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void TPositionedDialog::done(int result) {
    const QPoint corner = pos();
    app::writeDialogPosition(iniFile, topKey, leftKey, {corner.y(), corner.x()});
    QDialog::done(result);
}

} // namespace zb::ui
