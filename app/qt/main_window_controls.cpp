// The controls of the main window at their fixed places, and how each one is painted from the
// player's display state.
#include "app/qt/main_window.h"

#include "app/qt/main_window_widgets.h"
#include "app/qt/pictures.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace zb::ui {

namespace {

using app::TControl;

constexpr std::array<const char*, app::kControlCount> kControlNames{
    "optionsBtn",     "minimizeButton", "helpBtn",      "playBtn",    "pauseBtn",
    "stopBtn",        "backwardBtn",    "forwardBtn",   "ejectBtn",   "skipBackBtn",
    "skipForwardBtn", "playListBtn",    "track1Btn",    "track2Btn",  "track3Btn",
    "track4Btn",      "track5Btn",      "track6Btn",    "track7Btn",  "track8Btn",
    "track9Btn",      "track0Btn",      "repeatBtn",    "shuffleBtn", "introBtn",
    "muteBtn",        "volumeBtn",      "balanceBtn",   "recordBtn",  "volumeUpDown",
    "balanceUpDown",  "volumePanel",    "balanceGauge", "wavLbl"};

struct TButtonPlace {
    TControl control;
    int x, y, width, height;
    TGlyph glyph;
};

constexpr TButtonPlace kButtons[] = {
    {TControl::optionsBtn, 8, 8, 25, 33, TGlyph::options},
    {TControl::minimizeButton, 8, 40, 25, 25, TGlyph::minimize},
    {TControl::helpBtn, 8, 72, 25, 25, TGlyph::help},
    {TControl::playBtn, 40, 72, 25, 25, TGlyph::play},
    {TControl::pauseBtn, 64, 72, 25, 25, TGlyph::pause},
    {TControl::stopBtn, 88, 72, 25, 25, TGlyph::stop},
    {TControl::backwardBtn, 120, 72, 25, 25, TGlyph::backward},
    {TControl::forwardBtn, 144, 72, 25, 25, TGlyph::forward},
    {TControl::ejectBtn, 176, 72, 25, 25, TGlyph::eject},
    {TControl::muteBtn, 208, 72, 25, 25, TGlyph::mute},
    {TControl::volumeBtn, 232, 72, 25, 25, TGlyph::volume},
    {TControl::balanceBtn, 256, 72, 25, 25, TGlyph::balance},
    {TControl::skipBackBtn, 208, 8, 25, 25, TGlyph::skipBack},
    {TControl::skipForwardBtn, 232, 8, 25, 25, TGlyph::skipForward},
    {TControl::playListBtn, 256, 8, 25, 25, TGlyph::playlist},
    {TControl::repeatBtn, 208, 40, 25, 25, TGlyph::repeat},
    {TControl::introBtn, 232, 40, 25, 25, TGlyph::intro},
    {TControl::shuffleBtn, 256, 40, 25, 25, TGlyph::shuffle},
    {TControl::recordBtn, 424, 72, 25, 25, TGlyph::record},
};

constexpr int kLabelHeight = 13;
constexpr int kRecordPanelWidth = 137;
// The destination label ends this far from the record panel's right edge: the player shortens
// it to the panel's width less 16, a margin on either side.
constexpr int kWavLabelMargin = 8;

QString controlName(TControl control) {
    return QString::fromLatin1(kControlNames[static_cast<std::size_t>(control)]);
}

QString shownCaption(const std::string& caption) {
    QString text = QString::fromStdString(caption);
    text.replace(QStringLiteral("&&"), QStringLiteral("&"));
    return text;
}

// Text in the displays: aqua when the control is enabled, dim when it is not.
void paintDisplayText(QPainter& p, const QRect& r, const std::string& text, Qt::Alignment align,
                      bool enabled = true) {
    p.setPen(enabled ? displayLit() : displayUnlit().lighter(250));
    p.drawText(r, static_cast<int>(align | Qt::AlignVCenter), QString::fromStdString(text));
}

void paintBalanceGauge(QPainter& p, const QRect& r, int value, bool enabled) {
    paintSunkenFrame(p, r);
    const QRect inner = r.adjusted(2, 2, -2, -2);
    p.fillRect(inner, enabled ? displayLit() : QColor(0, 128, 128));
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(inner.left() + inner.width() / 2.0, inner.bottom() - 1.5);
    const qreal rx = inner.width() / 2.0 - 5;
    const qreal ry = inner.height() - 5;
    p.setPen(QPen(Qt::black, 1));
    p.drawArc(QRectF(centre.x() - rx, centre.y() - ry, 2 * rx, 2 * ry), 0, 180 * 16);
    const qreal angle = std::numbers::pi * (1 - std::clamp(value, 0, 100) / 100.0);
    p.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(rx * std::cos(angle), -ry * std::sin(angle)));
}

} // namespace

void TMainWindow::createButtons() {
    const app::TMainDisplay& display = mainForm->display;
    auto add = [this](TFormButton* button, TControl control, QRect place) {
        button->setObjectName(controlName(control));
        button->setGeometry(place);
        controls[static_cast<std::size_t>(control)] = button;
        QObject::connect(button, &QAbstractButton::clicked, this,
                         [this, control] { mainForm->buttonClick(control); });
    };
    for (const TButtonPlace& b : kButtons)
        add(new TFormButton(this, display, b.control, b.glyph), b.control,
            QRect(b.x, b.y, b.width, b.height));
    for (int entry = 1; entry <= 10; ++entry) {
        const TControl control = app::trackButton(entry);
        add(new TFormButton(this, display, control), control,
            QRect(288 + 16 * (entry - 1), 8, 17, 25));
    }
}

void TMainWindow::createTimePanel() {
    auto* panel = new TPaintedWidget(this, QStringLiteral("timePanel"), [](QPainter& p, QRect r) {
        p.fillRect(r, displayBackground());
        paintSunkenFrame(p, r);
    });
    panel->setGeometry(40, 8, 161, 57);

    constexpr std::array<const char*, 4> digitNames{"ImageHiMin", "ImageLoMin", "ImageHiSec",
                                                    "ImageLoSec"};
    constexpr std::array<int, 4> digitX{8, 24, 56, 72};
    for (std::size_t i = 0; i < digitNames.size(); ++i) {
        auto* digit = new TPaintedWidget(
            panel, QString::fromLatin1(digitNames[i]),
            [this, i](QPainter& p, QRect r) { paintDigit(p, r, mainForm->display.digits[i]); });
        digit->setGeometry(QRect(QPoint(digitX[i], 8), kDigitSize));
    }
    auto* colon = new TPaintedWidget(panel, QStringLiteral("ImageColon"),
                                     [](QPainter& p, QRect r) { paintColon(p, r); });
    colon->setGeometry(QRect(QPoint(46, 8), kColonSize));

    using TText = std::string app::TMainDisplay::*;
    auto label = [this, panel](const char* name, TText text, Qt::Alignment align, QRect place) {
        auto* widget = new TPaintedWidget(
            panel, QString::fromLatin1(name), [this, text, align](QPainter& p, QRect r) {
                paintDisplayText(p, r, mainForm->display.*text, align);
            });
        widget->setGeometry(place);
    };
    label("trackLbl", &app::TMainDisplay::trackLbl, Qt::AlignLeft, {106, 8, 30, kLabelHeight});
    label("trackNr", &app::TMainDisplay::trackNr, Qt::AlignRight, {138, 8, 15, kLabelHeight});
    label("fileKindLabel", &app::TMainDisplay::fileKindLabel, Qt::AlignRight,
          {128, 21, 25, kLabelHeight});

    auto* gauge =
        new TPaintedWidget(panel, QStringLiteral("positionGauge"), [this](QPainter& p, QRect r) {
            p.fillRect(r, displayBackground());
            p.setPen(displayUnlit().lighter(150));
            p.drawRect(r.adjusted(0, 0, -1, -1));
            const QRect inner = r.adjusted(1, 1, -1, -1);
            const int percent = std::clamp(mainForm->display.positionGauge, 0, 100);
            p.fillRect(inner.x(), inner.y(), inner.width() * percent / 100, inner.height(),
                       displayLit());
        });
    gauge->setGeometry(8, 40, 145, 12);
    gauge->onClick([this](double fraction) { mainForm->seekTo(fraction); });
}

void TMainWindow::createVolumeControls() {
    auto* volume =
        new TPaintedWidget(this, controlName(TControl::volumePanel), [this](QPainter& p, QRect r) {
            const app::TMainDisplay& d = mainForm->display;
            p.fillRect(r, displayBackground());
            paintSunkenFrame(p, r);
            paintDisplayText(p, r, d.volumeText, Qt::AlignHCenter,
                             d.isEnabled(TControl::volumePanel));
        });
    volume->setGeometry(288, 40, 33, 25);
    controls[static_cast<std::size_t>(TControl::volumePanel)] = volume;

    auto* balance =
        new TPaintedWidget(this, controlName(TControl::balanceGauge), [this](QPainter& p, QRect r) {
            const app::TMainDisplay& d = mainForm->display;
            paintBalanceGauge(p, r, d.balanceGaugeValue, d.isEnabled(TControl::balanceGauge));
        });
    balance->setGeometry(352, 40, 73, 25);
    controls[static_cast<std::size_t>(TControl::balanceGauge)] = balance;

    auto upDown = [this](TControl control, Qt::Orientation orientation, QRect place) {
        auto* widget = new TUpDown(this, orientation);
        widget->setObjectName(controlName(control));
        widget->setGeometry(place);
        controls[static_cast<std::size_t>(control)] = widget;
        using Direction = app::TUpDownDirection;
        QObject::connect(widget->next(), &QAbstractButton::clicked, this,
                         [this, control] { mainForm->upDownClick(control, Direction::next); });
        QObject::connect(widget->previous(), &QAbstractButton::clicked, this,
                         [this, control] { mainForm->upDownClick(control, Direction::previous); });
    };
    upDown(TControl::volumeUpDown, Qt::Vertical, {320, 40, 16, 25});
    upDown(TControl::balanceUpDown, Qt::Horizontal, {424, 40, 25, 25});
}

void TMainWindow::createRecordPanel() {
    recordPanel =
        new TPaintedWidget(this, QStringLiteral("recordPanel"), [this](QPainter& p, QRect r) {
            p.fillRect(r, palette().window());
            paintSunkenFrame(p, r);
        });
    recordPanel->setGeometry(288, 72, kRecordPanelWidth, 25);

    auto* wav = new TPaintedWidget(
        recordPanel, controlName(TControl::wavLbl), [this](QPainter& p, QRect r) {
            const app::TControlState& state = mainForm->display[TControl::wavLbl];
            const QString text = shownCaption(state.caption);
            const int align = Qt::AlignRight | Qt::AlignVCenter;
            if (!state.enabled) {
                p.setPen(Qt::white);
                p.drawText(r.translated(1, 1), align, text);
            }
            p.setPen(state.enabled ? palette().windowText().color() : QColor(128, 128, 128));
            p.drawText(r, align, text);
        });
    controls[static_cast<std::size_t>(TControl::wavLbl)] = wav;

    statusLine =
        new TPaintedWidget(this, QStringLiteral("StatusBar"), [this](QPainter& p, QRect r) {
            p.fillRect(r, palette().window());
            // One sunken part over the whole width, a little inside the window's edge.
            const QRect part = r.adjusted(0, 2, 0, 0);
            p.fillRect(QRect(part.left(), part.top(), part.width(), 1), QColor(128, 128, 128));
            p.fillRect(QRect(part.left(), part.top(), 1, part.height()), QColor(128, 128, 128));
            p.fillRect(QRect(part.left(), part.bottom(), part.width(), 1), Qt::white);
            p.fillRect(QRect(part.right(), part.top(), 1, part.height()), Qt::white);
            const QRect textArea = part.adjusted(4, 1, -4, -1);
            p.setPen(palette().windowText().color());
            const QString text = QString::fromStdString(mainForm->display.status);
            p.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter,
                       p.fontMetrics().elidedText(text, Qt::ElideRight, textArea.width()));
        });
    statusLine->setGeometry(0, 103, kClientWidth, 19);
}

void TMainWindow::placeWavLabel() {
    QWidget* wav = control(TControl::wavLbl);
    const QString text = shownCaption(mainForm->display[TControl::wavLbl].caption);
    const QFontMetrics metrics(font());
    const int width = std::max(metrics.horizontalAdvance(text) + 1, 1);
    const int height = std::max(kLabelHeight, metrics.height());
    wav->setGeometry(kRecordPanelWidth - kWavLabelMargin - width, (25 - height) / 2, width, height);
}

} // namespace zb::ui
