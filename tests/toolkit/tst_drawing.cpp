// What the toolkit draws where Qt would show through: symbols whose ink fills their size, a
// heavier weight that really is heavier, menu icons in the colour of their item's text, and
// a slim scroll bar without arrow buttons.
#include "toolkit/Symbols.h"
#include "toolkit/WindowStyle.h"

#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionMenuItem>
#include <QTest>

namespace {

QImage canvas(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The box of pixels with ink (alpha above a quarter) and the sum of all alpha.
std::pair<QRect, qint64> ink(const QImage &image)
{
    QRect box;
    qint64 total = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            total += alpha;
            if (alpha > 64)
                box |= QRect(x, y, 1, 1);
        }
    return {box, total};
}

} // namespace

class TestDrawing : public QObject
{
    Q_OBJECT

private slots:
    void symbolInk_data()
    {
        QTest::addColumn<Symbol>("symbol");
        QTest::addColumn<int>("size");
        QTest::newRow("done mark, open") << Symbol::Circle << 20;
        QTest::newRow("done mark, done") << Symbol::CheckmarkCircleFill << 20;
        QTest::newRow("add button") << Symbol::PlusCircleFill << 24;
        QTest::newRow("delete button") << Symbol::XmarkCircleFill << 16;
    }
    void symbolInk()
    {
        QFETCH(Symbol, symbol);
        QFETCH(int, size);
        QImage image = canvas(size + 8);
        QPainter painter(&image);
        Symbols::paint(painter, symbol, QRectF(4, 4, size, size), size, Qt::black);
        painter.end();
        const QRect box = ink(image).first;
        // The ink fills the size to within a pixel, centred in the box it was given.
        QVERIFY2(qMin(box.width(), box.height()) >= size - 1, "the ink is smaller than the size");
        QVERIFY(QRect(3, 3, size + 2, size + 2).contains(box));
    }

    void semiboldIsHeavier()
    {
        qint64 totals[2] = {};
        for (const QFont::Weight weight : {QFont::Normal, QFont::DemiBold}) {
            QImage image = canvas(24);
            QPainter painter(&image);
            Symbols::paint(painter, Symbol::Checklist, QRectF(4, 4, 15, 15), 15, Qt::white, weight);
            painter.end();
            totals[weight == QFont::DemiBold] = ink(image).second;
        }
        QVERIFY(totals[1] > totals[0] * 1.15);
    }

    // A black icon on a highlighted item turns white with its text; on a plain item it takes
    // the text's colour too.
    void menuIconFollowsItsText_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::newRow("highlighted") << true;
        QTest::newRow("plain") << false;
    }
    void menuIconFollowsItsText()
    {
        QFETCH(bool, selected);
        WindowStyle style;
        QMenu menu;
        menu.setStyle(&style);
        QStyleOptionMenuItem item;
        item.initFrom(&menu);
        item.rect = QRect(0, 0, 200, 26);
        item.menuItemType = QStyleOptionMenuItem::Normal;
        item.text = QStringLiteral("Quitar prioridad");
        item.icon = Symbols::icon(Symbol::FlagFill, 16, Qt::black);
        item.maxIconWidth = 16;
        item.state =
            QStyle::State_Enabled | (selected ? QStyle::State_Selected : QStyle::State_None);
        QImage image(200, 26, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        style.drawControl(QStyle::CE_MenuItem, &item, &painter, &menu);
        painter.end();
        const QColor iconPixel = image.pixelColor(16, 13);
        const bool light = iconPixel.lightnessF() > 0.9;
        QCOMPARE(light, selected);
        QVERIFY(iconPixel.alpha() > 128);
    }

    void slimScrollBarWithoutArrows()
    {
        WindowStyle style;
        QScrollBar bar(Qt::Vertical);
        bar.setStyle(&style);
        bar.setRange(0, 900);
        bar.setPageStep(100);
        bar.resize(bar.sizeHint().width(), 400);
        QCOMPARE(bar.sizeHint().width(), 10);
        QStyleOptionSlider option;
        option.initFrom(&bar);
        option.orientation = Qt::Vertical;
        option.minimum = 0;
        option.maximum = 900;
        option.pageStep = 100;
        option.sliderPosition = 900;
        for (const auto arrow : {QStyle::SC_ScrollBarAddLine, QStyle::SC_ScrollBarSubLine})
            QVERIFY(style.subControlRect(QStyle::CC_ScrollBar, &option, arrow, &bar).isEmpty());
        // At the end, a handle a tenth of the bar long sits at the very bottom.
        const QRect handle =
            style.subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, &bar);
        QCOMPARE(handle, QRect(0, 360, 10, 40));
    }
};

QTEST_MAIN(TestDrawing)
#include "tst_drawing.moc"
