// The task list on disk: the stored form read strictly and written in normal form, the store's
// write path over a real preferences file, the file's safety (private modes, copies of
// unreadable lists, failed saves, leftovers of a killed save), and changes another program
// makes to the file, merged by id.
#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "platform/FileChangeWatcher.h"
#include "platform/Preferences.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cstdio>
#include <optional>

namespace {

const QByteArray someId = "5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B";
const QByteArray fine = R"("text":"t","isDone":false)";

// A list of one record with this id and these members.
QByteArray one(const QByteArray &members, const QByteArray &id = someId)
{
    return R"([{"id":")" + id + R"(",)" + members + "}]";
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString modeOf(const QString &path)
{
    struct stat info {
    };
    ::stat(QFile::encodeName(path), &info);
    return QString::number(info.st_mode & 07777, 8);
}

int warningsDuring(const std::function<void()> &action)
{
    static int count;
    count = 0;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &) { ++count; });
    action();
    qInstallMessageHandler(previous);
    return count;
}

QByteArray stored()
{
    return Preferences().tasksDocument().value_or("(absent)");
}

// As another program would: a whole new file renamed over the old one.
bool replaceFile(const QString &file, const QByteArray &tasks)
{
    QSettings(file + u".new"_qs, QSettings::IniFormat).setValue(Preferences::tasksKey, tasks);
    return std::rename(QFile::encodeName(file + u".new"_qs), QFile::encodeName(file)) == 0;
}

// Texts, "+" for done.
QString texts(const QList<TaskItem> &tasks)
{
    QStringList texts;
    for (const TaskItem &task : tasks)
        texts.append(task.text + (task.isDone ? u"+"_qs : QString()));
    return texts.join(u' ');
}

QString textsAfterRestart()
{
    Preferences preferences;
    return texts(TaskStore(preferences).tasks());
}

} // namespace

class PersistenceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void reads_data();
    void reads();
    void unpairedSurrogatesBecomeReplacements();
    void storeSavesEachListWholeBeforeTellingOfIt();
    void allTags();
    void filesStayPrivateAndTidy_data();
    void filesStayPrivateAndTidy();
    void fullDiskKeepsEveryChangeInMemory();
    void watcherTellsOfEachKindOfWrite();
    void outsideChangesAreMerged_data();
    void outsideChangesAreMerged();

private:
    QString folder() const { return m_home->path() + u"/lorvane"_qs; }
    QString file() const { return folder() + u"/lorvane.conf"_qs; }
    QStringList copies() const { return QDir(folder()).entryList({u"unreadable-*"_qs}); }

    std::optional<QTemporaryDir> m_home;
    bool m_privateMounts = false;
};

void PersistenceTest::initTestCase()
{
    // A mount namespace of its own lets the full-disk test mount a tiny tmpfs no one else sees.
    if (::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0)
        m_privateMounts = ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

void PersistenceTest::init()
{
    m_home.emplace();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->path()));
}

void PersistenceTest::cleanup()
{
    ::umount2(QFile::encodeName(m_home->path()), MNT_DETACH);
    m_home.reset();
}

// Accepted documents are compared through the normal form they encode to, in which strings
// are written as QJsonDocument writes them; no normal form means the document is refused.
void PersistenceTest::reads_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QByteArray>("normalForm");
    const auto row = [](const char *name, const QByteArray &document, const QByteArray &normal) {
        QTest::newRow(name) << document << normal;
    };
    const QByteArray text = R"("text":"pan #Casa #casa","isDone":false)";
    const QByteArray normal = one(text + R"(,"isPriority":false,"tags":["Casa"])");
    const auto with = [&](const QByteArray &rest) {
        return QByteArray(normal).replace(R"(false,"tags":["Casa"])", rest);
    };
    const auto textOf = [](const QByteArray &raw) {
        return one("\"text\":\"" + raw + "\"," + fine.mid(11));
    };
    const auto asQtWrites = [](const QString &text) {
        const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
        return one("\"text\":" + array.mid(1, array.size() - 2) + "," + fine.mid(11) +
                   R"(,"isPriority":false,"tags":[])");
    };
    const QByteArray nil = "00000000-0000-0000-0000-000000000000";

    row("whitespace around an empty array", " \n[ ]\t", "[]");
    row("required members only: tags from the text", one(text), normal);
    row("priority and tags null", one(text + R"(,"isPriority":null,"tags":null)"), normal);
    row("empty tags stay empty", one(text + R"(,"isPriority":true,"tags":[])"),
        with(R"(true,"tags":[])"));
    row("tags kept as stored", one(text + R"(,"tags":["CASA","x","x",""])"),
        with(R"(false,"tags":["CASA","x","x",""])"));
    row("other order, unknown members and names in another case ignored",
        R"([{"tags":["Casa"],"X":1,"ISPRIORITY":true,)" + text + R"(,"id":")" + someId + "\"}]",
        normal);
    row("control characters",
        textOf(R"(\b\f\n\r\t\u0001\u001f)"
               "\x7f"),
        asQtWrites(u"\b\f\n\r\t\x01\x1f\x7f"_qs));
    row("quotes, backslashes, slash, non-ASCII", textOf(R"(\"a\" \\ \/ añadir \u2028 😀)"),
        asQtWrites(u"\"a\" \\ / añadir \u2028 😀"_qs));
    row("ids in lower case and nil",
        one(text, someId.toLower()).chopped(1) + "," + one(text, nil).mid(1),
        normal.chopped(1) + "," + QByteArray(normal).replace(someId, nil).mid(1));

    const QByteArray no;
    row("top level an object", one(fine).mid(1).chopped(1), no);
    row("element not an object", "[1]", no);
    row("missing id", R"([{"text":"t","isDone":false}])", no);
    row("missing text", one(R"("isDone":false)"), no);
    row("missing done flag", one(R"("text":"t")"), no);
    row("done flag null", one(R"("text":"t","isDone":null)"), no);
    row("string as priority", one(fine + R"(,"isPriority":"true")"), no);
    row("tags a string", one(fine + R"(,"tags":"casa")"), no);
    row("null inside tags", one(fine + R"(,"tags":["a",null])"), no);
    row("id in braces", one(fine, "{" + someId + "}"), no);
    row("a bad record after a good one", one(fine).chopped(1) + "," + one("\"x\":1").mid(1), no);
    row("byte order mark", "\xef\xbb\xbf[]", no);
    row("raw tab in a string", textOf("a\tb"), no);
    row("unknown escape", textOf(R"(\x41)"), no);
    row("unpaired high surrogate escape", textOf(R"(\ud83d)"), no);
    row("unpaired low surrogate escape", textOf(R"(\ude00x)"), no);
    row("number without fraction digits", one(fine + R"(,"x":1.)"), no);
    row("number without integer digits", one(fine + R"(,"x":.5)"), no);
}

void PersistenceTest::reads()
{
    QFETCH(QByteArray, document);
    QFETCH(QByteArray, normalForm);
    const std::optional<QList<TaskItem>> tasks = TaskListCodec::decode(document);
    QCOMPARE(tasks ? TaskListCodec::encode(*tasks) : QByteArray(), normalForm);
}

// JSON cannot carry an unpaired surrogate: it is written as U+FFFD, also when its partner
// starts the next string.
void PersistenceTest::unpairedSurrogatesBecomeReplacements()
{
    TaskItem task(u"a"_qs + QChar(0xD83D));
    task.tags = {QChar(0xDE00) + u"b"_qs, u"\\"_qs + QChar(0xDC00)};
    const TaskItem written = TaskListCodec::decode(TaskListCodec::encode({task})).value().at(0);
    QCOMPARE(written.text + u' ' + written.tags.join(u' '), u"a\uFFFD \uFFFDb \\\uFFFD"_qs);
}

// Each change rewrites the whole list and only then tells of it, once; a record that is gone
// is neither written nor told; removal takes every copy of an id.
void PersistenceTest::storeSavesEachListWholeBeforeTellingOfIt()
{
    Preferences preferences;
    TaskStore store(preferences);
    QList<QByteArray> told;
    connect(&store, &TaskStore::tasksChanged, this, [&] { told.append(stored()); });
    store.setTasks({TaskItem(u"uno"_qs), TaskItem(u"dos"_qs)});
    TaskItem dos = store.tasks().at(1);
    dos.isDone = true;
    QVERIFY(store.replaceTask(dos));
    QCOMPARE(told.size(), 2);
    QCOMPARE(told.last(), TaskListCodec::encode(store.tasks()));
    QVERIFY(told.last().contains(R"("text":"uno","isDone":false)") && told.last().contains("true"));
    QVERIFY(!store.replaceTask(TaskItem(u"otro"_qs)) && !store.removeTask(QUuid::createUuid()));
    store.append(dos);
    QVERIFY(store.removeTask(dos.id));
    QCOMPARE(told.size(), 4);

    // Another program writes two versions of the same size within one clock tick (the second
    // gets the first's time here): Qt's cached copy of the file would pass for the second.
    TaskItem uno = store.tasks().first();
    uno.text = u"UNO"_qs;
    QVERIFY(replaceFile(file(), TaskListCodec::encode({uno})) && stored().contains("UNO"));
    const QDateTime stamp = QFileInfo(file()).lastModified();
    uno.text = u"ONU"_qs;
    QFile version(file());
    QVERIFY(replaceFile(file(), TaskListCodec::encode({uno})) &&
            version.open(QIODevice::ReadOnly) &&
            version.setFileTime(stamp, QFileDevice::FileModificationTime));
    uno = store.tasks().first();
    uno.isDone = true;
    QVERIFY(store.replaceTask(uno));
    QCOMPARE(textsAfterRestart(), u"ONU+"_qs);
}

// One entry per tag, as first spelt, in the locale's order, equal entries in list order.
void PersistenceTest::allTags()
{
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    const auto restoreLocale = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
    Preferences preferences;
    TaskStore store(preferences);
    for (const QString &text :
         {u"#Zeta #árbol #ñu #b"_qs, u"#Casa #Ａ"_qs, u"#éxito #casa #nube #a"_qs})
        store.append(TaskItem(text));
    QCOMPARE(store.allTags().join(u' '), u"Ａ a árbol b Casa éxito nube ñu Zeta"_qs);
}

// What this program makes is private; what exists loses the access of others only (a folder
// the user made read-only stays so). Leftovers of a killed save go at start (Qt would wait 30 s
// on an empty lock); a backup the user made stays. An unreadable list (here written by hand, as
// text) gets a private copy, named in a warning, never over a file of the same name (files
// with the names of the next seconds' copies are there).
void PersistenceTest::filesStayPrivateAndTidy_data()
{
    QTest::addColumn<int>("folderMode"); // 0: no config home yet
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<QStringList>("made");
    QTest::addColumn<QString>("expected"); // file names and modes; the folder last

    const QString conf = u"lorvane.conf 600 lorvane.conf.backup 666 "_qs;
    QTest::newRow("no config home yet") << 0 << 0 << QStringList() << u"lorvane.conf 600 . 700"_qs;
    QTest::newRow("folder and file open to others")
        << 0777 << 0666 << QStringList() << conf + u". 700"_qs;
    QTest::newRow("read-only folder stays read-only")
        << 0555 << 0644 << QStringList() << conf + u". 500"_qs;
    QTest::newRow("leftovers of a killed save")
        << 0700 << 0600 << QStringList{u".next"_qs, u".next.lock"_qs, u".next.a1B2c3"_qs}
        << conf + u". 700"_qs;
    QTest::newRow("unreadable list")
        << 0700 << 0600 << QStringList{u"unreadable"_qs}
        << conf + u"unreadable-tasks-########T######Z-#.json 600 "_qs +
               u"unreadable-tasks-########T######Z.json 666 "_qs.repeated(3) + u". 700"_qs;
}

void PersistenceTest::filesStayPrivateAndTidy()
{
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QFETCH(QStringList, made);
    QFETCH(QString, expected);

    const mode_t previousMask = ::umask(0);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });
    QString listed = folder();
    if (folderMode == 0) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->path() + u"/new/config"_qs));
        listed = m_home->path() + u"/new/config/lorvane"_qs;
    } else if (made.contains(u"unreadable"_qs)) {
        QVERIFY(QDir().mkpath(folder()) &&
                writeFile(file(), "[General]\nlorvane.tasks=\"a mano\"\n"));
        for (int second = 0; second < 3; ++second) {
            const QDateTime time = QDateTime::currentDateTimeUtc().addSecs(second);
            QVERIFY(writeFile(
                folder() + time.toString(u"'/unreadable-tasks-'yyyyMMdd'T'HHmmss'Z.json'"_qs),
                "x"));
        }
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(u"copied to .*/unreadable-tasks-"_qs));
    } else {
        QVERIFY(Preferences().setTasksDocument(one(fine)));
        for (const QString &name : made)
            QVERIFY(writeFile(file() + name, ""));
    }
    if (folderMode) {
        QVERIFY(writeFile(file() + u".backup"_qs, ""));
        QVERIFY(::chmod(QFile::encodeName(file()), fileMode) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder()), folderMode) == 0);
    }
    Preferences preferences;
    QCOMPARE(QDir(listed).entryList({u"*.next*"_qs}, QDir::Files | QDir::Hidden), QStringList());
    TaskStore(preferences).append(TaskItem(u"leche"_qs));
    QStringList files;
    for (const QString &name :
         QDir(listed).entryList(QDir::Files | QDir::Hidden) + QStringList{u"."_qs})
        files << QString(name).replace(QRegularExpression(u"\\d"_qs), u"#"_qs)
              << modeOf(listed + u'/' + name);
    QCOMPARE(files.join(u' '), expected);
    QCOMPARE(textsAfterRestart(),
             folderMode && made.value(0) != u"unreadable" ? u"t leche"_qs : u"leche"_qs);
    if (folderMode == 0)
        QCOMPARE(modeOf(m_home->path() + u"/new"_qs) + modeOf(m_home->path() + u"/new/config"_qs),
                 u"700700"_qs);
}

// An unreadable list on a full disk is not overwritten before a copy exists; every change stays
// in memory with one warning; the whole list is saved once there is room, and the failed writes
// do not come back over what another program stored meanwhile.
void PersistenceTest::fullDiskKeepsEveryChangeInMemory()
{
    if (!m_privateMounts)
        QSKIP("a small tmpfs needs root in a mount namespace of its own");
    QCOMPARE(::mount("lorvane-test", QFile::encodeName(m_home->path()), "tmpfs", 0, "size=256k"),
             0);
    const QByteArray unreadable = one(R"("text":"pan")");
    QVERIFY(Preferences().setTasksDocument(unreadable));
    QFile filler(m_home->path() + u"/filler"_qs);
    const auto fillDisk = [&] {
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
        }
        filler.close();
    };

    fillDisk();
    Preferences preferences;
    std::optional<TaskStore> store;
    QCOMPARE(warningsDuring([&] { store.emplace(preferences); }), 1);
    QCOMPARE(warningsDuring([&] { store->append(TaskItem(u"uno"_qs)); }), 1);
    QCOMPARE(stored(), unreadable);
    QVERIFY(filler.remove());
    QCOMPARE(warningsDuring([&] { store->append(TaskItem(u"dos"_qs)); }), 1); // the copy
    QCOMPARE(copies().size(), 1);

    QVERIFY(preferences.setTimerMinutes(5));
    fillDisk();
    const QByteArray fileBefore = readFile(file());
    TaskItem first = store->tasks().first();
    first.isDone = true;
    QCOMPARE(warningsDuring([&] { store->replaceTask(first); }), 1);
    QCOMPARE(warningsDuring([&] { store->append(TaskItem(u"tres"_qs)); }), 1);
    QCOMPARE(readFile(file()), fileBefore);

    QVERIFY(filler.remove());
    QList<TaskItem> theirs = TaskListCodec::decode(stored()).value();
    theirs.append(TaskItem(u"cinco"_qs));
    QVERIFY(replaceFile(file(), TaskListCodec::encode(theirs))); // and no interval
    store->append(TaskItem(u"cuatro"_qs));
    QCOMPARE(textsAfterRestart(), u"uno+ dos cinco tres cuatro"_qs);
    QCOMPARE(preferences.storedTimerMinutes(), 0);
}

// Once armed (it tells that once), the watcher tells of a file made by a rename, replaced by
// one while a reader holds the old file open (so that its watch lives on, useless), and then
// written in place.
void PersistenceTest::watcherTellsOfEachKindOfWrite()
{
    QVERIFY(QDir().mkpath(folder()));
    FileChangeWatcher watcher(file());
    QSignalSpy told(&watcher, &FileChangeWatcher::changed);
    QTRY_COMPARE(told.size(), 1);
    QVERIFY(replaceFile(file(), "[]"));
    QTRY_COMPARE(told.size(), 2);
    QFile reader(file());
    QVERIFY(reader.open(QIODevice::ReadOnly) && replaceFile(file(), "[ ]"));
    QTRY_COMPARE(told.size(), 3);
    QFile inPlace(file());
    QVERIFY(inPlace.open(QIODevice::Append) && inPlace.write("\n") == 1);
    inPlace.close();
    QTRY_COMPARE(told.size(), 4);
}

// Another program replaces the file while the store holds "uno dos": it adds "tres", deletes
// "uno", edits it to "UNO", or writes no list at all. Then this side adds "cuatro", deletes a
// task, toggles "uno" or edits it to "uno!", and the save merges by id. In the watched rows the
// store takes the outside change in first, as soon as it sees it.
void PersistenceTest::outsideChangesAreMerged_data()
{
    QTest::addColumn<QString>("outside");
    QTest::addColumn<QString>("inside");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("watched");
    const auto row = [](const char *name, const char *outside, const char *inside,
                        const char *expected, bool watched = false) {
        QTest::newRow(name) << QString::fromUtf8(outside) << QString::fromUtf8(inside)
                            << QString::fromUtf8(expected) << watched;
    };

    row("added there and here", "add tres", "add cuatro", "uno dos tres cuatro");
    row("added there, deleted here", "add tres", "delete uno", "dos tres");
    row("added there, toggled here", "add tres", "toggle uno", "uno+ dos tres");
    row("added there, edited here", "add tres", "edit uno", "uno! dos tres");
    row("deleted there, added here", "delete uno", "add cuatro", "dos cuatro");
    row("deleted there, the other deleted here", "delete uno", "delete dos", "");
    row("deleted there, toggled here: stays deleted", "delete uno", "toggle uno", "dos");
    row("deleted there, edited here: stays deleted", "delete uno", "edit uno", "dos");
    row("edited there, added here", "edit uno", "add cuatro", "UNO dos cuatro");
    row("edited there, deleted here: stays deleted", "edit uno", "delete uno", "dos");
    row("edited there, toggled here: both kept", "edit uno", "toggle uno", "UNO+ dos");
    row("edited on both sides: this side's text", "edit uno", "edit uno", "uno! dos");
    row("unreadable there: copied aside, overwritten", "unreadable", "add cuatro",
        "uno dos cuatro");
    row("seen by the watcher, then added here", "add tres", "add cuatro", "uno dos tres cuatro",
        true);
    row("unreadable, seen by the watcher", "unreadable", "toggle uno", "uno+ dos", true);
    row("made there while none was stored", "first", "add cuatro", "tres cuatro", true);
}

void PersistenceTest::outsideChangesAreMerged()
{
    QFETCH(QString, outside);
    QFETCH(QString, inside);
    QFETCH(QString, expected);
    QFETCH(bool, watched);

    QVERIFY(QDir().mkpath(folder()));
    Preferences preferences;
    TaskStore store(preferences);
    if (outside != u"first")
        store.setTasks({TaskItem(u"uno"_qs), TaskItem(u"dos"_qs)});
    QList<TaskItem> theirs = store.tasks();
    if (outside == u"add tres" || outside == u"first")
        theirs.append(TaskItem(u"tres"_qs));
    else if (outside == u"delete uno")
        theirs.removeFirst();
    else if (outside == u"edit uno")
        theirs.first().text = u"UNO"_qs;
    const bool isUnreadable = outside == u"unreadable";
    const QByteArray document = isUnreadable ? "no es JSON" : TaskListCodec::encode(theirs);
    QVERIFY(replaceFile(file(), document));
    if (isUnreadable)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"copied to"_qs));

    QSignalSpy told(&store, &TaskStore::tasksChanged);
    if (watched)
        QTRY_VERIFY(told.size() + copies().size() == 1);
    TaskItem uno = store.tasks().first();
    uno.isDone = uno.isDone || inside == u"toggle uno";
    uno.text = inside == u"edit uno" ? u"uno!"_qs : uno.text;
    if (inside == u"add cuatro")
        store.append(TaskItem(u"cuatro"_qs));
    else if (inside.startsWith(u"delete"))
        store.removeTask(store.tasks().at(inside.endsWith(u"uno") ? 0 : 1).id);
    else
        store.replaceTask(uno);
    QCOMPARE(texts(store.tasks()), expected);
    QCOMPARE(textsAfterRestart(), expected);
    QCOMPARE(copies().size(), isUnreadable ? 1 : 0);
    if (isUnreadable)
        QCOMPARE(readFile(folder() + u'/' + copies().first()), document);
}

QTEST_GUILESS_MAIN(PersistenceTest)
#include "tst_persistence.moc"
