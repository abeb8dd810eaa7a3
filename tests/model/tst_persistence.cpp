// The task list on disk: its stored form, the store's write path over a real preferences file,
// the file's safety, and changes another program makes to the file, merged by id.
#include "model/RecoveryOffer.h"
#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "preferences/FileChangeWatcher.h"
#include "preferences/Preferences.h"
#include "preferences/SettingsText.h"
#include "support/FaultyCalls.h"

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

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>

using namespace std::chrono_literals;

namespace {

const QByteArray someId = "5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B";
const QByteArray fine = R"("text":"t","isDone":false)";

QByteArray listOf(const QByteArray &members, const QByteArray &id = someId)
{
    return R"([{"id":")" + id + R"(",)" + members + "}]";
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Owner, group and others as hex digits of Qt's permissions: "7000" is 0700.
QString modeOf(const QString &path)
{
    return QString::number(QFile::permissions(path) & 0x7077, 16);
}

QByteArray stored()
{
    return Preferences().tasksDocument().value_or("(absent)");
}

// As another program would: a whole new file renamed over the old one.
bool replaceFile(const QString &file, const QVariant &tasks)
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

// The file QSettings itself writes for these values, with a key of another section too.
QByteArray writtenByQSettings(const QString &path, const QByteArray &tasks, int minutes)
{
    QSettings qt(path, QSettings::IniFormat);
    qt.setValue(Preferences::tasksKey, tasks);
    qt.setValue(Preferences::timerMinutesKey, minutes);
    qt.setValue(u"Window/geometry"_qs, QByteArray("\x00\xff\x0a", 3));
    qt.sync();
    return readFile(path);
}

QString textsAfterRestart()
{
    Preferences preferences;
    return texts(TaskStore(preferences).tasks());
}

// A reason as the tables name it, in SaveError::Reason's order; "stored" for no problem.
QString problemOf(const TaskStore &store)
{
    static const char *const names[] = {"disk full", "read-only", "no permission", "busy", "other"};
    return QString::fromLatin1(store.saveProblem() ? names[int(store.saveProblem()->reason())]
                                                   : "stored");
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
    void storeSavesEachListWholeBeforeTellingOfIt();
    void allTags_data();
    void allTags();
    void settingsTextReadsAndWritesAsQSettings_data();
    void settingsTextReadsAndWritesAsQSettings();
    void filesStayPrivateAndTidy_data();
    void filesStayPrivateAndTidy();
    void failedSaveLeavesTheFileWhole_data();
    void failedSaveLeavesTheFileWhole();
    void diskFullAtEveryByteOfASave();
    void nearlyFullDiskNeverTearsTheFile();
    void symbolicLinksStayLinks_data();
    void symbolicLinksStayLinks();
    void twoProcessesSavingAtOnceKeepBoth();
    void whatIsOfferedAtStart_data();
    void whatIsOfferedAtStart();
    void watcherTellsOfEachKindOfWrite();
    void outsideChangesAreMerged_data();
    void outsideChangesAreMerged();

private:
    QString folder() const { return m_home->path() + u"/lorvane"_qs; }
    QString file() const { return folder() + u"/lorvane.conf"_qs; }
    QStringList copies() const { return QDir(folder()).entryList({u"unreadable-*"_qs}); }
    // Files other than the list and the lock: what a save left behind.
    QStringList leftovers(const QString &where) const
    {
        QStringList names = QDir(where).entryList(QDir::Files | QDir::Hidden | QDir::System);
        names.removeOne(u"lorvane.conf"_qs);
        names.removeOne(u"lorvane.lock"_qs);
        return names;
    }
    bool mountTmpfs(const QString &where, const char *size);
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
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_home->path() + u"/state"_qs));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_home->path() + u"/runtime"_qs));
}

bool PersistenceTest::mountTmpfs(const QString &where, const char *size)
{
    return QDir().mkpath(where) && ::mount("lorvane-test", QFile::encodeName(where), "tmpfs", 0,
                                           (QByteArray("size=") + size).constData()) == 0;
}

void PersistenceTest::cleanup()
{
    if (m_privateMounts) {
        for (const QString &mounted : {file(), folder(), m_home->path()})
            ::umount2(QFile::encodeName(mounted), MNT_DETACH);
    }
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
    const QByteArray normal = listOf(text + R"(,"isPriority":false,"tags":["Casa"])");
    const auto with = [&](const QByteArray &rest) {
        return QByteArray(normal).replace(R"(false,"tags":["Casa"])", rest);
    };
    const auto textOf = [](const QByteArray &raw) {
        return listOf("\"text\":\"" + raw + "\"," + fine.mid(11));
    };
    const auto asQtWrites = [](const QString &text) {
        const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
        return listOf("\"text\":" + array.mid(1, array.size() - 2) + "," + fine.mid(11) +
                      R"(,"isPriority":false,"tags":[])");
    };
    const QByteArray nil(QUuid().toByteArray(QUuid::WithoutBraces));
    row("whitespace around an empty array", " \n[ ]\t", "[]");
    row("required members only: tags from the text", listOf(text), normal);
    row("priority and tags null", listOf(text + R"(,"isPriority":null,"tags":null)"), normal);
    row("empty tags stay empty", listOf(text + R"(,"isPriority":true,"tags":[])"),
        with(R"(true,"tags":[])"));
    row("tags kept as stored", listOf(text + R"(,"tags":["CASA","x","x",""])"),
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
        listOf(text, someId.toLower()).chopped(1) + "," + listOf(text, nil).mid(1),
        normal.chopped(1) + "," + QByteArray(normal).replace(someId, nil).mid(1));
    const QByteArray no;
    row("top level an object", listOf(fine).mid(1).chopped(1), no);
    row("missing id", R"([{"text":"t","isDone":false}])", no);
    row("missing text", listOf(R"("isDone":false)"), no);
    row("missing done flag", listOf(R"("text":"t")"), no);
    row("string as priority", listOf(fine + R"(,"isPriority":"true")"), no);
    row("tags a string", listOf(fine + R"(,"tags":"casa")"), no);
    row("null inside tags", listOf(fine + R"(,"tags":["a",null])"), no);
    row("id in braces", listOf(fine, "{" + someId + "}"), no);
    row("a bad record after a good one", listOf(fine).chopped(1) + "," + listOf("\"x\":1").mid(1),
        no);
    row("byte order mark", "\xef\xbb\xbf[]", no);
    row("raw tab in a string", textOf("a\tb"), no);
    row("unknown escape", textOf(R"(\x41)"), no);
    row("unpaired high surrogate escape", textOf(R"(\ud83d)"), no);
    row("unpaired low surrogate escape", textOf(R"(\ude00x)"), no);
    row("number without fraction digits", listOf(fine + R"(,"x":1.)"), no);
}

void PersistenceTest::reads()
{
    QFETCH(QByteArray, document);
    QFETCH(QByteArray, normalForm);
    const std::optional<QList<TaskItem>> tasks = TaskListCodec::decode(document);
    QCOMPARE(tasks ? TaskListCodec::encode(*tasks) : QByteArray(), normalForm);
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
    QVERIFY(!store.replaceTask(TaskItem(u"otro"_qs)) && !store.removeTask(QUuid::createUuid()));
    store.append(dos);
    QVERIFY(store.removeTask(dos.id));
    QCOMPARE(told.size(), 4);
    // An unpaired surrogate goes out as U+FFFD, also when its partner starts the next string.
    TaskItem halves(u"a"_qs + QChar(0xD83D));
    halves.tags = {QChar(0xDE00) + u"b"_qs};
    store.append(halves);
    const QList<TaskItem> written = TaskListCodec::decode(stored()).value();
    QCOMPARE(texts(written) + written.last().tags.first(), u"uno a\uFFFD\uFFFDb"_qs);
    QVERIFY(store.removeTask(halves.id));
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

// One entry per tag, as first spelt, in the locale's order, equal entries in list order; a
// locale without a language (C, POSIX) sorts as Spanish, the interface's language.
void PersistenceTest::allTags_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("tags");
    const QString spanish = u"Ａ a árbol b Casa éxito nube ñu Zeta"_qs;
    QTest::newRow("Spanish") << QLocale(QLocale::Spanish, QLocale::Spain) << spanish;
    QTest::newRow("C: Spanish, accents not after z") << QLocale::c() << spanish;
    QTest::newRow("English: ñ is an n") << QLocale(QLocale::English, QLocale::UnitedStates)
                                        << u"Ａ a árbol b Casa éxito ñu nube Zeta"_qs;
}

void PersistenceTest::allTags()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, tags);
    QLocale::setDefault(locale);
    const auto restoreLocale = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
    Preferences preferences;
    TaskStore store(preferences);
    for (const QString &text :
         {u"#Zeta #árbol #ñu #b"_qs, u"#Casa #Ａ"_qs, u"#éxito #casa #nube #a #e\u0301xito"_qs})
        store.append(TaskItem(text));
    QCOMPARE(store.allTags().join(u' '), tags);
}

// The file read and changed as QSettings reads it, in the forms a person or script may write;
// a change to Qt's own output must come out byte for byte as Qt would write it.
void PersistenceTest::settingsTextReadsAndWritesAsQSettings_data()
{
    QTest::addColumn<QByteArray>("text");
    const QByteArray tasks = "[{\"text\":\"caf\xc3\xa9 \\\"x\\\" \\\\ \xf0\x9f\x98\x80 \x01\"}]";
    const QTemporaryDir scratch;
    const QByteArray asQtWrites = writtenByQSettings(scratch.filePath(u"qt.conf"_qs), tasks, 45);
    const auto row = [](const char *name, const QByteArray &text) { QTest::newRow(name) << text; };
    row("empty file", "");
    row("as Qt writes", asQtWrites);
    row("no section header", "lorvane.timerMinutes=12\nlorvane.tasks=@ByteArray([])\n");
    row("comments, blank lines, spaces around =",
        "; a comment\n# another\n\n[General]\n  lorvane.timerMinutes  =  7  ; seven\n");
    row("CRLF and CR line ends",
        "[General]\r\nlorvane.timerMinutes=8\r\nlorvane.tasks=@ByteArray(x)\rother=1\r\n");
    row("the same key in another section is not ours",
        "[Window]\nlorvane.timerMinutes=99\n[General]\nlorvane.timerMinutes=5\n[Más]\na=b\n");
    row("only another section", "[Window]\nlorvane.tasks=@ByteArray(no)\n");
    row("duplicate entries: the last counts",
        "lorvane.timerMinutes=1\nlorvane.tasks=@ByteArray(a)\nlorvane.timerMinutes=2\n"
        "lorvane.tasks=@ByteArray(b)\n");
    row("quoted text with escapes",
        "lorvane.tasks=\"a\\\"b\\\\c\\x41\\101;\\t,d\"\nlorvane.timerMinutes=\"15\"\n");
    row("value continued over lines", "lorvane.tasks=@ByteArray([\\\n1,\\\r\n2])\n");
    row("a list and UTF-8 text", "lorvane.tasks=a, \"b,c\" ,  \xc3\xb1u\n");
    row("escaped key and invalid value",
        "lorvane%2Etasks=@Invalid()\nlorvane.timerMinutes=@Variant(\\0\\0\\0\\x2)\n");
    row("interval not a number", "lorvane.timerMinutes=media hora\n");
    row("byte order mark", "\xef\xbb\xbflorvane.timerMinutes=4\n");
    row("no line end at the end", "[General]\nlorvane.timerMinutes=6");
    row("high bytes escaped", "lorvane.tasks=@ByteArray(\\xc3\\xa9\\xff\\x0)\n");
}

void PersistenceTest::settingsTextReadsAndWritesAsQSettings()
{
    QFETCH(QByteArray, text);
    // Each reading from a file of its own, past Qt's cache of parsed files.
    int readings = 0;
    const auto valuesOf = [&](const QByteArray &bytes) {
        const QString path = m_home->filePath(u"reading%1.conf"_qs.arg(++readings));
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        out.close();
        QSettings qt(path, QSettings::IniFormat);
        QVariantMap values;
        for (const QString &key : qt.allKeys())
            values.insert(key, qt.value(key));
        return values;
    };
    const QVariantMap before = valuesOf(text);
    SettingsText ours(text);
    for (const char *key : {Preferences::tasksKey, Preferences::timerMinutesKey}) {
        const QVariant value = ours.value(QLatin1StringView(key));
        QCOMPARE(value.typeId(), before.value(QLatin1String(key)).typeId());
        QCOMPARE(value, before.value(QLatin1String(key)));
    }

    const QByteArray tasks("[\"\xc3\xa9\\u00e9 \x7f\x00\x0a\x0d\",\"a\"]", 22);
    ours.setValue(QLatin1StringView(Preferences::tasksKey), tasks);
    ours.setValue(QLatin1StringView(Preferences::timerMinutesKey), 90);
    QVariantMap expected = before;
    expected.insert(QLatin1String(Preferences::tasksKey), tasks);
    expected.insert(QLatin1String(Preferences::timerMinutesKey), 90);
    const QVariantMap after = valuesOf(ours.bytes());
    QCOMPARE(after.keys(), expected.keys());
    for (const QString &key : expected.keys())
        QCOMPARE(after.value(key).toString(), expected.value(key).toString());
    QCOMPARE(after.value(QLatin1String(Preferences::tasksKey)).toByteArray(), tasks);
    if (QByteArray(QTest::currentDataTag()) == "as Qt writes")
        QCOMPARE(ours.bytes(), writtenByQSettings(m_home->filePath(u"qt.conf"_qs), tasks, 90));
}

// What is made is private; what exists loses the access of others only. Leftovers of a killed
// save go at start (Qt would wait 30 s on an empty lock), a user's backup stays.
void PersistenceTest::filesStayPrivateAndTidy_data()
{
    QTest::addColumn<int>("folderMode"); // 0: no config home yet
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<QStringList>("leftovers");
    QTest::addColumn<QString>("expected"); // file names and modes; the folder last
    const QString conf = u"lorvane.conf 6000 lorvane.conf.backup 6066 lorvane.lock 6000 "_qs;
    QTest::newRow("no config home yet")
        << 0 << 0 << QStringList() << u"lorvane.conf 6000 lorvane.lock 6000 . 7000"_qs;
    QTest::newRow("open to others, leftovers of a killed save")
        << 0777 << 0666 << QStringList{u".next"_qs, u".next.lock"_qs, u".next.a1B2c3"_qs}
        << conf + u". 7000"_qs;
    QTest::newRow("read-only folder stays read-only")
        << 0555 << 0644 << QStringList() << conf + u". 5000"_qs;
}

void PersistenceTest::filesStayPrivateAndTidy()
{
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QFETCH(QStringList, leftovers);
    QFETCH(QString, expected);
    const mode_t previousMask = ::umask(0);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });
    QString listed = folder();
    if (folderMode == 0) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->path() + u"/new/config"_qs));
        listed = m_home->path() + u"/new/config/lorvane"_qs;
    } else {
        QVERIFY(Preferences().setTasksDocument(listOf(fine)));
        for (const QString &name : leftovers)
            QVERIFY(QFile(file() + name).open(QIODevice::WriteOnly));
        QVERIFY(QFile(file() + u".backup"_qs).open(QIODevice::WriteOnly));
        QVERIFY(::chmod(QFile::encodeName(file()), fileMode) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder()), folderMode) == 0);
    }
    Preferences preferences;
    QCOMPARE(QDir(listed).entryList({u"*.next*"_qs}, QDir::Files | QDir::Hidden), QStringList());
    TaskStore(preferences).append(TaskItem(u"leche"_qs));
    QStringList files;
    for (const QString &name :
         QDir(listed).entryList(QDir::Files | QDir::Hidden) + QStringList{u"."_qs})
        files << name << modeOf(listed + u'/' + name);
    QCOMPARE(files.join(u' '), expected);
    QCOMPARE(textsAfterRestart(), folderMode ? u"t leche"_qs : u"leche"_qs);
}

// A step of the save fails: the old bytes stay (the folder's flush fails once they are replaced),
// no temporary file stays, and the store keeps the change, says why and retries until stored.
void PersistenceTest::failedSaveLeavesTheFileWhole_data()
{
    QTest::addColumn<QByteArray>("call");
    QTest::addColumn<int>("skip");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<bool>("isReplaced");
    const auto row = [](const char *name, const char *call, int skip, int error,
                        const char *problem, bool isReplaced = false) {
        QTest::newRow(name) << QByteArray(call) << skip << error << QString::fromUtf8(problem)
                            << isReplaced;
    };
    row("a folder that may not be written", "createUnique", 0, EACCES, "no permission");
    row("quota reached at the first write", "write", 0, EDQUOT, "disk full");
    row("file size limit", "write", 1, EFBIG, "disk full");
    row("the file's flush", "fsync", 0, EIO, "other");
    row("close reports the lost write", "close", 0, ENOSPC, "disk full");
    row("rename onto a read-only file system", "rename", 0, EROFS, "read-only");
    row("rename over a file that may not be replaced", "rename", 0, EPERM, "no permission");
    row("rename over a bind mount", "rename", 0, EBUSY, "other");
    row("the folder's flush", "fsync", 1, EIO, "other", true);
    row("lock held by another process", "flock", 0, EWOULDBLOCK, "busy");
    row("no locks on this file system", "flock", 0, ENOLCK, "stored", true);
    row("short writes", "", 0, 0, "stored", true);
}

void PersistenceTest::failedSaveLeavesTheFileWhole()
{
    QFETCH(QByteArray, call);
    QFETCH(int, skip);
    QFETCH(int, error);
    QFETCH(QString, problem);
    QFETCH(bool, isReplaced);
    FaultyCalls calls;
    calls.pieceSize = 16;
    Preferences preferences(calls);
    TaskStore store(preferences);
    store.setRetryInterval(20ms);
    store.setTasks({TaskItem(u"uno"_qs), TaskItem(u"dos"_qs)});
    const QByteArray before = readFile(file());
    calls.arm(call, skip, error);
    QSignalSpy told(&store, &TaskStore::saveProblemChanged);
    if (problem != u"stored")
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"could not be saved"_qs));
    store.append(TaskItem(QString(300, u'x')));
    QCOMPARE(problemOf(store), problem);
    QCOMPARE(told.size(), problem == u"stored" ? 0 : 1);
    QCOMPARE(readFile(file()) != before, isReplaced);
    QCOMPARE(leftovers(folder()), QStringList());
    QCOMPARE(store.tasks().size(), 3);
    calls.disarm();
    QTRY_COMPARE(problemOf(store), u"stored"_qs);
    QCOMPARE(told.size(), problem == u"stored" ? 0 : 2);
    QCOMPARE(TaskListCodec::decode(stored()), store.tasks());
}

// The file size limit cuts the new file at each byte in turn: every save fails whole until
// the limit lets the whole file through.
void PersistenceTest::diskFullAtEveryByteOfASave()
{
    Preferences preferences;
    TaskStore store(preferences);
    store.setTasks({TaskItem(u"uno #casa"_qs)});
    const QByteArray before = readFile(file());
    QList<TaskItem> wanted = store.tasks();
    for (int i = 0; i < 4; ++i)
        wanted.append(TaskItem(u"tarea %1 "_qs.arg(i) + QString(20, u'ñ')));
    rlimit unlimited{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const auto restore = qScopeGuard([&] {
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        std::signal(SIGXFSZ, previousHandler);
    });
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"could not be saved"_qs));
    rlim_t limit = 0;
    // Bytes outside ASCII take four in the file ("\xc3" for one).
    for (; limit < rlim_t(TaskListCodec::encode(wanted).size()) * 4; ++limit) {
        rlimit cut = unlimited;
        cut.rlim_cur = limit;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &cut) == 0);
        store.setTasks(wanted);
        if (!store.saveProblem())
            break;
        QVERIFY2(readFile(file()) == before, qPrintable(store.saveProblem()->toString()));
        QVERIFY2(leftovers(folder()).isEmpty(), qPrintable(u"cut at %1"_qs.arg(limit)));
    }
    ::setrlimit(RLIMIT_FSIZE, &unlimited);
    QCOMPARE(qsizetype(limit), readFile(file()).size());
    QCOMPARE(TaskListCodec::decode(stored()), wanted);
}

// A small disk a few pages from full, long tasks typed in turn, then room made: the file is never
// torn, and the retry alone stores every task, merged with what another program stored meanwhile.
void PersistenceTest::nearlyFullDiskNeverTearsTheFile()
{
    if (!m_privateMounts)
        QSKIP("a small tmpfs needs root in a mount namespace of its own");
    QVERIFY(mountTmpfs(m_home->path(), "64k"));
    Preferences preferences;
    TaskStore store(preferences);
    store.setRetryInterval(20ms);
    for (int i = 0; i < 10; ++i)
        store.append(TaskItem(u"tarea %1"_qs.arg(i)));
    const int filler =
        ::open(QFile::encodeName(m_home->path() + u"/filler"_qs), O_WRONLY | O_CREAT, 0600);
    const auto closeFiller = qScopeGuard([filler] { ::close(filler); });
    const QByteArray page(4096, 'x');
    const auto fill = [&] {
        ::lseek(filler, 0, SEEK_END);
        while (::write(filler, page.constData(), page.size()) == page.size()) {
        }
        return ::lseek(filler, 0, SEEK_END);
    };
    const off_t full = fill();
    // The save fails and succeeds by turns, each failure with its warning.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const auto restoreHandler = qScopeGuard([previous] { qInstallMessageHandler(previous); });
    for (int pages = 0; pages <= 4; ++pages) {
        QVERIFY(::ftruncate(filler, full - pages * 4096) == 0);
        for (int task = 0; task < 3; ++task) {
            store.append(TaskItem(QString(300, QChar(u'a' + pages))));
            const std::optional<QList<TaskItem>> onDisk = TaskListCodec::decode(stored());
            QVERIFY2(onDisk, qPrintable(u"torn with %1 pages free"_qs.arg(pages)));
            QCOMPARE(store.saveProblem() ? onDisk->size() < store.tasks().size()
                                         : *onDisk == store.tasks(),
                     true);
        }
    }
    fill();
    store.append(TaskItem(QString(300, u'z')));
    QVERIFY(store.saveProblem());
    QList<TaskItem> theirs = TaskListCodec::decode(stored()).value();
    theirs.append(TaskItem(u"de otro programa"_qs));
    QVERIFY(::ftruncate(filler, 0) == 0);
    QVERIFY(replaceFile(file(), TaskListCodec::encode(theirs)));
    QTRY_VERIFY(!store.saveProblem());
    QCOMPARE(store.tasks().size(), 10 + 15 + 1 + 1);
    QCOMPARE(textsAfterRestart(), texts(store.tasks()));
}

// The list's file is a link (as dotfile managers make) or in a linked folder: the save replaces
// the target and keeps the link, leaves nothing beside either, and a change made there is seen.
void PersistenceTest::symbolicLinksStayLinks_data()
{
    QTest::addColumn<QString>("link"); // what the link at the list's place holds
    QTest::newRow("relative") << u"../dotfiles/lorvane.conf"_qs;
    QTest::newRow("an absolute link to a relative one") << u"$HOME/links/relative"_qs;
    QTest::newRow("linked folder") << u"folder"_qs;
}

void PersistenceTest::symbolicLinksStayLinks()
{
    QFETCH(QString, link);
    const QString home = m_home->path();
    QVERIFY(QDir().mkpath(home + u"/dotfiles"_qs) && QDir().mkpath(home + u"/links"_qs));
    QVERIFY(replaceFile(home + u"/dotfiles/lorvane.conf"_qs,
                        TaskListCodec::encode({TaskItem(u"uno"_qs)})));
    QVERIFY(QFile::link(u"../dotfiles/lorvane.conf"_qs, home + u"/links/relative"_qs));
    const QString linkPath = link == u"folder" ? folder() : file();
    if (link == u"folder")
        QVERIFY(QFile::link(home + u"/dotfiles"_qs, folder()));
    else
        QVERIFY(QDir().mkpath(folder()) &&
                ::symlink(QFile::encodeName(QString(link).replace(u"$HOME"_qs, home)),
                          QFile::encodeName(file())) == 0);

    Preferences preferences;
    TaskStore store(preferences);
    store.append(TaskItem(u"dos"_qs));
    QVERIFY(QFileInfo(linkPath).isSymLink());
    QCOMPARE(textsAfterRestart(), u"uno dos"_qs);
    const QString targetPath = home + u"/dotfiles/lorvane.conf"_qs;
    QCOMPARE(modeOf(targetPath), u"6000"_qs);
    QCOMPARE(leftovers(home + u"/dotfiles"_qs), QStringList());
    if (link != u"folder")
        QCOMPARE(QDir(folder()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 (QStringList{u"lorvane.conf"_qs, u"lorvane.lock"_qs}));

    QList<TaskItem> theirs = store.tasks();
    theirs.append(TaskItem(u"tres"_qs));
    QVERIFY(replaceFile(targetPath, TaskListCodec::encode(theirs)));
    QTRY_COMPARE(texts(store.tasks()), u"uno dos tres"_qs);
    QVERIFY(QFileInfo(linkPath).isSymLink());
}

// Two copies of Lorvane on one list, each in a process of its own, add a task at the same
// moment, again and again: both tasks are stored every time.
void PersistenceTest::twoProcessesSavingAtOnceKeepBoth()
{
    for (int round = 0; round < 30; ++round) {
        QVERIFY(Preferences().setTasksDocument(TaskListCodec::encode({TaskItem(u"uno"_qs)})));
        int ready[2];
        int go[2];
        QVERIFY(::pipe(ready) == 0 && ::pipe(go) == 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        char byte = 0;
        // Both load the list, then wait at the same barrier before adding.
        Preferences preferences;
        TaskStore store(preferences);
        if (child == 0) {
            const bool isReady = ::write(ready[1], "r", 1) == 1 && ::read(go[0], &byte, 1) == 1;
            store.append(TaskItem(u"hijo"_qs));
            ::_exit(isReady && !store.saveProblem() ? 0 : 1);
        }
        QVERIFY(::read(ready[0], &byte, 1) == 1);
        QVERIFY(::write(go[1], "g", 1) == 1);
        store.append(TaskItem(u"padre"_qs));
        int status = 0;
        QVERIFY(::waitpid(child, &status, 0) == child);
        for (const int fd : {ready[0], ready[1], go[0], go[1]})
            ::close(fd);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const QString after = textsAfterRestart();
        QVERIFY2(after == u"uno hijo padre" || after == u"uno padre hijo",
                 qPrintable(u"round %1: %2"_qs.arg(round).arg(after)));
    }
}

// What a start offers to take back: changes the last quit could not store (in the state folder,
// or the runtime folder if that is unusable), or the last readable list for an unreadable one.
void PersistenceTest::whatIsOfferedAtStart_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("situation"); // "none", "unsaved" or "unreadable"
    QTest::addColumn<QString>("restored");  // the list after taking back what is offered
    QTest::newRow("a quit on a full disk")
        << u"full quit"_qs << u"unsaved"_qs << u"uno dos tres"_qs;
    QTest::newRow("a quit on a full disk, the state folder unusable")
        << u"full quit, no state folder"_qs << u"unsaved"_qs << u"uno dos tres"_qs;
    QTest::newRow("a later save took the copy's place")
        << u"full quit, then saved"_qs << u"none"_qs << u"uno dos cuatro"_qs;
    QTest::newRow("an unreadable list: the last readable one")
        << u"unreadable"_qs << u"unreadable"_qs << u"uno dos"_qs;
    QTest::newRow("an unreadable list and nothing kept")
        << u"unreadable, nothing kept"_qs << u"unreadable"_qs << u""_qs;
    QTest::newRow("an ordinary quit") << u"quit"_qs << u"none"_qs << u"uno dos"_qs;
}

void PersistenceTest::whatIsOfferedAtStart()
{
    QFETCH(QString, before);
    QFETCH(QString, situation);
    QFETCH(QString, restored);
    if (before.contains(u"no state folder"))
        QVERIFY(QFile(m_home->path() + u"/state"_qs).open(QIODevice::WriteOnly));
    {
        FaultyCalls calls;
        Preferences preferences(calls);
        TaskStore store(preferences);
        store.setTasks({TaskItem(u"uno"_qs), TaskItem(u"dos"_qs)});
        if (before.startsWith(u"full quit")) {
            calls.arm("write", 0, ENOSPC);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"could not be saved"_qs));
            store.append(TaskItem(u"tres"_qs));
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(u"offers it at the next start"_qs));
        }
        const QString copy = store.saveBeforeQuit();
        QCOMPARE(copy.isEmpty(), !before.startsWith(u"full quit"));
        if (!copy.isEmpty()) {
            QCOMPARE(QFileInfo(copy).path(), before.contains(u"no state folder")
                                                 ? m_home->path() + u"/runtime/lorvane"_qs
                                                 : m_home->path() + u"/state/lorvane"_qs);
            QCOMPARE(modeOf(copy), u"6000"_qs);
        }
    }
    if (before.endsWith(u"then saved")) {
        QTest::qWait(20);
        QVERIFY(replaceFile(file(), TaskListCodec::encode({TaskItem(u"uno"_qs), TaskItem(u"dos"_qs),
                                                           TaskItem(u"cuatro"_qs)})));
    }
    if (before.startsWith(u"unreadable")) {
        if (before.contains(u"nothing kept"))
            QVERIFY(QDir(m_home->path() + u"/state"_qs).removeRecursively());
        QVERIFY(replaceFile(file(), u"no es JSON"_qs));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"copied to"_qs));
    }
    Preferences preferences;
    TaskStore store(preferences);
    const std::optional<RecoveryOffer> offer = RecoveryOffer::atStart(store);
    const QString seen = !offer ? u"none"_qs
                         : offer->situation == RecoveryOffer::Situation::UnsavedChanges
                             ? u"unsaved"_qs
                             : u"unreadable"_qs;
    QCOMPARE(seen, situation);
    if (offer && offer->situation == RecoveryOffer::Situation::UnreadableList)
        QCOMPARE(readFile(offer->unreadableCopy), QByteArray("no es JSON"));
    if (offer && offer->restorable)
        store.restore(*offer->restorable);
    QCOMPARE(texts(store.tasks()), restored);
    QCOMPARE(textsAfterRestart(), restored);
}

// Once armed (told once), the watcher tells of a file made by a rename, replaced by one while a
// reader holds the old file (whose watch then lives on, useless), and written in place.
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

// Another program rewrites "uno dos" (adds, deletes, edits, or writes no list), this side then
// changes it too, and the save merges by id; in watched rows the store takes theirs in first.
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
    row("added there, edited here", "add tres", "edit uno", "uno! dos tres");
    row("deleted there, the other deleted here", "delete uno", "delete dos", "");
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
}

void PersistenceTest::outsideChangesAreMerged()
{
    QFETCH(QString, outside);
    QFETCH(QString, inside);
    QFETCH(QString, expected);
    QFETCH(bool, watched);
    Preferences preferences;
    TaskStore store(preferences);
    store.setTasks({TaskItem(u"uno"_qs), TaskItem(u"dos"_qs)});
    QList<TaskItem> theirs = store.tasks();
    if (outside == u"add tres")
        theirs.append(TaskItem(u"tres"_qs));
    else if (outside == u"delete uno")
        theirs.removeFirst();
    else if (outside == u"edit uno")
        theirs.first().text = u"UNO"_qs;
    // An unreadable list is written by hand, as text, which Qt hands over as such.
    const bool isUnreadable = outside == u"unreadable";
    const QByteArray document = isUnreadable ? "no es JSON" : TaskListCodec::encode(theirs);
    QVERIFY(replaceFile(file(), isUnreadable ? QVariant(QString::fromUtf8(document)) : document));
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
