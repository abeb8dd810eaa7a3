// The list section's own behaviour, apart from what the window shows through it (tested
// with ContentView): a row that leaves asks for nothing while it fades out, the column
// stands rows one under another, a row that grows pushes the next one down, and the list
// scrolls up and down only.
#include "model/Tags.h"
#include "model/TaskItem.h"
#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "views/TaskListSection.h"
#include "views/TaskRow.h"

#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

struct SectionHarness {
    explicit SectionHarness(const QStringList &texts)
    {
        window.resize(320, 400);
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        section = new TaskListSection(&window);
        layout->addWidget(section);
        for (const QString &text : texts)
            tasks.append(TaskItem(text));
        QList<int> all;
        for (int i = 0; i < tasks.size(); ++i)
            all.append(i);
        section->setState(tasks, all);
        window.show();
        window.activateWindow();
    }
    QList<TaskItem> tasks;
    QWidget window;
    TaskListSection *section = nullptr;
};

} // namespace

class TaskListSectionTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Motion::setAnimationsEnabled(false); }

    void leavingRowFadesWithoutRequests()
    {
        Motion::setAnimationsEnabled(true);
        SectionHarness h({"A", "B"});
        QVERIFY(QTest::qWaitForWindowExposed(&h.window));
        QPointer<TaskRow> rowA = h.section->rows().at(0);
        QSignalSpy done(h.section, &TaskListSection::doneToggled);
        QSignalSpy deleted(h.section, &TaskListSection::deleteRequested);

        h.tasks.removeFirst();
        Motion::withAnimation(Animation::easeInOut(0.2),
                              [&] { h.section->setState(h.tasks, {0}); });
        QCOMPARE(h.section->rows().size(), 1);
        QVERIFY(!h.section->rowFor(rowA->taskId()));
        // Still on screen while it fades, but its mark asks for nothing; then it is gone.
        QVERIFY(rowA->isVisible());
        rowA->findChild<PlainButton *>("doneMark")->click();
        QTRY_VERIFY(!rowA);
        QCOMPARE(done.count(), 0);
        QCOMPARE(deleted.count(), 0);
    }

    // The column follows each row's height for the viewport's width, and only scrolls up and
    // down: a row that grows (longer text, chips that wrap) pushes the next one down.
    void columnLayout()
    {
        QStringList texts;
        for (int i = 0; i < 60; ++i)
            texts.append(QStringLiteral("Tarea %1").arg(i));
        SectionHarness h(texts);
        QVERIFY(QTest::qWaitForWindowExposed(&h.window));
        QScrollArea *area = h.section->scrollArea();
        TaskRow *first = h.section->rows().at(0);
        TaskRow *second = h.section->rows().at(1);
        QTRY_VERIFY(area->verticalScrollBar()->maximum() > 0);
        QVERIFY(!area->horizontalScrollBar()->isVisible());
        QCOMPARE(first->width(), area->viewport()->width());
        QCOMPARE(second->y(), first->geometry().bottom() + 1);
        const int oneLine = first->height();

        for (const char *text : {"Una tarea que ahora tiene un texto tan largo que ocupa "
                                 "varias lineas de la lista",
                                 "Plan #viaje #familia #presupuesto #reservas #equipaje"}) {
            h.tasks[0].text = text;
            h.tasks[0].tags = extractTags(text);
            h.section->setState(h.tasks, {0, 1});
            QTRY_VERIFY(first->height() > oneLine + 15);
            QTRY_COMPARE(second->y(), first->geometry().bottom() + 1);
        }
    }
};

QTEST_MAIN(TaskListSectionTest)
#include "tst_tasklistsection.moc"
