// Where a task row puts its text and chips at a width, measured without a widget: text that
// wraps, line breaks, chips that wrap below the text and stay inside the text area, a chip
// wider than the area elided, room given up to the delete button, one line while editing.
#include "model/Tags.h"
#include "views/TaskRowLayout.h"

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
        const QString words = QString("palabra ").repeated(12);
        const QString tags = " #viaje #familia #presupuesto #reservas #documentos #equipaje";
        QTest::newRow("one line") << "Pan" << false << 1 << 0;
        QTest::newRow("long text wraps") << words << false << 3 << 0;
        QTest::newRow("line breaks") << "uno\ndos\r\ntres" << false << 3 << 0;
        QTest::newRow("chips wrap") << "Plan" + tags << false << 1 << 2;
        QTest::newRow("a wider chip is elided") << "a #" + QString(60, 'x') << false << 1 << 1;
        QTest::newRow("editing: one line, no chips") << words + tags << true << 1 << 0;
    }
    void layout()
    {
        QFETCH(QString, text);
        QFETCH(bool, editing);
        QFETCH(int, lines);
        QFETCH(int, chipRows);
        TaskRowLayout layout;
        layout.setContent(displayText(text, extractTags(text)), extractTags(text));
        const TaskRowLayout::Geometry g = layout.geometry(320, false, editing);
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
        // The delete button, shown while hovered, takes room from the text.
        const TaskRowLayout::Geometry &hovered = layout.geometry(320, true, editing);
        QVERIFY(hovered.textWidth < g.textWidth && hovered.textHeight >= g.textHeight);
    }
};

QTEST_MAIN(TestTaskRowLayout)
#include "tst_taskrowlayout.moc"
