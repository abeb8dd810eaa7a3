// The window's content over a real store and preferences file: what the list shows and in
// which order, under a filter and after each request from a row or the input field; the
// empty state against an empty filtered list; the count of open tasks; rows kept per task;
// an open edit stored to its own task whatever happens around it; the background.
#include "model/Tags.h"
#include "model/TaskListCodec.h"
#include "platform/Preferences.h"
#include "toolkit/Motion.h"
#include "toolkit/TextLabel.h"
#include "views/ContentView.h"
#include "views/HeaderView.h"
#include "views/InputArea.h"
#include "views/TagFilterBar.h"
#include "views/TaskListSection.h"
#include "views/TaskRow.h"

#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// "A:p" is a priority task, "B:d" a done one, "C:pd" both; tags follow in the text.
TaskItem makeTask(const QString &description)
{
    TaskItem task(description.section(QLatin1Char(':'), 0, 0));
    task.isPriority = description.section(QLatin1Char(':'), 1).contains(QLatin1Char('p'));
    task.isDone = description.section(QLatin1Char(':'), 1).contains(QLatin1Char('d'));
    return task;
}

QString describe(const TaskItem &task)
{
    const QString flags =
        QLatin1String(task.isPriority ? "p" : "") + QLatin1String(task.isDone ? "d" : "");
    return flags.isEmpty() ? task.text : task.text + QLatin1Char(':') + flags;
}

} // namespace

class TestContentView : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<ContentView> m_view;

    void makeView(const QStringList &stored)
    {
        QList<TaskItem> tasks;
        for (const QString &description : stored)
            tasks.append(makeTask(description));
        if (!tasks.isEmpty())
            QVERIFY(m_preferences->setTasksDocument(TaskListCodec::encode(tasks)));
        m_view = std::make_unique<ContentView>(*m_preferences);
        m_view->resize(320, 720);
        m_view->show();
        m_view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
    }
    QHash<QUuid, TaskRow *> rowsById() const
    {
        QHash<QUuid, TaskRow *> rows;
        for (TaskRow *row : m_view->listSection()->rows())
            rows.insert(row->taskId(), row);
        return rows;
    }
    // Rows belong to task ids: a task still shown after a change keeps its row.
    void verifyRowsKept(const QHash<QUuid, TaskRow *> &before) const
    {
        const QHash<QUuid, TaskRow *> after = rowsById();
        for (auto row = after.cbegin(); row != after.cend(); ++row)
            QCOMPARE(before.value(row.key(), row.value()), row.value());
    }
    // What the file holds, read back by a second Preferences.
    static QList<TaskItem> storedTasks()
    {
        const auto document = Preferences().tasksDocument();
        return TaskListCodec::decode(document.value_or(QByteArray())).value_or(QList<TaskItem>{});
    }

private slots:
    void init()
    {
        Motion::setAnimationsEnabled(false);
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
        m_preferences = std::make_unique<Preferences>();
    }
    void cleanup()
    {
        m_view.reset();
        m_preferences.reset();
        m_config.reset();
    }

    // What the list shows (texts with their flags), the count of open tasks, the empty state
    // and the tag strip after an action on the second stored task, and that the file holds
    // what the store holds.
    void afterAnAction_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("count"); // open tasks, whatever the filter

        const QStringList abc{"A", "B", "C"};
        const auto row = [](const char *name, const QStringList &stored, const QString &action,
                            const QStringList &shown, const QString &count) {
            QTest::newRow(name) << stored << action << shown << count;
        };
        row("no tasks: empty state", {}, "", {}, "");
        row("no tasks, a tag still selected: empty state", {}, "filter casa", {}, "");
        row("priority first, done keeps its place", {"A", "B:p", "C:pd", "D"}, "",
            {"B:p", "C:pd", "A", "D"}, "3 pendientes");
        row("no priority: store order", {"A:d", "B", "C"}, "", {"A:d", "B", "C"}, "2 pendientes");
        row("filter keeps priority first", {"A #casa", "B #trabajo:p", "C #casa:p", "D #Casa:d"},
            "filter casa", {"C #casa:p", "A #casa", "D #Casa:d"}, "3 pendientes");
        row("filter compares without case", {"A #compras", "B #Compras", "C"}, "filter COMPRAS",
            {"A #compras", "B #Compras"}, "3 pendientes");
        row("filter on a tag nobody carries: an empty list, not the empty state", {"A #casa"},
            "filter nada", {}, "1 pendiente");
        row("done mark", abc, "done", {"A", "B:d", "C"}, "2 pendientes");
        row("priority moves the row up", abc, "priority", {"B:p", "A", "C"}, "3 pendientes");
        row("priority taken off moves it back", {"A", "B:p", "C"}, "priority", abc, "3 pendientes");
        row("delete", abc, "delete", {"A", "C"}, "2 pendientes");
        row("delete of a task already gone", abc, "delete twice", {"A", "C"}, "2 pendientes");
        row("delete every task: empty state", {"A #casa", "B #casa"}, "delete all", {}, "");
        row("add from the field: at the end", {"A", "B:p"}, "add", {"B:p", "A", "D #nueva"},
            "3 pendientes");
    }
    void afterAnAction()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, action);
        QFETCH(QStringList, shown);
        QFETCH(QString, count);
        makeView(stored);
        const QHash<QUuid, TaskRow *> before = rowsById();
        const QUuid id = stored.size() > 1 ? m_view->store().tasks().at(1).id : QUuid();
        TaskRow *row = m_view->listSection()->rowFor(id);
        if (action.startsWith("filter ")) {
            m_view->toggleTagFilter(action.mid(7), false);
        } else if (action == "done") {
            QTest::mouseClick(row->findChild<QWidget *>("doneMark"), Qt::LeftButton);
        } else if (action == "priority") {
            emit row->priorityToggled(id);
        } else if (action == "delete" || action == "delete twice") {
            emit row->deleteRequested(id);
            if (action == "delete twice")
                m_view->deleteTask(id);
        } else if (action == "delete all") {
            for (const TaskItem &task : QList<TaskItem>(m_view->store().tasks()))
                emit m_view->listSection()->rowFor(task.id)->deleteRequested(task.id);
        } else if (action == "add") {
            m_view->inputArea()->field()->setText(QStringLiteral("D #nueva"));
            QTest::keyClick(m_view->inputArea()->field(), Qt::Key_Return);
        }

        QStringList texts;
        for (const TaskRow *row : m_view->listSection()->rows())
            texts.append(describe(row->task()));
        QCOMPARE(texts, shown);
        verifyRowsKept(before);
        // Rows that left the list are gone from the screen too, not just from the order.
        const QList<TaskRow *> all = m_view->listSection()->findChildren<TaskRow *>();
        QCOMPARE(std::count_if(all.begin(), all.end(), [](TaskRow *r) { return r->isVisible(); }),
                 shown.size());
        QCOMPARE(m_view->header()->countCapsule()->isVisible(), !count.isEmpty());
        QCOMPARE(m_view->header()->countCapsule()->text(), count);
        // The empty state means no tasks at all; the tag strip, some tag in use.
        QCOMPARE(m_view->listSection()->isShowingEmptyState(), m_view->store().tasks().isEmpty());
        QCOMPARE(m_view->tagFilterBar()->isVisible(), !m_view->store().allTags().isEmpty());

        QStringList inStore, inFile;
        for (const TaskItem &task : m_view->store().tasks())
            inStore.append(describe(task));
        for (const TaskItem &task : storedTasks()) {
            inFile.append(describe(task));
            QCOMPARE(task.tags, extractTags(task.text));
        }
        QCOMPARE(inFile, inStore);
    }

    // An edit open on C while A above it is deleted is stored to C, and only to C, however
    // it ends; a row that leaves with its edit open stores it if its task is still there.
    void editStaysWithItsTask_data()
    {
        QTest::addColumn<QString>("end");
        QTest::newRow("by Return") << "Return";
        QTest::newRow("by leaving the field") << "focus";
        QTest::newRow("at quit") << "quit";
        QTest::newRow("the window goes away") << "destroy";
        QTest::newRow("its row filtered out: stored") << "filter";
        QTest::newRow("its task deleted: dropped") << "delete";
    }
    void editStaysWithItsTask()
    {
        QFETCH(QString, end);
        makeView({"A #uno", "B #dos", "C #tres"});
        const QUuid c = m_view->store().tasks().at(2).id;
        QPointer<TaskRow> rowC = m_view->listSection()->rowFor(c);
        QTest::mouseDClick(rowC, Qt::LeftButton, {}, QPoint(60, 15));
        QLineEdit *field = rowC->findChild<QLineEdit *>();
        QTRY_VERIFY(field->hasFocus());
        QSignalSpy edits(m_view->listSection(), &TaskListSection::textEdited);

        m_view->deleteTask(m_view->store().tasks().at(0).id);
        QCOMPARE(m_view->listSection()->rowFor(c), rowC);
        QVERIFY(field->hasFocus());
        field->setText(QStringLiteral("C cambiada #cuatro"));
        if (end == "Return")
            QTest::keyClick(field, Qt::Key_Return);
        else if (end == "focus")
            m_view->inputArea()->field()->setFocus();
        else if (end == "quit")
            m_view->commitOpenEdits();
        else if (end == "destroy")
            m_view.reset();
        else if (end == "filter")
            m_view->toggleTagFilter(QStringLiteral("dos"), false);
        else
            m_view->deleteTask(c);
        // A row that leaves hands its edit on after the update that took it away.
        QCoreApplication::processEvents();

        QCOMPARE(edits.count(), end == "delete" ? 0 : 1);
        QVERIFY(!rowC || !rowC->isEditing());
        const QList<TaskItem> stored = storedTasks();
        QCOMPARE(stored.size(), end == "delete" ? 1 : 2);
        QCOMPARE(stored.at(0).text, QStringLiteral("B #dos"));
        QCOMPARE(stored.at(0).tags, QStringList{"dos"});
        if (end != "delete") {
            QCOMPARE(stored.at(1).id, c);
            QCOMPARE(stored.at(1).text, QStringLiteral("C cambiada #cuatro"));
            QCOMPARE(stored.at(1).tags, QStringList{"cuatro"});
        }
    }

    void backgroundFollowsAppearance_data()
    {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<int>("grey");
        QTest::newRow("light") << QColor(239, 239, 239) << qRound(0.98 * 255);
        QTest::newRow("dark") << QColor(30, 30, 30) << qRound(0.07 * 255);
    }
    void backgroundFollowsAppearance()
    {
        QFETCH(QColor, window);
        QFETCH(int, grey);
        makeView({});
        QPalette palette = m_view->palette();
        palette.setColor(QPalette::Window, window);
        m_view->setPalette(palette);
        // The left edge of the list section, away from any drawing but the background.
        const QColor pixel = m_view->grab().toImage().pixelColor(2, m_view->height() / 2);
        QVERIFY2(qAbs(pixel.red() - grey) <= 1 && qAbs(pixel.green() - grey) <= 1 &&
                     qAbs(pixel.blue() - grey) <= 1,
                 qPrintable(pixel.name()));
    }
};

QTEST_MAIN(TestContentView)
#include "tst_contentview.moc"
