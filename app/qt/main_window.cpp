#include "app/qt/main_window.h"

#include "app/qt/dialogs.h"
#include "app/qt/main_window_widgets.h"
#include "app/qt/ui_font.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QUrl>

// The icons live in a static library: nothing else pulls their registration into the program.
static void registerIcons() {
    Q_INIT_RESOURCE(icons);
}

namespace zb::ui {

namespace {

// Virtual key codes of keys the player does not act on but must not mistake for others: the
// digits of the keypad (their codes follow 0x60) and the main keyboard's plus and minus.
constexpr int kKeypadZero = 0x60;
constexpr int kOemPlus = 0xBB;
constexpr int kOemMinus = 0xBD;

} // namespace

namespace {

// The icon of the desktop entry, in the sizes of the icon theme (PNG: no SVG plugin needed).
QIcon programIcon() {
    registerIcons();
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/zorbel-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

TMainWindow::TMainWindow(app::Shell& shell, synth::AudioOutput& audioOutput,
                         app::MediaPlayer& mediaPlayer, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      shell(shell), audioOutput(audioOutput),
      mainForm(std::make_unique<app::TmainForm>(shell, *this, audioOutput, mediaPlayer)) {
    setObjectName(QStringLiteral("mainForm"));
    setWindowTitle(QString::fromUtf8(app::kTitle));
    setWindowIcon(programIcon());
    setFont(playerFont());
    setFixedSize(kClientWidth, kClientHeight);
    // Shortcuts act on key release in the window itself, so no child takes the focus.
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    createButtons();
    createTimePanel();
    createVolumeControls();
    createRecordPanel();
    connect(&rebuildPoll, &QTimer::timeout, this, [this] { mainForm->songRebuildTick(); });
    rebuildPoll.start(40);
    repaint();
}

TMainWindow::~TMainWindow() = default;

bool TMainWindow::start(const std::vector<std::string>& args) {
    if (!mainForm->FormCreate(args))
        return false;
    moveToSavedPosition();
    repaint();
    return true;
}

void TMainWindow::moveToSavedPosition() {
    QPoint at(mainForm->mainPosition.left, mainForm->mainPosition.top);
    // A position saved on a screen that is gone would put the window out of reach.
    if (QGuiApplication::screenAt(at) == nullptr) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            at = screen->availableGeometry().topLeft();
    }
    move(at);
}

QWidget* TMainWindow::control(app::TControl control) const {
    return controls[static_cast<std::size_t>(control)];
}

int TMainWindow::virtualKey(const QKeyEvent& event) {
    const int key = event.key();
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return key; // Qt's letter codes are the virtual key codes
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return keypad ? kKeypadZero + (key - Qt::Key_0) : key;
    switch (key) {
    case Qt::Key_Left:
        return app::keys::left;
    case Qt::Key_Up:
        return app::keys::up;
    case Qt::Key_Right:
        return app::keys::right;
    case Qt::Key_Down:
        return app::keys::down;
    case Qt::Key_Home:
        return app::keys::home;
    case Qt::Key_End:
        return app::keys::end;
    case Qt::Key_Plus:
        return keypad ? app::keys::keypadPlus : kOemPlus;
    case Qt::Key_Minus:
        return keypad ? app::keys::keypadMinus : kOemMinus;
    default:
        return 0;
    }
}

int TMainWindow::textWidth(const std::string& text) {
    // Measured as the label shows it: a doubled ampersand is one character on screen.
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("&&"), QStringLiteral("&"));
    return QFontMetrics(font()).horizontalAdvance(shown);
}

void TMainWindow::repaint() {
    const app::TMainDisplay& display = mainForm->display;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        QWidget* widget = controls[i];
        if (widget == nullptr)
            continue;
        const app::TControlState& state = display.controls[i];
        if (widget->isEnabled() != state.enabled)
            widget->setEnabled(state.enabled);
        const QString hint = QString::fromStdString(state.hint);
        if (widget->toolTip() != hint)
            widget->setToolTip(hint);
    }
    placeWavLabel();
    const QString caption = QString::fromStdString(display.caption);
    if (windowTitle() != caption)
        setWindowTitle(caption);
    update();
    const QString status = QString::fromStdString(display.status);
    if (status != shownStatus) {
        shownStatus = status;
        statusLine->setAccessibleName(status);
        // Long actions (compiling a song) run before the event loop gets back: the status line
        // must show what is going on now, not afterwards.
        if (statusLine->isVisible())
            statusLine->QWidget::repaint();
    }
}

void TMainWindow::runPlaylistDialog(app::TmainForm& form) {
    zb::ui::runPlaylistDialog(this, form, shell);
}

void TMainWindow::runOptionsDialog(app::TmainForm& form) {
    zb::ui::runOptionsDialog(this, form, shell, audioOutput);
}

namespace {

// Shows a modeless window of the player, made on first use, in front.
template <class TWindow>
void showInFront(QPointer<TWindow>& window, QWidget* parent, app::TmainForm& form,
                 app::Shell& shell) {
    if (window == nullptr)
        window = new TWindow(parent, form, shell, form.iniFile);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void TMainWindow::showChannels(app::TmainForm& form) {
    showInFront(channels, this, form, shell);
}

void TMainWindow::showLyrics(app::TmainForm& form) {
    showInFront(lyrics, this, form, shell);
}

void TMainWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("&Channels...\tC"), this, [this] { showChannels(*mainForm); });
    menu.addAction(QStringLiteral("L&yrics...\tY"), this, [this] { showLyrics(*mainForm); });
    menu.exec(event->globalPos());
}

bool TMainWindow::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::WindowActivate && !mainForm->closed)
        mainForm->FormActivate();
    // A desktop whose window manager does not activate new windows (or that has none) still
    // gets the first activation's steps (the playlist, the command line's files) once shown;
    // a later activation then finds them done.
    if (event->type() == QEvent::Show && mainForm->firstActivation) {
        QTimer::singleShot(0, this, [this] {
            if (mainForm->firstActivation && !mainForm->closed)
                mainForm->FormActivate();
        });
    }
    return handled;
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    if (mainForm->closed) {
        event->accept();
        return;
    }
    if (!mainForm->FormCloseQuery()) {
        event->ignore();
        return;
    }
    mainForm->mainPosition = {pos().y(), pos().x()};
    // The modeless windows write their positions as they close, before the settings are saved.
    for (QDialog* open : std::initializer_list<QDialog*>{channels, lyrics})
        if (open != nullptr)
            open->close();
    mainForm->FormClose(); // also closes the help window
    event->accept();
}

void TMainWindow::keyReleaseEvent(QKeyEvent* event) {
    // A held key repeats as release and press pairs; only the real release counts.
    if (event->isAutoRepeat() || mainForm->closed)
        return;
    if (event->key() == Qt::Key_F1)
        mainForm->helpBtnClick(); // the help button's page, as F1 gives in the dialogs
    else if (const int key = virtualKey(*event); key != 0)
        mainForm->FormKeyUp(key);
    event->accept();
}

void TMainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TMainWindow::dropEvent(QDropEvent* event) {
    std::vector<std::string> files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            files.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    if (files.empty() || mainForm->closed)
        return;
    event->acceptProposedAction();
    mainForm->filesDropped(files);
}

} // namespace zb::ui
