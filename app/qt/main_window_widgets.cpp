#include "app/qt/main_window_widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>

namespace zb::ui {

namespace {

const QColor kHighlight(255, 255, 255);
const QColor kLight(227, 227, 227);
const QColor kShadow(128, 128, 128);
const QColor kDarkShadow(64, 64, 64);

// Two one-pixel rings: the outer one with topLeft/bottomRight, the inner one likewise.
void paintBevel(QPainter& p, const QRect& r, const QColor& outerTopLeft,
                const QColor& outerBottomRight, const QColor& innerTopLeft,
                const QColor& innerBottomRight) {
    auto ring = [&p](const QRect& q, const QColor& topLeft, const QColor& bottomRight) {
        p.fillRect(QRect(q.left(), q.top(), q.width(), 1), topLeft);
        p.fillRect(QRect(q.left(), q.top(), 1, q.height()), topLeft);
        p.fillRect(QRect(q.left(), q.bottom(), q.width(), 1), bottomRight);
        p.fillRect(QRect(q.right(), q.top(), 1, q.height()), bottomRight);
    };
    ring(r, outerTopLeft, outerBottomRight);
    ring(r.adjusted(1, 1, -1, -1), innerTopLeft, innerBottomRight);
}

} // namespace

void paintRaisedFrame(QPainter& painter, const QRect& rect) {
    paintBevel(painter, rect, kHighlight, kDarkShadow, kLight, kShadow);
}

void paintSunkenFrame(QPainter& painter, const QRect& rect) {
    paintBevel(painter, rect, kShadow, kHighlight, kDarkShadow, kLight);
}

TPaintedWidget::TPaintedWidget(QWidget* parent, const QString& name, TPaint paint)
    : QWidget(parent), paintFunction(std::move(paint)) {
    setObjectName(name);
}

void TPaintedWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintFunction(painter, rect());
}

void TPaintedWidget::mousePressEvent(QMouseEvent* event) {
    if (!clickFunction || event->button() != Qt::LeftButton || width() <= 1) {
        QWidget::mousePressEvent(event);
        return;
    }
    clickFunction(std::clamp(event->position().x() / (width() - 1), 0.0, 1.0));
    event->accept();
}

TFormButton::TFormButton(QWidget* parent, const app::TMainDisplay& display, app::TControl control,
                         TGlyph glyph)
    : TFormButton(parent, display, control) {
    this->glyph = glyph;
    hasGlyph = true;
}

TFormButton::TFormButton(QWidget* parent, const app::TMainDisplay& display, app::TControl control)
    : QAbstractButton(parent), display(display), id(control) {
    // The window takes every key itself (shortcuts act on key release there).
    setFocusPolicy(Qt::NoFocus);
}

void TFormButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const app::TControlState& state = display[id];
    const bool held = state.down && app::groupOf(id) != app::TGroup::none;
    const bool sunken = isDown() || held;
    const QRect face = rect();
    // A toggle held down is sunken with a face tinted by the style's highlight colour and a
    // highlight line inside its frame, so that it reads as pressed in any style.
    QColor faceColor = palette().button().color();
    if (held && !isDown()) {
        const QColor mark = palette().highlight().color();
        faceColor = QColor((faceColor.red() * 2 + mark.red()) / 3,
                           (faceColor.green() * 2 + mark.green()) / 3,
                           (faceColor.blue() * 2 + mark.blue()) / 3);
    }
    painter.fillRect(face, faceColor);
    if (sunken)
        paintSunkenFrame(painter, face);
    else
        paintRaisedFrame(painter, face);
    if (held) {
        painter.setPen(palette().highlight().color());
        painter.drawRect(face.adjusted(2, 2, -3, -3));
    }
    const QRect content = face.adjusted(2, 2, -2, -2).translated(sunken ? 1 : 0, sunken ? 1 : 0);
    const bool enabled = state.enabled;
    if (hasGlyph) {
        paintGlyph(painter, content, glyph, enabled);
        return;
    }
    const QString caption = QString::fromStdString(state.caption);
    if (!enabled) {
        painter.setPen(kHighlight);
        painter.drawText(content.translated(1, 1), Qt::AlignCenter, caption);
    }
    painter.setPen(enabled ? palette().buttonText().color() : kShadow);
    painter.drawText(content, Qt::AlignCenter, caption);
}

TArrowButton::TArrowButton(QWidget* parent, Qt::ArrowType arrow)
    : QAbstractButton(parent), arrow(arrow) {
    setFocusPolicy(Qt::NoFocus);
    setAutoRepeat(true);
}

void TArrowButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect face = rect();
    painter.fillRect(face, palette().button().color());
    if (isDown())
        paintSunkenFrame(painter, face);
    else
        paintRaisedFrame(painter, face);
    // A small solid triangle, three pixels from tip to base, centred on whole pixels.
    const QPointF c(face.width() / 2 + (isDown() ? 1 : 0), face.height() / 2 + (isDown() ? 1 : 0));
    QPolygonF shape;
    switch (arrow) {
    case Qt::UpArrow:
        shape = {{c.x() - 3.5, c.y() + 2}, {c.x() + 3.5, c.y() + 2}, {c.x(), c.y() - 1.5}};
        break;
    case Qt::DownArrow:
        shape = {{c.x() - 3.5, c.y() - 1}, {c.x() + 3.5, c.y() - 1}, {c.x(), c.y() + 2.5}};
        break;
    case Qt::LeftArrow:
        shape = {{c.x() + 2, c.y() - 3.5}, {c.x() + 2, c.y() + 3.5}, {c.x() - 1.5, c.y()}};
        break;
    default:
        shape = {{c.x() - 1, c.y() - 3.5}, {c.x() - 1, c.y() + 3.5}, {c.x() + 2.5, c.y()}};
        break;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (!isEnabled()) {
        painter.setBrush(kHighlight);
        painter.drawPolygon(shape.translated(1, 1));
    }
    painter.setBrush(isEnabled() ? QColor(24, 24, 24) : kShadow);
    painter.drawPolygon(shape);
}

TUpDown::TUpDown(QWidget* parent, Qt::Orientation orientation)
    : QWidget(parent), orientation(orientation),
      nextButton(
          new TArrowButton(this, orientation == Qt::Vertical ? Qt::UpArrow : Qt::RightArrow)),
      previousButton(
          new TArrowButton(this, orientation == Qt::Vertical ? Qt::DownArrow : Qt::LeftArrow)) {}

void TUpDown::resizeEvent(QResizeEvent*) {
    if (orientation == Qt::Vertical) {
        const int half = height() / 2;
        nextButton->setGeometry(0, 0, width(), half);
        previousButton->setGeometry(0, half, width(), height() - half);
    } else {
        const int half = width() / 2;
        previousButton->setGeometry(0, 0, half, height());
        nextButton->setGeometry(half, 0, width() - half, height());
    }
}

} // namespace zb::ui
