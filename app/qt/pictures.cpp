#include "app/qt/pictures.h"

#include <QPainter>
#include <QPolygonF>

#include <array>
#include <cmath>

namespace zb::ui {

namespace {

// Glyphs are designed on a 15 × 15 pixel grid; bars and boxes sit on whole pixels so that they
// stay crisp at a device pixel ratio of 1, only slanted edges are antialiased.
constexpr qreal kGlyphBox = 15;

void triangle(QPainter& p, QPointF a, QPointF b, QPointF c) {
    const QPolygonF polygon{a, b, c};
    p.drawPolygon(polygon);
}

void speaker(QPainter& p) {
    p.drawRect(QRectF(1, 5, 3, 5));
    const QPolygonF cone{QPointF(4, 5), QPointF(8, 1.5), QPointF(8, 13.5), QPointF(4, 10)};
    p.drawPolygon(cone);
}

// Strokes use the fill colour: the painter's brush.
void stroke(QPainter& p, qreal width) {
    p.setPen(QPen(p.brush().color(), width, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
}

// One case of drawing per glyph; long because there are many glyphs, each a few strokes.
void drawGlyphShape(QPainter& p, TGlyph glyph) {
    switch (glyph) {
    case TGlyph::options: // three sliders
        for (const int y : {3, 7, 11})
            p.drawRect(QRectF(1, y, 13, 1));
        p.drawRect(QRectF(3, 1, 3, 5));
        p.drawRect(QRectF(9, 5, 3, 5));
        p.drawRect(QRectF(5, 9, 3, 5));
        break;
    case TGlyph::minimize:
        p.drawRect(QRectF(3, 10, 9, 2));
        break;
    case TGlyph::help: {
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(14);
        p.setFont(font);
        p.setPen(p.brush().color());
        p.drawText(QRectF(0, 0, kGlyphBox, kGlyphBox), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case TGlyph::play:
        triangle(p, {4, 1}, {4, 14}, {12, 7.5});
        break;
    case TGlyph::pause:
        p.drawRect(QRectF(3, 2, 3, 11));
        p.drawRect(QRectF(9, 2, 3, 11));
        break;
    case TGlyph::stop:
        p.drawRect(QRectF(3, 3, 9, 9));
        break;
    case TGlyph::backward:
        triangle(p, {7.5, 2}, {7.5, 13}, {1.5, 7.5});
        triangle(p, {13.5, 2}, {13.5, 13}, {7.5, 7.5});
        break;
    case TGlyph::forward:
        triangle(p, {1.5, 2}, {1.5, 13}, {7.5, 7.5});
        triangle(p, {7.5, 2}, {7.5, 13}, {13.5, 7.5});
        break;
    case TGlyph::eject:
        triangle(p, {1.5, 9}, {13.5, 9}, {7.5, 2.5});
        p.drawRect(QRectF(2, 11, 11, 2));
        break;
    case TGlyph::skipBack:
        p.drawRect(QRectF(2, 2, 2, 11));
        triangle(p, {8.5, 2}, {8.5, 13}, {4, 7.5});
        triangle(p, {13.5, 2}, {13.5, 13}, {8.5, 7.5});
        break;
    case TGlyph::skipForward:
        p.drawRect(QRectF(11, 2, 2, 11));
        triangle(p, {1.5, 2}, {1.5, 13}, {6.5, 7.5});
        triangle(p, {6.5, 2}, {6.5, 13}, {11, 7.5});
        break;
    case TGlyph::playlist:
        for (const int y : {3, 7, 11}) {
            p.drawRect(QRectF(1, y, 2, 2));
            p.drawRect(QRectF(4, y, 10, 2));
        }
        break;
    case TGlyph::repeat: // a loop: right along the top, back along the bottom
        p.drawRect(QRectF(2, 4, 8, 2));
        p.drawRect(QRectF(2, 4, 2, 4));
        triangle(p, {9.5, 1}, {9.5, 9}, {13.5, 5});
        p.drawRect(QRectF(5, 10, 8, 2));
        p.drawRect(QRectF(11, 7, 2, 5));
        triangle(p, {5.5, 7}, {5.5, 15}, {1.5, 11});
        break;
    case TGlyph::shuffle:
        triangle(p, {9, 0.5}, {9, 6.5}, {13.5, 3.5});
        triangle(p, {9, 8.5}, {9, 14.5}, {13.5, 11.5});
        stroke(p, 2);
        p.drawLine(QPointF(1.5, 3.5), QPointF(9.5, 11.5));
        p.drawLine(QPointF(1.5, 11.5), QPointF(9.5, 3.5));
        break;
    case TGlyph::intro: // a stopwatch: only the first seconds play
        p.drawRect(QRectF(6, 0, 3, 2));
        stroke(p, 1.5);
        p.drawEllipse(QPointF(7.5, 8.5), 5.25, 5.25);
        p.drawLine(QPointF(7.5, 8.5), QPointF(7.5, 5));
        break;
    case TGlyph::mute:
        speaker(p);
        stroke(p, 1.5);
        p.drawLine(QPointF(10, 5), QPointF(14, 10));
        p.drawLine(QPointF(14, 5), QPointF(10, 10));
        break;
    case TGlyph::volume:
        speaker(p);
        stroke(p, 1.25);
        p.drawArc(QRectF(5, 4.5, 6, 6), -45 * 16, 90 * 16);
        p.drawArc(QRectF(2.5, 2, 11, 11), -45 * 16, 90 * 16);
        break;
    case TGlyph::balance:
        triangle(p, {1, 7.5}, {5, 3.5}, {5, 11.5});
        triangle(p, {14, 7.5}, {10, 3.5}, {10, 11.5});
        p.drawRect(QRectF(7, 2, 1, 11));
        break;
    case TGlyph::record:
        p.drawEllipse(QPointF(7.5, 7.5), 5, 5);
        break;
    }
}

void drawGlyphAt(QPainter& p, QPointF origin, TGlyph glyph, const QColor& color) {
    p.save();
    p.translate(origin);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    drawGlyphShape(p, glyph);
    p.restore();
}

// Segments a..g of each digit, bit 0 = a.
constexpr std::array<unsigned, 10> kSegments{0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                             0x6D, 0x7D, 0x07, 0x7F, 0x6F};

// The segment centre lines in the 17 × 25 cell; segments are 3 pixels thick, so their long edges
// fall on whole pixels.
constexpr qreal kLeft = 3.5, kRight = 13.5, kTop = 3.5, kMiddle = 12.5, kBottom = 21.5;
constexpr qreal kHalf = 1.5, kGap = 0.75;

QPolygonF horizontalSegment(qreal y) {
    const qreal a = kLeft + kGap, b = kRight - kGap;
    return QPolygonF{{a, y}, {a + kHalf, y - kHalf}, {b - kHalf, y - kHalf},
                     {b, y}, {b - kHalf, y + kHalf}, {a + kHalf, y + kHalf}};
}

QPolygonF verticalSegment(qreal x, qreal top, qreal bottom) {
    const qreal a = top + kGap, b = bottom - kGap;
    return QPolygonF{{x, a}, {x + kHalf, a + kHalf}, {x + kHalf, b - kHalf},
                     {x, b}, {x - kHalf, b - kHalf}, {x - kHalf, a + kHalf}};
}

void scaleInto(QPainter& p, const QRectF& cell, QSize nominal) {
    p.translate(cell.topLeft());
    p.scale(cell.width() / nominal.width(), cell.height() / nominal.height());
}

} // namespace

QColor displayLit() {
    return {0, 255, 255};
}

QColor displayUnlit() {
    return {0, 52, 52};
}

QColor displayBackground() {
    return Qt::black;
}

void paintGlyph(QPainter& painter, const QRectF& rect, TGlyph glyph, bool enabled) {
    const QPointF origin(std::floor(rect.x() + (rect.width() - kGlyphBox) / 2),
                         std::floor(rect.y() + (rect.height() - kGlyphBox) / 2));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (enabled) {
        const QColor color = glyph == TGlyph::record ? QColor(204, 0, 0) : QColor(24, 24, 24);
        drawGlyphAt(painter, origin, glyph, color);
    } else {
        drawGlyphAt(painter, origin + QPointF(1, 1), glyph, Qt::white);
        drawGlyphAt(painter, origin, glyph, QColor(128, 128, 128));
    }
    painter.restore();
}

void paintDigit(QPainter& painter, const QRectF& cell, int digit) {
    painter.save();
    scaleInto(painter, cell, kDigitSize);
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(kDigitSize)), displayBackground());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const unsigned lit = digit >= 0 && digit <= 9 ? kSegments[static_cast<std::size_t>(digit)] : 0;
    const std::array<QPolygonF, 7> segments{
        horizontalSegment(kTop),                   // a
        verticalSegment(kRight, kTop, kMiddle),    // b
        verticalSegment(kRight, kMiddle, kBottom), // c
        horizontalSegment(kBottom),                // d
        verticalSegment(kLeft, kMiddle, kBottom),  // e
        verticalSegment(kLeft, kTop, kMiddle),     // f
        horizontalSegment(kMiddle),                // g
    };
    for (std::size_t i = 0; i < segments.size(); ++i) {
        painter.setBrush((lit >> i) & 1U ? displayLit() : displayUnlit());
        painter.drawPolygon(segments[i]);
    }
    painter.restore();
}

void paintColon(QPainter& painter, const QRectF& cell) {
    painter.save();
    scaleInto(painter, cell, kColonSize);
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(kColonSize)), displayBackground());
    painter.fillRect(QRectF(1, 7, 3, 3), displayLit());
    painter.fillRect(QRectF(1, 15, 3, 3), displayLit());
    painter.restore();
}

QPixmap digitPicture(int digit) {
    QPixmap pixmap(kDigitSize);
    QPainter painter(&pixmap);
    paintDigit(painter, QRectF(QPointF(0, 0), QSizeF(kDigitSize)), digit);
    return pixmap;
}

QPixmap colonPicture() {
    QPixmap pixmap(kColonSize);
    QPainter painter(&pixmap);
    paintColon(painter, QRectF(QPointF(0, 0), QSizeF(kColonSize)));
    return pixmap;
}

QPixmap glyphPicture(TGlyph glyph, QSize size, bool enabled) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paintGlyph(painter, QRectF(QPointF(0, 0), QSizeF(size)), glyph, enabled);
    return pixmap;
}

} // namespace zb::ui
