#pragma once

#include <QColor>
#include <QPixmap>
#include <QRectF>
#include <QSize>

class QPainter;

// The main window's pictures, drawn with QPainter instead of loaded from bitmaps so that they stay
// sharp at every device pixel ratio: the button glyphs, the ten seven-segment digits and the
// colon of the time display.
namespace zb::ui {

enum class TGlyph {
    options,
    minimize,
    help,
    play,
    pause,
    stop,
    backward,
    forward,
    eject,
    skipBack,
    skipForward,
    playlist,
    repeat,
    shuffle,
    intro,
    mute,
    volume,
    balance,
    record,
};

inline constexpr QSize kDigitSize{17, 25};
inline constexpr QSize kColonSize{5, 25};

// The colours of the displays: lit segments and text, unlit segments, background.
QColor displayLit();
QColor displayUnlit();
QColor displayBackground();

// Draws a glyph centred in rect. Enabled glyphs are dark (the record glyph red); disabled ones
// are drawn engraved in grey, the usual look of a disabled picture button.
void paintGlyph(QPainter& painter, const QRectF& rect, TGlyph glyph, bool enabled);

// Draws digit 0..9 into a cell of kDigitSize at cell's top-left corner, scaled to cell's size.
void paintDigit(QPainter& painter, const QRectF& cell, int digit);
void paintColon(QPainter& painter, const QRectF& cell);

// The same pictures as pixmaps of their nominal size (device pixel ratio 1).
QPixmap digitPicture(int digit);
QPixmap colonPicture();
QPixmap glyphPicture(TGlyph glyph, QSize size, bool enabled);

} // namespace zb::ui
