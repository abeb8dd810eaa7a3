#include "model/Tags.h"
#include "toolkit/Fonts.h"
#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWidget>

class TestTheme : public QObject
{
    Q_OBJECT

private slots:
    void appearanceFromPalette_data();
    void appearanceFromPalette();
    void widgetFollowsItsPalette();
    void styleColours_data();
    void styleColours();
    void fixedColours();
    void tagColourIsThePaletteEntryOfTheTag_data();
    void tagColourIsThePaletteEntryOfTheTag();
    void opacityMultipliesAlpha_data();
    void opacityMultipliesAlpha();

    void roundedFontByPixels_data();
    void roundedFontByPixels();
    void standardFontByPixels();

    void continuousRoundedRect_data();
    void continuousRoundedRect();
    void materialReadsAsRaisedSurface();
};

void TestTheme::appearanceFromPalette_data()
{
    QTest::addColumn<QColor>("window");
    QTest::addColumn<bool>("dark");
    QTest::newRow("light grey window") << QColor(239, 239, 239) << false;
    QTest::newRow("white window") << QColor(Qt::white) << false;
    QTest::newRow("dark grey window") << QColor(0x2d, 0x2d, 0x2d) << true;
    QTest::newRow("black window") << QColor(Qt::black) << true;
    QTest::newRow("just below the middle") << QColor(127, 127, 127) << true;
    QTest::newRow("the middle") << QColor(128, 128, 128) << false;
    QTest::newRow("dark blue window") << QColor(20, 30, 90) << true;
    QTest::newRow("pale yellow window") << QColor(250, 245, 200) << false;
}

void TestTheme::appearanceFromPalette()
{
    QFETCH(QColor, window);
    QFETCH(bool, dark);
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, dark ? Qt::white : Qt::black);
    QCOMPARE(Theme::isDark(palette), dark);
}

void TestTheme::widgetFollowsItsPalette()
{
    QWidget widget;
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, QColor(30, 30, 30));
    widget.setPalette(palette);
    QVERIFY(Theme::of(&widget).isDark());
    palette.setColor(QPalette::Window, QColor(240, 240, 240));
    widget.setPalette(palette);
    QVERIFY(!Theme::of(&widget).isDark());
    QCOMPARE(Theme::of(nullptr).isDark(), Theme::isDark(QApplication::palette()));
}

void TestTheme::styleColours_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QColor>("expected");
    const Theme light(false);
    const Theme dark(true);
    auto grey = [](qreal white, qreal alpha) {
        return QColor::fromRgbF(float(white), float(white), float(white), float(alpha));
    };
    QTest::newRow("primary, light") << false << light.primary() << grey(0, 0.85);
    QTest::newRow("secondary, light") << false << light.secondary() << grey(0, 0.50);
    QTest::newRow("tertiary, light") << false << light.tertiary() << grey(0, 0.26);
    QTest::newRow("primary, dark") << true << dark.primary() << grey(1, 0.85);
    QTest::newRow("secondary, dark") << true << dark.secondary() << grey(1, 0.55);
    QTest::newRow("tertiary, dark") << true << dark.tertiary() << grey(1, 0.25);
    QTest::newRow("red, light") << false << light.red() << QColor::fromRgbF(1.0f, 0.23f, 0.19f);
    QTest::newRow("red, dark") << true << dark.red() << QColor::fromRgbF(1.0f, 0.27f, 0.23f);
    QTest::newRow("background, light") << false << light.windowBackground() << grey(0.98, 1);
    QTest::newRow("background, dark") << true << dark.windowBackground() << grey(0.07, 1);
    QTest::newRow("material, light") << false << light.materialFill() << grey(1, 0.72);
    QTest::newRow("material, dark") << true << dark.materialFill() << grey(1, 0.08);
}

void TestTheme::styleColours()
{
    QFETCH(QColor, color);
    QFETCH(QColor, expected);
    QCOMPARE(color.rgba(), expected.rgba());
}

void TestTheme::fixedColours()
{
    QCOMPARE(Theme::accent().rgba(), QColor::fromRgbF(0.52f, 0.65f, 0.95f).rgba());
    QCOMPARE(Theme::white(0.5).rgba(), QColor::fromRgbF(1, 1, 1, 0.5f).rgba());
    QCOMPARE(Theme::paletteColor(0).rgba(), QColor::fromRgbF(0.55f, 0.47f, 0.87f).rgba());
    QCOMPARE(Theme::paletteColor(5).rgba(), QColor::fromRgbF(0.85f, 0.5f, 0.75f).rgba());
}

void TestTheme::tagColourIsThePaletteEntryOfTheTag_data()
{
    QTest::addColumn<QString>("tag");
    QTest::newRow("plain") << "trabajo";
    QTest::newRow("capitalised") << "Trabajo";
    QTest::newRow("accented") << "café";
    QTest::newRow("digits") << "2024";
}

void TestTheme::tagColourIsThePaletteEntryOfTheTag()
{
    QFETCH(QString, tag);
    const RgbColor rgb = tagPalette[std::size_t(tagColorIndex(tag))];
    const QColor expected = QColor::fromRgbF(float(rgb.red), float(rgb.green), float(rgb.blue));
    QCOMPARE(Theme::tagColor(tag).rgba(), expected.rgba());
    QVERIFY(qAbs(Theme::tagColor(tag, 0.15).alphaF() - 0.15) < 0.001);
}

void TestTheme::opacityMultipliesAlpha_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<qreal>("opacity");
    QTest::addColumn<qreal>("alpha");
    QTest::newRow("opaque at 0.2") << QColor(Qt::red) << 0.2 << 0.2;
    QTest::newRow("primary (0.85) at 0.05") << Theme(false).primary() << 0.05 << 0.0425;
    QTest::newRow("half at half") << QColor::fromRgbF(0, 0, 1, 0.5f) << 0.5 << 0.25;
    QTest::newRow("clear stays clear") << QColor(Qt::transparent) << 0.7 << 0.0;
}

void TestTheme::opacityMultipliesAlpha()
{
    QFETCH(QColor, color);
    QFETCH(qreal, opacity);
    QFETCH(qreal, alpha);
    const QColor result = withOpacity(color, opacity);
    QVERIFY(qAbs(result.alphaF() - alpha) < 0.003);
    QCOMPARE(result.red(), color.red());
    QCOMPARE(result.blue(), color.blue());
    // The styles' own opacity argument does the same.
    QCOMPARE(Theme(true).secondary(opacity).rgba(), withOpacity(Theme(true).secondary(),
                                                                 opacity).rgba());
}

void TestTheme::roundedFontByPixels_data()
{
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("weight");
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("bold");
    QTest::newRow("text line, regular 15") << 15 << int(QFont::Normal) << "Quicksand" << false;
    QTest::newRow("chip, medium 10") << 10 << int(QFont::Medium) << "Quicksand Medium" << false;
    QTest::newRow("title, bold 18") << 18 << int(QFont::Bold) << "Quicksand" << true;
    QTest::newRow("semibold 15") << 15 << int(QFont::DemiBold) << "Quicksand" << true;
}

void TestTheme::roundedFontByPixels()
{
    QFETCH(int, pixels);
    QFETCH(int, weight);
    QFETCH(QString, family);
    QFETCH(bool, bold);
    if (!QFontDatabase::hasFamily(QStringLiteral("Quicksand")))
        QSKIP("Quicksand is not installed (Debian package fonts-quicksand)");
    const QFont font = Fonts::rounded(pixels, QFont::Weight(weight));
    QCOMPARE(font.pixelSize(), pixels);
    const QFontInfo info(font);
    QCOMPARE(info.family(), family);
    QCOMPARE(info.pixelSize(), pixels);
    QCOMPARE(info.bold(), bold);
}

void TestTheme::standardFontByPixels()
{
    const QFont font = Fonts::standard(13, QFont::Medium);
    QCOMPARE(font.pixelSize(), 13);
    QCOMPARE(font.weight(), QFont::Medium);
    QCOMPARE(font.pointSizeF(), -1.0); // sized in pixels, never in points
    QVERIFY(QFontInfo(font).family() != QStringLiteral("Quicksand"));
}

void TestTheme::continuousRoundedRect_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<qreal>("radius");
    QTest::newRow("field, radius 12") << QRectF(0, 0, 300, 44) << 12.0;
    QTest::newRow("suggestions, radius 8") << QRectF(10, 20, 200, 90) << 8.0;
    QTest::newRow("radius larger than the shape") << QRectF(0, 0, 40, 20) << 30.0;
    QTest::newRow("square corners") << QRectF(5, 5, 30, 30) << 0.0;
}

void TestTheme::continuousRoundedRect()
{
    QFETCH(QRectF, rect);
    QFETCH(qreal, radius);
    const QPainterPath path = Shapes::continuousRoundedRect(rect, radius);
    QCOMPARE(path.boundingRect(), rect);
    QVERIFY(path.contains(rect.center()));
    // Mid-points of the sides are on the shape; the very corner is cut off when rounded.
    QVERIFY(path.contains(QPointF(rect.center().x(), rect.top() + 0.5)));
    QVERIFY(path.contains(QPointF(rect.left() + 0.5, rect.center().y())));
    const QPointF corner = rect.topLeft() + QPointF(0.5, 0.5);
    QCOMPARE(path.contains(corner), radius == 0);
    // The corner is at least as full as a circular arc's would be: it never cuts deeper.
    const qreal r = qMin(radius, qMin(rect.width(), rect.height()) / 2);
    const qreal inset = r * (1 - M_SQRT1_2) + 0.3;
    QVERIFY(path.contains(rect.topLeft() + QPointF(inset, inset)) || r == 0);

    const QPainterPath capsule = Shapes::capsule(rect);
    const qreal half = qMin(rect.width(), rect.height()) / 2;
    QVERIFY(capsule.contains(QPointF(rect.left() + 0.5, rect.center().y())));
    QVERIFY(!capsule.contains(rect.topLeft() + QPointF(half * 0.25, half * 0.25)));
}

void TestTheme::materialReadsAsRaisedSurface()
{
    for (const bool dark : {false, true}) {
        const Theme theme(dark);
        QImage image(100, 60, QImage::Format_ARGB32_Premultiplied);
        image.fill(theme.windowBackground());
        QPainter painter(&image);
        Shapes::fillMaterial(painter, QRectF(10, 10, 80, 40), 12, theme);
        painter.end();
        const QColor inside = image.pixelColor(50, 30);
        const QColor outside = image.pixelColor(2, 2);
        QCOMPARE(outside.rgba(), theme.windowBackground().rgba());
        // Lighter than the background in both appearances.
        QVERIFY2(inside.lightness() > outside.lightness(), dark ? "dark" : "light");
    }
}

QTEST_MAIN(TestTheme)
#include "tst_theme.moc"
