// The window's content as a whole: what the list shows, in which order, and that every
// action reaches the right task in the store and the preferences file.

#include "model/TaskListCodec.h"
#include "platform/Preferences.h"
#include "toolkit/Motion.h"
#include "views/ContentView.h"
#include "views/TagFilterBar.h"
#include "views/TaskListSection.h"
#include "views/TaskRow.h"

#include <QApplication>
#include <QLineEdit>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Builds stored records from a compact description: "A:p" is a priority task, "B:d" a
// done one, "C:pd" both; tags follow in the text.
QList<TaskItem> makeTasks(const QStringList &descriptions)
{
    QList<TaskItem> tasks;
    for (const QString &description : descriptions) {
        const QString name = description.section(QLatin1Char(':'), 0, 0);
        const QString flags = description.section(QLatin1Char(':'), 1, 1);
        TaskItem task(name);
        task.isPriority = flags.contains(QLatin1Char('p'));
        task.isDone = flags.contains(QLatin1Char('d'));
        tasks.append(task);
    }
    return tasks;
}

QStringList textsInOrder(const ContentView &view)
{
    QStringList texts;
    for (int position : view.filteredIndices())
        texts.append(const_cast<ContentView &>(view).store().tasks().at(position).text);
    return texts;
}

QStringList rowTexts(ContentView &view)
{
    QStringList texts;
    for (TaskRow *row : view.listSection()->rows()) {
        const int position = view.store().indexOf(row->taskId());
        texts.append(position < 0 ? QStringLiteral("<gone>")
                                  : view.store().tasks().at(position).text);
    }
    return texts;
}

} // namespace

class TestContentView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void orderAndFilter_data();
    void orderAndFilter();
    void pendingCountIgnoresFilter();
    void flaggingMovesTheRow();
    void deletingKeepsOrderAndSaves();
    void deletingAGoneTaskChangesNothing();
    void editSurvivesDeletionAbove();
    void openEditIsKeptAtQuit();
    void emptyStateVersusEmptyFilteredList();
    void tagStripFollowsTagsInUse();
    void filterSurvivesLossOfItsTag();
    void addingAppendsAtTheEnd();
    void backgroundFollowsAppearance_data();
    void backgroundFollowsAppearance();

private:
    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<ContentView> m_view;

    void makeView(const QList<TaskItem> &stored);
    QList<TaskItem> storedTasks() const;
};

void TestContentView::init()
{
    Motion::setAnimationsEnabled(false);
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
    m_preferences = std::make_unique<Preferences>();
}

void TestContentView::cleanup()
{
    m_view.reset();
    m_preferences.reset();
    m_config.reset();
}

void TestContentView::makeView(const QList<TaskItem> &stored)
{
    if (!stored.isEmpty())
        QVERIFY(m_preferences->setTasksDocument(TaskListCodec::encode(stored)));
    m_view = std::make_unique<ContentView>(*m_preferences);
    m_view->resize(320, 720);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

QList<TaskItem> TestContentView::storedTasks() const
{
    // A second Preferences reads the file the store wrote.
    Preferences reader;
    const auto document = reader.tasksDocument();
    if (!document)
        return {};
    return TaskListCodec::decode(*document).value_or(QList<TaskItem>{});
}

void TestContentView::orderAndFilter_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("priority first, done keeps its place")
        << QStringList{"A", "B:p", "C:pd", "D"} << QString()
        << QStringList{"B:p", "C:pd", "A", "D"};
    QTest::newRow("no priority keeps store order")
        << QStringList{"A:d", "B", "C"} << QString() << QStringList{"A:d", "B", "C"};
    QTest::newRow("filter keeps priority first")
        << QStringList{"A #casa", "B #trabajo:p", "C #casa:p", "D #Casa"} << QStringLiteral("casa")
        << QStringList{"C #casa:p", "A #casa", "D #Casa"};
    QTest::newRow("filter compares without case")
        << QStringList{"A #compras", "B #Compras"} << QStringLiteral("COMPRAS")
        << QStringList{"A #compras", "B #Compras"};
    QTest::newRow("filter on a tag nobody carries")
        << QStringList{"A #casa"} << QStringLiteral("nada") << QStringList{};
}

void TestContentView::orderAndFilter()
{
    QFETCH(QStringList, stored);
    QFETCH(QString, filter);
    QFETCH(QStringList, shown);

    makeView(makeTasks(stored));
    if (!filter.isEmpty())
        m_view->toggleTagFilter(filter, false);

    QStringList expected;
    for (const QString &description : shown)
        expected.append(description.section(QLatin1Char(':'), 0, 0));
    QCOMPARE(textsInOrder(*m_view), expected);
    QCOMPARE(rowTexts(*m_view), expected);

    // Rows that left the list are gone from the screen too, not just from the order.
    const QList<TaskRow *> all = m_view->listSection()->findChildren<TaskRow *>();
    const auto visible = std::count_if(all.begin(), all.end(),
                                       [](TaskRow *row) { return row->isVisible(); });
    QCOMPARE(int(visible), int(expected.size()));
}

void TestContentView::pendingCountIgnoresFilter()
{
    makeView(makeTasks({"A #casa", "B #trabajo", "C #casa:d", "D"}));
    QCOMPARE(m_view->pendingCount(), 3);
    m_view->toggleTagFilter(QStringLiteral("casa"), false);
    QCOMPARE(m_view->filteredIndices().size(), 2);
    QCOMPARE(m_view->pendingCount(), 3);
}

void TestContentView::flaggingMovesTheRow()
{
    makeView(makeTasks({"A:p", "B", "C", "D"}));
    TaskRow *rowD = m_view->listSection()->rows().last();
    emit rowD->priorityToggled(rowD->taskId());
    QCOMPARE(rowTexts(*m_view), (QStringList{"A", "D", "B", "C"}));
    QCOMPARE(m_view->listSection()->rowFor(rowD->taskId()), rowD);

    emit rowD->priorityToggled(rowD->taskId());
    QCOMPARE(rowTexts(*m_view), (QStringList{"A", "B", "C", "D"}));
    QCOMPARE(storedTasks().at(3).isPriority, false);
}

void TestContentView::deletingKeepsOrderAndSaves()
{
    makeView(makeTasks({"A", "B", "C"}));
    const QUuid b = m_view->store().tasks().at(1).id;
    m_view->deleteTask(b);
    QCOMPARE(rowTexts(*m_view), (QStringList{"A", "C"}));
    const QList<TaskItem> stored = storedTasks();
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored.at(0).text, QStringLiteral("A"));
    QCOMPARE(stored.at(1).text, QStringLiteral("C"));
}

void TestContentView::deletingAGoneTaskChangesNothing()
{
    makeView(makeTasks({"A", "B"}));
    const QUuid a = m_view->store().tasks().at(0).id;
    m_view->deleteTask(a);
    m_view->deleteTask(a);
    m_view->deleteTask(QUuid::createUuid());
    QCOMPARE(rowTexts(*m_view), QStringList{"B"});
}

void TestContentView::editSurvivesDeletionAbove()
{
    makeView(makeTasks({"A #uno", "B #dos", "C #tres"}));
    const QUuid a = m_view->store().tasks().at(0).id;
    const QUuid c = m_view->store().tasks().at(2).id;
    TaskRow *rowC = m_view->listSection()->rowFor(c);
    QVERIFY(rowC);
    rowC->startEditing();
    QLineEdit *field = rowC->findChild<QLineEdit *>();
    QVERIFY(field);
    QCOMPARE(field->text(), QStringLiteral("C #tres"));

    // The task above the edited one goes away while the field is open.
    m_view->deleteTask(a);
    QCOMPARE(m_view->listSection()->rowFor(c), rowC);

    field->setText(QStringLiteral("C cambiada #cuatro"));
    QTest::keyClick(field, Qt::Key_Return);

    const QList<TaskItem> stored = storedTasks();
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored.at(0).text, QStringLiteral("B #dos"));
    QCOMPARE(stored.at(0).tags, QStringList{"dos"});
    QCOMPARE(stored.at(1).id, c);
    QCOMPARE(stored.at(1).text, QStringLiteral("C cambiada #cuatro"));
    QCOMPARE(stored.at(1).tags, QStringList{"cuatro"});
}

void TestContentView::openEditIsKeptAtQuit()
{
    makeView(makeTasks({"A", "B"}));
    TaskRow *row = m_view->listSection()->rows().at(1);
    row->startEditing();
    row->findChild<QLineEdit *>()->setText(QStringLiteral("B editada"));
    m_view->commitOpenEdits();
    QCOMPARE(storedTasks().at(1).text, QStringLiteral("B editada"));
    QVERIFY(!row->isEditing());
}

void TestContentView::emptyStateVersusEmptyFilteredList()
{
    makeView({});
    QVERIFY(m_view->listSection()->isShowingEmptyState());

    m_view->addTask(QStringLiteral("Algo #casa"));
    QVERIFY(!m_view->listSection()->isShowingEmptyState());

    m_view->toggleTagFilter(QStringLiteral("otra"), false);
    QVERIFY(m_view->filteredIndices().isEmpty());
    QVERIFY(!m_view->listSection()->isShowingEmptyState());
    QVERIFY(m_view->listSection()->rows().isEmpty());

    m_view->deleteTask(m_view->store().tasks().at(0).id);
    QVERIFY(m_view->listSection()->isShowingEmptyState());
}

void TestContentView::tagStripFollowsTagsInUse()
{
    makeView(makeTasks({"Sin etiqueta"}));
    QVERIFY(!m_view->tagFilterBar()->isVisible());
    m_view->addTask(QStringLiteral("Con #etiqueta"));
    QVERIFY(m_view->tagFilterBar()->isVisible());
    m_view->deleteTask(m_view->store().tasks().at(1).id);
    QVERIFY(!m_view->tagFilterBar()->isVisible());
}

void TestContentView::filterSurvivesLossOfItsTag()
{
    makeView(makeTasks({"A #casa", "B #trabajo"}));
    m_view->toggleTagFilter(QStringLiteral("casa"), false);
    m_view->deleteTask(m_view->store().tasks().at(0).id);
    QCOMPARE(m_view->selectedTag(), std::optional<QString>(QStringLiteral("casa")));
    QVERIFY(m_view->filteredIndices().isEmpty());

    // Another chip's click replaces the filter.
    m_view->toggleTagFilter(QStringLiteral("trabajo"), false);
    QCOMPARE(rowTexts(*m_view), QStringList{"B #trabajo"});
    m_view->toggleTagFilter(QStringLiteral("trabajo"), true);
    QVERIFY(!m_view->selectedTag());
}

void TestContentView::addingAppendsAtTheEnd()
{
    makeView(makeTasks({"A:p", "B"}));
    m_view->addTask(QStringLiteral("C #nueva"));
    const QList<TaskItem> stored = storedTasks();
    QCOMPARE(stored.size(), 3);
    QCOMPARE(stored.last().text, QStringLiteral("C #nueva"));
    QCOMPARE(stored.last().tags, QStringList{"nueva"});
    QCOMPARE(m_view->pendingCount(), 3);
}

void TestContentView::backgroundFollowsAppearance_data()
{
    QTest::addColumn<QColor>("window");
    QTest::addColumn<int>("grey");
    QTest::newRow("light") << QColor(239, 239, 239) << qRound(0.98 * 255);
    QTest::newRow("dark") << QColor(30, 30, 30) << qRound(0.07 * 255);
}

void TestContentView::backgroundFollowsAppearance()
{
    QFETCH(QColor, window);
    QFETCH(int, grey);
    makeView({});
    QPalette palette = m_view->palette();
    palette.setColor(QPalette::Window, window);
    m_view->setPalette(palette);
    const QImage image = m_view->grab().toImage();
    // A corner of the list section, away from any drawing but the background.
    const QColor pixel = image.pixelColor(2, image.height() / 2);
    QVERIFY2(qAbs(pixel.red() - grey) <= 1 && qAbs(pixel.green() - grey) <= 1
                 && qAbs(pixel.blue() - grey) <= 1,
             qPrintable(pixel.name()));
}

QTEST_MAIN(TestContentView)
#include "tst_contentview.moc"
