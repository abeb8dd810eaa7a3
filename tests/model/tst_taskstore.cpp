#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <memory>

namespace {

QByteArray record(const char *id, const QByteArray &text, bool isDone)
{
    return R"({"id":")" + QByteArray(id) + R"(","text":")" + text + R"(","isDone":)"
        + (isDone ? "true" : "false") + R"(,"isPriority":false,"tags":[]})";
}

const char *const firstId = "5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B";
const char *const secondId = "00000000-0000-4000-8000-000000000002";
const char *const thirdId = "00000000-0000-4000-8000-000000000003";

std::optional<QByteArray> storedDocument()
{
    return Preferences().tasksDocument();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString modeOf(const QString &path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return QString::number(info.st_mode & 07777, 8);
}

// The stored list as the file on disk holds it. QSettings shares one parsed copy of a file
// within a process, so the file is read under another name.
QByteArray documentOnDisk(const QString &file)
{
    const QString copy = file + u".copy"_qs;
    QFile::remove(copy);
    if (!QFile::copy(file, copy))
        return QByteArray();
    const QByteArray document =
        QSettings(copy, QSettings::IniFormat).value(Preferences::tasksKey).toByteArray();
    QFile::remove(copy);
    return document;
}

QStringList backupsIn(const QString &folder)
{
    return QDir(folder).entryList({u"unreadable-tasks-*.json"_qs}, QDir::Files, QDir::Name);
}

// Collects the Qt messages written while it lives, in place of printing them.
class MessageCapture
{
public:
    MessageCapture()
    {
        s_messages.clear();
        m_previous = qInstallMessageHandler(&MessageCapture::handler);
    }
    ~MessageCapture() { qInstallMessageHandler(m_previous); }

    QStringList messages() const { return s_messages; }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        s_messages.append(message);
    }

    static inline QStringList s_messages;
    QtMessageHandler m_previous = nullptr;
};

} // namespace

class TaskStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstStartWritesNothing();
    void loadedListIsSavedBackInNormalForm_data();
    void loadedListIsSavedBackInNormalForm();
    void unreadableListIsKeptAside();
    void everyStartKeepsItsOwnCopy();
    void oneFlagRewritesTheWholeDocument();
    void eachChangeIsSavedThenPublishedOnce();
    void changesOfRecordsThatAreGone();
    void removalTakesEveryRecordWithTheId();
    void allTags_data();
    void allTags();
    void allTagsFollowTheList();
    void failedSavesKeepTheListAndRetry();

private:
    QString folder() const { return m_home->path() + u"/lorvane"_qs; }

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

void TaskStoreTest::firstStartWritesNothing()
{
    Preferences preferences;
    TaskStore store(preferences);
    QVERIFY(store.tasks().isEmpty());
    QVERIFY(store.allTags().isEmpty());
    QVERIFY(!QFileInfo::exists(preferences.filePath()));
    QCOMPARE(storedDocument(), std::nullopt);

    store.append(TaskItem(u"pan #casa"_qs));
    QVERIFY(store.isSaved());
    QCOMPARE(storedDocument(), std::optional(TaskListCodec::encode(store.tasks())));
    QCOMPARE(TaskListCodec::decode(*storedDocument())->size(), 1);
}

void TaskStoreTest::loadedListIsSavedBackInNormalForm_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("normalForm");

    QTest::newRow("record without tags gets them written")
        << QByteArray(R"([{"id":"5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B","text":"pan #casa",)"
                      R"("isDone":true}])")
        << QByteArray(R"([{"id":"5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B","text":"pan #casa",)"
                      R"("isDone":true,"isPriority":false,"tags":["casa"]}])");
    QTest::newRow("lower-case id, spaces and an unknown member")
        << QByteArray("[ {\"id\" : \"5f1c2b9a-3d4e-4f60-8a7b-9c0d1e2f3a4b\", \"x\": [1],\n"
                      "  \"isDone\": false, \"text\": \"t\", \"tags\": null} ]")
        << "[" + record(firstId, "t", false) + "]";
    QTest::newRow("empty array") << QByteArray("[ ]") << QByteArray("[]");
}

void TaskStoreTest::loadedListIsSavedBackInNormalForm()
{
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, normalForm);

    QVERIFY(Preferences().setTasksDocument(stored));
    Preferences preferences;
    TaskStore store(preferences);
    QVERIFY(store.isSaved());
    QCOMPARE(TaskListCodec::encode(store.tasks()), normalForm);
    QCOMPARE(storedDocument(), std::optional(normalForm));
}

void TaskStoreTest::unreadableListIsKeptAside()
{
    const mode_t previousMask = ::umask(0);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });

    // One good record and one without its done flag: nothing of it loads.
    const QByteArray unreadable =
        "[" + record(firstId, "leche", false) + R"(,{"id":")" + secondId + R"(","text":"pan"}])";
    QVERIFY(Preferences().setTasksDocument(unreadable));

    Preferences preferences;
    std::unique_ptr<TaskStore> store;
    QStringList messages;
    {
        MessageCapture capture;
        store = std::make_unique<TaskStore>(preferences);
        messages = capture.messages();
    }
    QVERIFY(store->tasks().isEmpty());
    QCOMPARE(storedDocument(), std::optional(unreadable));

    const QStringList backups = backupsIn(folder());
    QCOMPARE(backups.size(), 1);
    const QString backup = folder() + u'/' + backups.first();
    QCOMPARE(readFile(backup), unreadable);
    QCOMPARE(modeOf(backup), u"600"_qs);
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().contains(backup), qPrintable(messages.first()));

    // The first change replaces the stored list; the copy stays as it was.
    {
        MessageCapture capture;
        store->append(TaskItem(u"nueva"_qs));
        QCOMPARE(capture.messages(), QStringList());
    }
    QVERIFY(store->isSaved());
    QCOMPARE(TaskListCodec::decode(*storedDocument())->size(), 1);
    QCOMPARE(readFile(backup), unreadable);
    QCOMPARE(backupsIn(folder()), backups);
    QCOMPARE(modeOf(folder()), u"700"_qs);
    QCOMPARE(modeOf(preferences.filePath()), u"600"_qs);
}

void TaskStoreTest::everyStartKeepsItsOwnCopy()
{
    const QByteArray unreadable = "{\"not\":\"a list\"}";
    QVERIFY(Preferences().setTasksDocument(unreadable));

    // Started three times before anything changed: three copies, none overwritten.
    for (int start = 1; start <= 3; ++start) {
        MessageCapture capture;
        Preferences preferences;
        TaskStore store(preferences);
        QVERIFY(store.tasks().isEmpty());
        QCOMPARE(backupsIn(folder()).size(), start);
    }
    for (const QString &backup : backupsIn(folder()))
        QCOMPARE(readFile(folder() + u'/' + backup), unreadable);
}

void TaskStoreTest::oneFlagRewritesTheWholeDocument()
{
    const QByteArray before = "[" + record(firstId, "uno #a", false) + ","
        + record(secondId, "dos", false) + "," + record(thirdId, "tres", true) + "]";
    QVERIFY(Preferences().setTasksDocument(before));

    Preferences preferences;
    TaskStore store(preferences);
    TaskItem second = store.tasks().at(1);
    second.isDone = true;
    QVERIFY(store.replaceTask(second));

    const QByteArray after = "[" + record(firstId, "uno #a", false) + ","
        + record(secondId, "dos", true) + "," + record(thirdId, "tres", true) + "]";
    QCOMPARE(documentOnDisk(preferences.filePath()), after);
}

void TaskStoreTest::eachChangeIsSavedThenPublishedOnce()
{
    Preferences preferences;
    TaskStore store(preferences);
    QStringList events;
    connect(&store, &TaskStore::aboutToChange, this, [&] {
        events.append(u"about to change, %1 tasks"_qs.arg(store.tasks().size()));
    });
    connect(&store, &TaskStore::tasksChanged, this, [&] {
        const bool saved = storedDocument() == TaskListCodec::encode(store.tasks());
        events.append(u"changed, %1 tasks, %2"_qs.arg(store.tasks().size())
                          .arg(saved ? u"saved"_qs : u"not saved"_qs));
    });

    const TaskItem task(u"uno"_qs);
    store.append(task);
    store.setTasks({task, TaskItem(u"dos"_qs)});
    TaskItem changed = task;
    changed.isPriority = true;
    QVERIFY(store.replaceTask(changed));
    QVERIFY(store.removeTask(task.id));

    QCOMPARE(events, QStringList({
                         u"about to change, 0 tasks"_qs,
                         u"changed, 1 tasks, saved"_qs,
                         u"about to change, 1 tasks"_qs,
                         u"changed, 2 tasks, saved"_qs,
                         u"about to change, 2 tasks"_qs,
                         u"changed, 2 tasks, saved"_qs,
                         u"about to change, 2 tasks"_qs,
                         u"changed, 1 tasks, saved"_qs,
                     }));
    QCOMPARE(store.tasks().first().text, u"dos"_qs);
}

void TaskStoreTest::changesOfRecordsThatAreGone()
{
    Preferences preferences;
    TaskStore store(preferences);
    store.append(TaskItem(u"uno"_qs));
    const QByteArray saved = *storedDocument();
    QSignalSpy about(&store, &TaskStore::aboutToChange);
    QSignalSpy changed(&store, &TaskStore::tasksChanged);

    const TaskItem stranger(u"otro"_qs);
    QCOMPARE(store.indexOf(stranger.id), -1);
    QVERIFY(!store.removeTask(stranger.id));
    QVERIFY(!store.replaceTask(stranger));

    QCOMPARE(about.count(), 0);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(store.tasks().size(), 1);
    QCOMPARE(storedDocument(), std::optional(saved));
}

void TaskStoreTest::removalTakesEveryRecordWithTheId()
{
    const QByteArray stored = "[" + record(firstId, "uno", false) + ","
        + record(secondId, "dos", false) + "," + record(firstId, "copia", true) + "]";
    QVERIFY(Preferences().setTasksDocument(stored));
    Preferences preferences;
    TaskStore store(preferences);
    QCOMPARE(store.indexOf(QUuid::fromString(QLatin1String(secondId))), 1);

    QVERIFY(store.removeTask(QUuid::fromString(QLatin1String(firstId))));
    QCOMPARE(storedDocument(), std::optional("[" + record(secondId, "dos", false) + "]"));
}

void TaskStoreTest::allTags_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QList<QStringList>>("tagsPerTask");
    QTest::addColumn<QStringList>("allTags");

    const QLocale spanish(QLocale::Spanish, QLocale::Spain);
    const QLocale english(QLocale::English, QLocale::UnitedStates);

    QTest::newRow("accented initials among the others, cases mixed")
        << spanish
        << QList<QStringList>{{u"Zeta"_qs, u"árbol"_qs}, {u"Casa"_qs, u"bote"_qs},
                              {u"éxito"_qs, u"casa"_qs}}
        << QStringList{u"árbol"_qs, u"bote"_qs, u"Casa"_qs, u"éxito"_qs, u"Zeta"_qs};
    QTest::newRow("Spanish puts ñ after n")
        << spanish << QList<QStringList>{{u"oso"_qs, u"ñu"_qs, u"nube"_qs}}
        << QStringList{u"nube"_qs, u"ñu"_qs, u"oso"_qs};
    QTest::newRow("English sorts ñ with n")
        << english << QList<QStringList>{{u"oso"_qs, u"ñu"_qs, u"nube"_qs}}
        << QStringList{u"ñu"_qs, u"nube"_qs, u"oso"_qs};
    QTest::newRow("spelled as in the first record")
        << spanish << QList<QStringList>{{u"Casa"_qs}, {u"CASA"_qs, u"casa"_qs}}
        << QStringList{u"Casa"_qs};
    QTest::newRow("tag repeated in one record")
        << spanish << QList<QStringList>{{u"a"_qs, u"A"_qs, u"a"_qs}} << QStringList{u"a"_qs};
    QTest::newRow("no tags anywhere")
        << spanish << QList<QStringList>{{}, {}} << QStringList();
    QTest::newRow("equal for the collation, list order kept")
        << spanish << QList<QStringList>{{u"b"_qs, u"Ａ"_qs}, {u"a"_qs}}
        << QStringList{u"Ａ"_qs, u"a"_qs, u"b"_qs};
    QTest::newRow("equal for the collation, other list order kept")
        << spanish << QList<QStringList>{{u"a"_qs, u"b"_qs}, {u"Ａ"_qs}}
        << QStringList{u"a"_qs, u"Ａ"_qs, u"b"_qs};
}

void TaskStoreTest::allTags()
{
    QFETCH(QLocale, locale);
    QFETCH(QList<QStringList>, tagsPerTask);
    QFETCH(QStringList, allTags);

    QLocale::setDefault(locale);
    Preferences preferences;
    TaskStore store(preferences);
    QList<TaskItem> tasks;
    for (const QStringList &tags : tagsPerTask) {
        TaskItem task(u"tarea"_qs);
        task.tags = tags;
        tasks.append(task);
    }
    store.setTasks(tasks);
    QCOMPARE(store.allTags(), allTags);
}

void TaskStoreTest::allTagsFollowTheList()
{
    Preferences preferences;
    TaskStore store(preferences);
    const TaskItem first(u"uno #casa #Zeta"_qs);
    const TaskItem second(u"dos #CASA"_qs);
    store.setTasks({first, second});
    QCOMPARE(store.allTags(), QStringList({u"casa"_qs, u"Zeta"_qs}));

    QVERIFY(store.removeTask(first.id));
    QCOMPARE(store.allTags(), QStringList{u"CASA"_qs});
    QVERIFY(store.removeTask(second.id));
    QCOMPARE(store.allTags(), QStringList());
}

void TaskStoreTest::failedSavesKeepTheListAndRetry()
{
    Preferences preferences;
    TaskStore store(preferences);
    store.append(TaskItem(u"uno"_qs));
    QVERIFY(store.isSaved());

    // A plain file where the folder belongs refuses every write, also for root.
    const QString moved = folder() + u".moved"_qs;
    QVERIFY(QDir().rename(folder(), moved));
    QFile blocker(folder());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    for (int attempt = 1; attempt <= 2; ++attempt) {
        MessageCapture capture;
        store.append(TaskItem(u"más"_qs));
        QVERIFY(!store.isSaved());
        QCOMPARE(capture.messages().size(), 1);
        QVERIFY(capture.messages().first().contains(preferences.filePath()));
    }
    QCOMPARE(store.tasks().size(), 3);

    QVERIFY(QFile::remove(folder()));
    QVERIFY(QDir().rename(moved, folder()));
    QCOMPARE(TaskListCodec::decode(documentOnDisk(preferences.filePath()))->size(), 1);

    {
        MessageCapture capture;
        TaskItem first = store.tasks().first();
        first.isDone = true;
        QVERIFY(store.replaceTask(first));
        QCOMPARE(capture.messages(), QStringList());
    }
    QVERIFY(store.isSaved());

    // The disk holds every change, including the two that failed to save at first.
    QCOMPARE(documentOnDisk(preferences.filePath()), TaskListCodec::encode(store.tasks()));
    QCOMPARE(store.tasks().size(), 3);
}

QTEST_GUILESS_MAIN(TaskStoreTest)
#include "tst_taskstore.moc"
