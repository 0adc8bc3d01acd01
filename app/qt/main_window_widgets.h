#pragma once

#include "app/main_display.h"
#include "app/qt/pictures.h"

#include <QAbstractButton>
#include <QWidget>

#include <functional>

// The controls of the main window. None of them keeps state of its own: each paint reads the
// player's display state, and clicks are forwarded by the window.
namespace zb::ui {

// Classic bevels around a rectangle: raised for buttons, sunken for panels and pressed buttons.
void paintRaisedFrame(QPainter& painter, const QRect& rect);
void paintSunkenFrame(QPainter& painter, const QRect& rect);

// A panel, label or gauge painted by a function of the window.
class TPaintedWidget final : public QWidget {
public:
    using TPaint = std::function<void(QPainter&, const QRect&)>;

    TPaintedWidget(QWidget* parent, const QString& name, TPaint paint);
    // What a left click does, given where it fell across the widget (0 at the left edge, 1 at
    // the right).
    void onClick(std::function<void(double)> handler) { clickFunction = std::move(handler); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    TPaint paintFunction;
    std::function<void(double)> clickFunction;
};

// A button or toggle of the main window: a raised face, sunken while pressed or while the display
// holds the toggle down, showing its glyph or, for the track buttons, its caption.
class TFormButton final : public QAbstractButton {
public:
    TFormButton(QWidget* parent, const app::TMainDisplay& display, app::TControl control,
                TGlyph glyph);
    // A button that shows its caption instead of a glyph.
    TFormButton(QWidget* parent, const app::TMainDisplay& display, app::TControl control);

    app::TControl control() const { return id; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const app::TMainDisplay& display;
    app::TControl id;
    TGlyph glyph = TGlyph::play;
    bool hasGlyph = false;
};

// One half of an up-down counter: an arrow that repeats while it is held.
class TArrowButton final : public QAbstractButton {
public:
    TArrowButton(QWidget* parent, Qt::ArrowType arrow);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::ArrowType arrow;
};

// A vertical or horizontal up-down counter made of two arrow buttons; next is up or right.
class TUpDown final : public QWidget {
public:
    TUpDown(QWidget* parent, Qt::Orientation orientation);

    TArrowButton* next() const { return nextButton; }
    TArrowButton* previous() const { return previousButton; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Qt::Orientation orientation;
    TArrowButton* nextButton;
    TArrowButton* previousButton;
};

} // namespace zb::ui
