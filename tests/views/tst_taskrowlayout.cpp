// Where a task row puts its text and chips at a width, measured without a widget: text that
// wraps, line breaks, chips that wrap below the text and stay inside the text area, a chip
// wider than the area elided, one line while editing; the strike-through drawn crisp on the
// device's pixels at each scale.
#include "model/Tags.h"
#include "views/TaskRowLayout.h"

#include <QImage>
#include <QPainter>
#include <QTest>

class TestTaskRowLayout : public QObject
{
    Q_OBJECT

private slots:
    void layout_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("chipRows"); // 2: more than one
        QTest::addColumn<qreal>("scale");
        const QString words = QString("palabra ").repeated(12);
        const QString tags = " #viaje #familia #presupuesto #reservas #documentos #equipaje";
        QTest::newRow("one line") << "Pan" << false << 1 << 0 << 1.0;
        QTest::newRow("long text wraps, scale 2") << words << false << 3 << 0 << 2.0;
        QTest::newRow("line breaks, scale 1.25") << "uno\ndos\r\ntres" << false << 3 << 0 << 1.25;
        QTest::newRow("chips wrap, scale 1.5") << "Plan" + tags << false << 1 << 2 << 1.5;
        QTest::newRow("a wider chip is elided")
            << "a #" + QString(60, 'x') << false << 1 << 1 << 1.0;
        QTest::newRow("editing: one line, no chips") << words + tags << true << 1 << 0 << 1.0;
    }
    void layout()
    {
        QFETCH(QString, text);
        QFETCH(bool, editing);
        QFETCH(int, lines);
        QFETCH(int, chipRows);
        QFETCH(qreal, scale);
        TaskRowLayout layout;
        layout.setContent(displayText(text, extractTags(text)), extractTags(text));
        const TaskRowLayout::Geometry g = layout.geometry(320, editing);
        QCOMPARE(qRound(g.textHeight / TaskRowLayout::lineHeight()), lines);
        QSet<qreal> rows;
        for (const TaskRowLayout::Chip &chip : g.chips) {
            rows.insert(chip.rect.top());
            QVERIFY(chip.rect.left() >= g.textX && chip.rect.right() <= g.textX + g.textWidth);
            QVERIFY(chip.rect.top() >= TaskRowLayout::verticalPadding + g.textHeight);
            QCOMPARE(chip.label == chip.tag, chip.tag.size() < 60);
        }
        QCOMPARE(qMin(rows.size(), 2), chipRows);
        QVERIFY(g.height >= g.displayHeight + 2 * TaskRowLayout::verticalPadding);
        if (editing)
            return;
        // Struck through alone (the text itself clear): down a column near the start, each
        // line shows one run of whole pixels in the full colour, one logical pixel thick.
        QImage image(QSize(320, g.height) * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor strike(90, 90, 90);
        layout.paint(painter, g, Qt::transparent, strike);
        painter.end();
        QList<int> runs;
        bool inRun = false;
        const int bottom = qFloor((TaskRowLayout::verticalPadding + g.textHeight) * scale);
        for (int y = 0; y < bottom; ++y) {
            const QRgb pixel = image.pixel(qRound((g.textX + 2) * scale), y);
            if (pixel != 0)
                QCOMPARE(QColor::fromRgba(pixel), strike);
            if (pixel != 0 && !inRun)
                runs.append(0);
            if ((inRun = pixel != 0))
                ++runs.last();
        }
        QCOMPARE(runs, QList<int>(lines, qMax(1, qRound(scale))));
    }
};

QTEST_MAIN(TestTaskRowLayout)
#include "tst_taskrowlayout.moc"
