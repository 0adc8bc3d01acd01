// The drawn pictures of the main window: sizes, and digits that can be told apart.
#include "app/qt/pictures.h"

#include <QImage>
#include <QSet>
#include <QTest>

namespace {

int litPixels(const QImage& image) {
    int lit = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == zb::ui::displayLit())
                ++lit;
    return lit;
}

QImage digit(int value) {
    return zb::ui::digitPicture(value).toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TPicturesTest final : public QObject {
    Q_OBJECT

private slots:
    // Ten different digits on black, eight lighting the most segments and one the fewest; a
    // colon of two dots.
    void digitsAndColonAreDrawnToTheirSizes() {
        QList<QImage> seen;
        const int eight = litPixels(digit(8));
        const int one = litPixels(digit(1));
        QVERIFY(one > 0);
        for (int value = 0; value <= 9; ++value) {
            const QImage image = digit(value);
            QCOMPARE(image.size(), QSize(17, 25));
            QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black));
            QCOMPARE(image.pixelColor(16, 24), QColor(Qt::black));
            QVERIFY(!seen.contains(image));
            QVERIFY(litPixels(image) <= eight && litPixels(image) >= one);
            seen << image;
        }
        const QImage colon = zb::ui::colonPicture().toImage();
        QCOMPARE(colon.size(), QSize(5, 25));
        QCOMPARE(colon.pixelColor(2, 8), zb::ui::displayLit());
        QCOMPARE(colon.pixelColor(2, 16), zb::ui::displayLit());
        QCOMPARE(colon.pixelColor(2, 12), QColor(Qt::black));
    }

    void everyGlyphIsDrawnAndLooksDisabledWhenDisabled() {
        QList<QImage> seen;
        for (int g = 0; g <= static_cast<int>(zb::ui::TGlyph::record); ++g) {
            const auto glyph = static_cast<zb::ui::TGlyph>(g);
            const QImage enabled = zb::ui::glyphPicture(glyph, {21, 21}, true).toImage();
            const QImage disabled = zb::ui::glyphPicture(glyph, {21, 21}, false).toImage();
            QVERIFY(enabled != disabled);
            QVERIFY2(!seen.contains(enabled), qPrintable(QString::number(g)));
            seen << enabled;
        }
    }
};

QTEST_MAIN(TPicturesTest)
#include "pictures_test.moc"
