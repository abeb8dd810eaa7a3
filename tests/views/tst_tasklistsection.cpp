#include "model/Tags.h"
#include "model/TaskItem.h"
#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "views/TaskListSection.h"
#include "views/TaskRow.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace {

// Stands in for the window and its store: it owns the list, applies the section's requests
// to it and shows the result again, ordered priority first and filtered by one tag.
class FakeStore
{
public:
    FakeStore()
    {
        window.resize(320, 400);
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        section = new TaskListSection(&window);
        otherField = new QLineEdit(&window);
        layout->addWidget(section, 1);
        layout->addWidget(otherField);

        QObject::connect(section, &TaskListSection::doneToggled, section,
                         [this](const QUuid &id) { change(id, [](TaskItem &t) {
                                                       t.isDone = !t.isDone; }); });
        QObject::connect(section, &TaskListSection::priorityToggled, section,
                         [this](const QUuid &id) { change(id, [](TaskItem &t) {
                                                       t.isPriority = !t.isPriority; }); });
        QObject::connect(section, &TaskListSection::deleteRequested, section,
                         [this](const QUuid &id) { remove(id); });
        QObject::connect(section, &TaskListSection::textEdited, section,
                         [this](const QUuid &id, const QString &text) {
                             change(id, [&](TaskItem &t) {
                                 t.text = text;
                                 t.tags = extractTags(text);
                             });
                         });
        window.show();
        window.activateWindow();
    }

    QUuid add(const QString &text, bool priority = false)
    {
        TaskItem task(text);
        task.isPriority = priority;
        tasks.append(task);
        refresh();
        return task.id;
    }
    void remove(const QUuid &id)
    {
        tasks.removeIf([&](const TaskItem &t) { return t.id == id; });
        refresh();
    }
    template<typename F>
    void change(const QUuid &id, F apply)
    {
        for (TaskItem &task : tasks) {
            if (task.id == id) {
                apply(task);
                ++writes;
            }
        }
        refresh();
    }
    const TaskItem &task(const QUuid &id) const
    {
        return *std::find_if(tasks.cbegin(), tasks.cend(),
                             [&](const TaskItem &t) { return t.id == id; });
    }

    QList<int> order() const
    {
        QList<int> positions;
        for (int i = 0; i < tasks.size(); ++i) {
            if (!filter || tasks[i].tags.contains(*filter, Qt::CaseInsensitive))
                positions.append(i);
        }
        std::stable_sort(positions.begin(), positions.end(), [this](int a, int b) {
            return tasks[a].isPriority && !tasks[b].isPriority;
        });
        return positions;
    }
    void refresh() { section->setState(tasks, order()); }

    QList<QUuid> shownIds() const
    {
        QList<QUuid> ids;
        for (TaskRow *row : section->rows())
            ids.append(row->taskId());
        return ids;
    }

    QList<TaskItem> tasks;
    std::optional<QString> filter;
    int writes = 0;
    QWidget window;
    TaskListSection *section = nullptr;
    QLineEdit *otherField = nullptr;
};

void doubleClickText(TaskRow *row)
{
    QTest::mouseDClick(row, Qt::LeftButton, {}, QPoint(60, 15));
}

} // namespace

class TaskListSectionTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Motion::setAnimationsEnabled(false); }

    void emptyStateOnlyWithoutTasks_data();
    void emptyStateOnlyWithoutTasks();
    void rowsFollowOrderAndAreReused();
    void removedRowIsDeletedAndSilent();
    void doneClickRedrawsOnlyThatTask();
    void editFollowsItsTaskWhenAnotherGoes_data();
    void editFollowsItsTaskWhenAnotherGoes();
    void editOfFilteredOutRowIsStored();
    void tallerRowPushesRowsBelow();
    void invalidPositionsAndRepeatsAreSkipped();
    void longListScrolls();
};

void TaskListSectionTest::emptyStateOnlyWithoutTasks_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("emptyState");
    QTest::addColumn<int>("rows");
    QTest::newRow("no tasks") << QStringList{} << QString() << true << 0;
    QTest::newRow("no tasks, a tag still selected") << QStringList{} << "casa" << true << 0;
    QTest::newRow("tasks, none filtered out") << QStringList{"a #casa", "b"} << QString() << false
                                              << 2;
    QTest::newRow("tasks, filter leaves none") << QStringList{"a #casa", "b"} << "trabajo"
                                               << false << 0;
}

void TaskListSectionTest::emptyStateOnlyWithoutTasks()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, filter);
    QFETCH(bool, emptyState);
    QFETCH(int, rows);

    FakeStore store;
    if (!filter.isEmpty())
        store.filter = filter;
    for (const QString &text : texts)
        store.add(text);
    store.refresh();

    QCOMPARE(store.section->isShowingEmptyState(), emptyState);
    QCOMPARE(store.section->rows().size(), rows);
    QCOMPARE(store.section->scrollArea()->isVisible(), !emptyState);

    // Deleting the last task brings the empty state back; adding one takes it away.
    if (!emptyState) {
        store.filter.reset();
        while (!store.tasks.isEmpty())
            store.remove(store.tasks.constFirst().id);
        QVERIFY(store.section->isShowingEmptyState());
        QVERIFY(store.section->rows().isEmpty());
        store.add("otra");
        QVERIFY(!store.section->isShowingEmptyState());
    }
}

void TaskListSectionTest::rowsFollowOrderAndAreReused()
{
    FakeStore store;
    const QUuid a = store.add("A");
    const QUuid b = store.add("B", true);
    const QUuid c = store.add("C #casa");
    const QUuid d = store.add("D");
    QCOMPARE(store.shownIds(), (QList<QUuid>{b, a, c, d}));

    TaskRow *rowA = store.section->rowFor(a);
    TaskRow *rowC = store.section->rowFor(c);
    QVERIFY(rowA && rowC);

    // Flagging D moves it up; every row stays the same widget.
    store.change(d, [](TaskItem &t) { t.isPriority = true; });
    QCOMPARE(store.shownIds(), (QList<QUuid>{b, d, a, c}));
    QCOMPARE(store.section->rowFor(a), rowA);
    QCOMPARE(store.section->rowFor(c), rowC);

    // Filtering and unfiltering: rows of the tasks that stay shown are not rebuilt.
    store.filter = "casa";
    store.refresh();
    QCOMPARE(store.shownIds(), (QList<QUuid>{c}));
    QCOMPARE(store.section->rowFor(c), rowC);
    QVERIFY(!store.section->rowFor(a));
    store.filter.reset();
    store.refresh();
    QCOMPARE(store.shownIds(), (QList<QUuid>{b, d, a, c}));
    QCOMPARE(store.section->rowFor(c), rowC);

    // The rows stand in that order on screen too.
    const QList<TaskRow *> rows = store.section->rows();
    for (int i = 1; i < rows.size(); ++i)
        QVERIFY(rows[i - 1]->geometry().bottom() < rows[i]->geometry().top());
}

void TaskListSectionTest::removedRowIsDeletedAndSilent()
{
    // With animations on, a removed row fades out before it goes, and can still be clicked
    // at during the fade.
    Motion::setAnimationsEnabled(true);
    FakeStore store;
    QVERIFY(QTest::qWaitForWindowExposed(&store.window));
    const QUuid a = store.add("A");
    const QUuid b = store.add("B");
    QPointer<TaskRow> rowA = store.section->rowFor(a);
    QSignalSpy done(store.section, &TaskListSection::doneToggled);
    QSignalSpy deleted(store.section, &TaskListSection::deleteRequested);

    Motion::withAnimation(Animation::easeInOut(0.2), [&] { store.remove(a); });
    QCOMPARE(store.shownIds(), (QList<QUuid>{b}));
    if (rowA) {
        rowA->findChild<PlainButton *>("doneMark")->click();
        QCOMPARE(done.count(), 0);
    }
    QTRY_VERIFY(!rowA);
    QCOMPARE(deleted.count(), 0);
}

void TaskListSectionTest::doneClickRedrawsOnlyThatTask()
{
    FakeStore store;
    const QUuid a = store.add("A");
    const QUuid b = store.add("B #casa", true);
    PlainButton *markB = store.section->rowFor(b)->findChild<PlainButton *>("doneMark");
    const QColor openColor = markB->color();

    QTest::mouseClick(markB, Qt::LeftButton);
    QCOMPARE(store.writes, 1);
    QVERIFY(store.task(b).isDone);
    QVERIFY(!store.task(a).isDone);
    QVERIFY(markB->color() != openColor);
    QCOMPARE(markB->symbol(), Symbol::CheckmarkCircleFill);
    // A done task keeps its place.
    QCOMPARE(store.shownIds(), (QList<QUuid>{b, a}));
}

void TaskListSectionTest::editFollowsItsTaskWhenAnotherGoes_data()
{
    QTest::addColumn<bool>("commitByFocusLoss");
    QTest::newRow("commit by Return") << false;
    QTest::newRow("commit by focus loss") << true;
}

void TaskListSectionTest::editFollowsItsTaskWhenAnotherGoes()
{
    QFETCH(bool, commitByFocusLoss);
    FakeStore store;
    QVERIFY(QTest::qWaitForWindowActive(&store.window));
    const QUuid a = store.add("A #uno");
    const QUuid b = store.add("B #dos");
    const QUuid c = store.add("C #tres");
    QSignalSpy edits(store.section, &TaskListSection::textEdited);

    TaskRow *rowC = store.section->rowFor(c);
    doubleClickText(rowC);
    QVERIFY(rowC->isEditing());
    auto *field = rowC->findChild<QLineEdit *>("editField");
    QTRY_VERIFY(field->hasFocus());

    // The task above the edited one goes while the field is open.
    store.remove(a);
    QCOMPARE(store.section->rowFor(c), rowC);
    QVERIFY(rowC->isEditing());
    QVERIFY(field->hasFocus());

    field->end(false);
    QTest::keyClicks(field, " editada");
    if (commitByFocusLoss)
        store.otherField->setFocus();
    else
        QTest::keyClick(field, Qt::Key_Return);

    QCOMPARE(edits.count(), 1);
    QCOMPARE(edits.at(0).at(0).value<QUuid>(), c);
    QCOMPARE(store.tasks.size(), 2);
    QCOMPARE(store.task(b).text, QStringLiteral("B #dos"));
    QCOMPARE(store.task(c).text, QStringLiteral("C #tres editada"));
    QCOMPARE(store.task(c).tags, QStringList{"tres"});
}

void TaskListSectionTest::editOfFilteredOutRowIsStored()
{
    FakeStore store;
    QVERIFY(QTest::qWaitForWindowActive(&store.window));
    const QUuid a = store.add("A #casa");
    store.add("B #trabajo");
    QSignalSpy edits(store.section, &TaskListSection::textEdited);

    TaskRow *rowA = store.section->rowFor(a);
    doubleClickText(rowA);
    auto *field = rowA->findChild<QLineEdit *>("editField");
    field->end(false);
    QTest::keyClicks(field, " y mas");

    // The list changes under the open edit so that its task is no longer shown: the edit is
    // stored, once, after the update that took the row away.
    store.filter = "trabajo";
    store.refresh();
    QCOMPARE(edits.count(), 0);
    QTRY_COMPARE(edits.count(), 1);
    QCOMPARE(store.task(a).text, QStringLiteral("A #casa y mas"));
}

void TaskListSectionTest::tallerRowPushesRowsBelow()
{
    FakeStore store;
    QVERIFY(QTest::qWaitForWindowExposed(&store.window));
    const QUuid a = store.add("Corta");
    const QUuid b = store.add("Siguiente");
    TaskRow *rowA = store.section->rowFor(a);
    TaskRow *rowB = store.section->rowFor(b);
    QTRY_COMPARE(rowB->y(), rowA->geometry().bottom() + 1);
    const int oneLine = rowA->height();

    doubleClickText(rowA);
    auto *field = rowA->findChild<QLineEdit *>("editField");
    field->setText("Una tarea que ahora tiene un texto tan largo que ocupa varias lineas "
                   "en la lista #casa");
    QTest::keyClick(field, Qt::Key_Return);

    QTRY_VERIFY(rowA->height() > oneLine + 15);
    QTRY_COMPARE(rowB->y(), rowA->geometry().bottom() + 1);
}

void TaskListSectionTest::invalidPositionsAndRepeatsAreSkipped()
{
    FakeStore store;
    const QUuid a = store.add("A");
    const QUuid b = store.add("B");
    store.section->setState(store.tasks, {1, -1, 0, 1, 7, 0});
    QCOMPARE(store.shownIds(), (QList<QUuid>{b, a}));
}

void TaskListSectionTest::longListScrolls()
{
    FakeStore store;
    QVERIFY(QTest::qWaitForWindowExposed(&store.window));
    for (int i = 0; i < 60; ++i)
        store.add(QStringLiteral("Tarea %1").arg(i));
    QScrollArea *area = store.section->scrollArea();
    QTRY_VERIFY(area->verticalScrollBar()->maximum() > 0);
    QCOMPARE(area->horizontalScrollBar()->isVisible(), false);
    // The column is as wide as the viewport: rows never scroll sideways.
    QCOMPARE(store.section->rows().constFirst()->width(), area->viewport()->width());

    // The first row starts after the list's top padding.
    QCOMPARE(store.section->rows().constFirst()->y(), 6);
}

QTEST_MAIN(TaskListSectionTest)
#include "tst_tasklistsection.moc"
