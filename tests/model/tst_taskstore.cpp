// The task store over a real preferences file: a loaded list is saved straight back in
// normal form, any change rewrites the whole document before it is announced, an unreadable
// list is copied aside on every start without replacing any file, changes by id touch every
// record with that id and nothing else, and allTags() sorts by the current locale.
// Permissions and failed saves are covered in tst_filesafety, hostile documents in
// tst_hostiledocuments.
#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "platform/Preferences.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const char *const firstId = "5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B";
const char *const secondId = "00000000-0000-4000-8000-000000000002";
const char *const thirdId = "00000000-0000-4000-8000-000000000003";

QByteArray record(const char *id, const QByteArray &text, bool isDone)
{
    return R"({"id":")" + QByteArray(id) + R"(","text":")" + text + R"(","isDone":)" +
           (isDone ? "true" : "false") + R"(,"isPriority":false,"tags":[]})";
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The stored list as the file on disk holds it. QSettings shares one parsed copy of a file
// within a process, so the file is read under another name.
QByteArray documentOnDisk()
{
    const QString copy = Preferences().filePath() + u".copy"_qs;
    QFile::remove(copy);
    if (!QFile::copy(Preferences().filePath(), copy))
        return QByteArray();
    const QByteArray document =
        QSettings(copy, QSettings::IniFormat).value(Preferences::tasksKey).toByteArray();
    QFile::remove(copy);
    return document;
}

} // namespace

class TaskStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadedListIsSavedBackAndRewrittenWhole();
    void unreadableListIsKeptAsideOnEveryStart();
    void eachChangeIsSavedThenPublishedOnce();
    void allTags_data();
    void allTags();

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

void TaskStoreTest::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->path()));
}

void TaskStoreTest::cleanup()
{
    QLocale::setDefault(QLocale::c());
    m_home.reset();
}

void TaskStoreTest::loadedListIsSavedBackAndRewrittenWhole()
{
    // Lower-case id, spaces, an unknown member, tags absent or null: written back in normal
    // form before anything changes.
    QVERIFY(Preferences().setTasksDocument(
        "[ {\"id\" : \"5f1c2b9a-3d4e-4f60-8a7b-9c0d1e2f3a4b\", \"x\": [1],\n"
        "  \"isDone\": false, \"text\": \"uno #a\"}," +
        record(secondId, "dos", false) + R"(,{"id":")" + thirdId +
        R"(","text":"tres","isDone":true,"tags":null}])"));
    Preferences preferences;
    TaskStore store(preferences);
    QVERIFY(store.isSaved());
    const QByteArray first = QByteArray(R"({"id":")") + firstId +
                             R"(","text":"uno #a","isDone":false,"isPriority":false,"tags":["a"]})";
    QCOMPARE(documentOnDisk(), "[" + first + "," + record(secondId, "dos", false) + "," +
                                   record(thirdId, "tres", true) + "]");

    // One flag changed: the whole document is written again.
    TaskItem second = store.tasks().at(1);
    second.isDone = true;
    QVERIFY(store.replaceTask(second));
    QCOMPARE(documentOnDisk(), "[" + first + "," + record(secondId, "dos", true) + "," +
                                   record(thirdId, "tres", true) + "]");
}

void TaskStoreTest::unreadableListIsKeptAsideOnEveryStart()
{
    // One good record and one without its done flag: nothing of it loads.
    const QByteArray unreadable =
        "[" + record(firstId, "leche", false) + R"(,{"id":")" + secondId + R"(","text":"pan"}])";
    QVERIFY(Preferences().setTasksDocument(unreadable));
    const QString folder = m_home->path() + u"/lorvane/"_qs;

    // Files already named like the copies of the next seconds are someone else's.
    QStringList others;
    for (int second = 0; second < 3; ++second) {
        others.append(
            u"unreadable-tasks-"_qs +
            QDateTime::currentDateTimeUtc().addSecs(second).toString(u"yyyyMMdd'T'HHmmss'Z'"_qs) +
            u".json"_qs);
        QFile other(folder + others.last());
        QVERIFY(other.open(QIODevice::WriteOnly) && other.write("other") == 5);
    }

    // Two starts before any change: a new copy each time, named in the one warning.
    QTest::failOnWarning(QRegularExpression(u"."_qs));
    Preferences preferences;
    std::unique_ptr<TaskStore> store;
    for (int start = 1; start <= 2; ++start) {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QRegularExpression::escape(folder) +
                                                u"unreadable-tasks-\\d{8}T\\d{6}Z.*\\.json"_qs));
        store = std::make_unique<TaskStore>(preferences);
        QVERIFY(store->tasks().isEmpty());
        QCOMPARE(QDir(folder).entryList({u"unreadable-*"_qs}).size(), others.size() + start);
    }
    for (const QString &name : QDir(folder).entryList({u"unreadable-*"_qs}))
        QCOMPARE(readFile(folder + name), others.contains(name) ? "other" : unreadable);
    QCOMPARE(documentOnDisk(), unreadable);

    // The first change replaces the stored list, without a warning.
    store->append(TaskItem(u"nueva"_qs));
    QVERIFY(store->isSaved());
    QCOMPARE(TaskListCodec::decode(documentOnDisk())->size(), 1);
}

void TaskStoreTest::eachChangeIsSavedThenPublishedOnce()
{
    Preferences preferences;
    TaskStore store(preferences);
    QStringList events;
    connect(&store, &TaskStore::aboutToChange, this,
            [&] { events.append(u"about to change, %1 tasks"_qs.arg(store.tasks().size())); });
    connect(&store, &TaskStore::tasksChanged, this, [&] {
        const bool saved = documentOnDisk() == TaskListCodec::encode(store.tasks());
        events.append(u"changed, %1 tasks, %2"_qs.arg(store.tasks().size())
                          .arg(saved ? u"saved"_qs : u"not saved"_qs));
    });

    const TaskItem task(u"uno"_qs);
    store.append(task);
    // A second record with the same id, as a hand-edited file may hold.
    TaskItem copy = task;
    copy.text = u"copia"_qs;
    store.setTasks({task, TaskItem(u"dos"_qs), copy});
    TaskItem changed = task;
    changed.isPriority = true;
    QVERIFY(store.replaceTask(changed));
    // Records that are gone: nothing is written or announced.
    const TaskItem stranger(u"otro"_qs);
    QVERIFY(!store.removeTask(stranger.id));
    QVERIFY(!store.replaceTask(stranger));
    // Removal takes every record with the id.
    QVERIFY(store.removeTask(task.id));

    QCOMPARE(events, QStringList({
                         u"about to change, 0 tasks"_qs,
                         u"changed, 1 tasks, saved"_qs,
                         u"about to change, 1 tasks"_qs,
                         u"changed, 3 tasks, saved"_qs,
                         u"about to change, 3 tasks"_qs,
                         u"changed, 3 tasks, saved"_qs,
                         u"about to change, 3 tasks"_qs,
                         u"changed, 1 tasks, saved"_qs,
                     }));
    QCOMPARE(store.tasks().first().text, u"dos"_qs);
}

void TaskStoreTest::allTags_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("allTags");

    const QLocale spanish(QLocale::Spanish, QLocale::Spain);
    QTest::newRow("Spanish: accented initials among the others, first spelling kept")
        << spanish << QStringList{u"#Zeta #árbol"_qs, u"#Casa #bote"_qs, u"#éxito #casa"_qs}
        << QStringList{u"árbol"_qs, u"bote"_qs, u"Casa"_qs, u"éxito"_qs, u"Zeta"_qs};
    QTest::newRow("Spanish puts ñ after n") << spanish << QStringList{u"#oso #ñu #nube"_qs}
                                            << QStringList{u"nube"_qs, u"ñu"_qs, u"oso"_qs};
    QTest::newRow("English sorts ñ with n")
        << QLocale(QLocale::English, QLocale::UnitedStates) << QStringList{u"#oso #ñu #nube"_qs}
        << QStringList{u"ñu"_qs, u"nube"_qs, u"oso"_qs};
    QTest::newRow("equal for the collation, list order kept")
        << spanish << QStringList{u"#b #Ａ"_qs, u"#a"_qs}
        << QStringList{u"Ａ"_qs, u"a"_qs, u"b"_qs};
}

void TaskStoreTest::allTags()
{
    QFETCH(QLocale, locale);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, allTags);

    QLocale::setDefault(locale);
    Preferences preferences;
    TaskStore store(preferences);
    QList<TaskItem> tasks;
    for (const QString &text : texts)
        tasks.append(TaskItem(text));
    store.setTasks(tasks);
    QCOMPARE(store.allTags(), allTags);
}

QTEST_GUILESS_MAIN(TaskStoreTest)
#include "tst_taskstore.moc"
