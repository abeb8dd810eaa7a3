// The appearance follows the lightness of the palette's window colour, for the application
// as for one widget; each appearance resolves to its own background, text and red, with
// styles of lesser emphasis fainter, and a material that reads as raised above it.
#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"

#include <QPainter>
#include <QTest>
#include <QWidget>

class TestTheme : public QObject
{
    Q_OBJECT

private slots:
    void appearanceFromPalette_data();
    void appearanceFromPalette();
    void coloursPerAppearance_data();
    void coloursPerAppearance();
};

void TestTheme::appearanceFromPalette_data()
{
    QTest::addColumn<QColor>("window");
    QTest::addColumn<bool>("dark");
    QTest::newRow("white") << QColor(Qt::white) << false;
    QTest::newRow("pale yellow") << QColor(250, 245, 200) << false;
    QTest::newRow("mid grey") << QColor(128, 128, 128) << false;
    QTest::newRow("just below mid grey") << QColor(127, 127, 127) << true;
    QTest::newRow("dark blue") << QColor(20, 30, 90) << true;
    QTest::newRow("black") << QColor(Qt::black) << true;
}

void TestTheme::appearanceFromPalette()
{
    QFETCH(QColor, window);
    QFETCH(bool, dark);
    QWidget widget;
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, window);
    widget.setPalette(palette);
    QCOMPARE(Theme::isDark(palette), dark);
    QCOMPARE(Theme::of(&widget).isDark(), dark);
}

void TestTheme::coloursPerAppearance_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("red");
    auto rgb = [](float red, float green, float blue, float alpha = 1) {
        return QColor::fromRgbF(red, green, blue, alpha);
    };
    QTest::newRow("light") << false << rgb(0.98f, 0.98f, 0.98f) << rgb(0, 0, 0, 0.85f)
                           << rgb(1, 0.23f, 0.19f);
    QTest::newRow("dark") << true << rgb(0.07f, 0.07f, 0.07f) << rgb(1, 1, 1, 0.85f)
                          << rgb(1, 0.27f, 0.23f);
}

void TestTheme::coloursPerAppearance()
{
    QFETCH(bool, dark);
    QFETCH(QColor, background);
    QFETCH(QColor, text);
    QFETCH(QColor, red);
    const Theme theme(dark);
    QCOMPARE(theme.windowBackground().rgba(), background.rgba());
    QCOMPARE(theme.primary().rgba(), text.rgba());
    QCOMPARE(theme.red().rgba(), red.rgba());
    // Lesser emphasis: the same colour, fainter but still visible; opacity multiplies.
    const QColor secondary = theme.secondary(), tertiary = theme.tertiary();
    QVERIFY(secondary.rgb() == text.rgb() && tertiary.rgb() == text.rgb());
    QVERIFY(text.alphaF() > secondary.alphaF() && secondary.alphaF() > tertiary.alphaF());
    QVERIFY(tertiary.alphaF() > 0.2);
    QVERIFY(qAbs(theme.secondary(0.5).alphaF() - secondary.alphaF() / 2) < 0.003);

    // The material reads as raised: lighter than the background around it.
    QImage image(100, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    QPainter painter(&image);
    Shapes::fillMaterial(painter, QRectF(10, 10, 80, 40), 12, theme);
    painter.end();
    QCOMPARE(image.pixelColor(2, 2).rgba(), background.rgba());
    QVERIFY(image.pixelColor(50, 30).lightness() > background.lightness());
}

QTEST_MAIN(TestTheme)
#include "tst_theme.moc"
