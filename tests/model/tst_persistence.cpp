// The task list on disk: its stored form, the store's write path over a real preferences file,
// the file's safety, and changes another program makes to the file, merged by id.
#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "platform/FileChangeWatcher.h"
#include "platform/Preferences.h"
#include "platform/SettingsText.h"

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
    void storeSavesEachListWholeBeforeTellingOfIt();
    void allTags();
    void settingsTextReadsAndWritesAsQSettings_data();
    void settingsTextReadsAndWritesAsQSettings();
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
    row("done flag null", listOf(R"("text":"t","isDone":null)"), no);
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
    // JSON cannot carry an unpaired surrogate: U+FFFD, also when its partner starts the next
    // string.
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

// The file read and changed as QSettings reads it: the hand-edited rows are the forms a
// person or a script may write; "as Qt writes" is Qt's own output, which a change must keep
// byte for byte as Qt would write it.
void PersistenceTest::settingsTextReadsAndWritesAsQSettings_data()
{
    QTest::addColumn<QByteArray>("text");
    const QByteArray tasks = "[{\"text\":\"caf\xc3\xa9 \\\"x\\\" \\\\ \xf0\x9f\x98\x80 \x01\"}]";
    QByteArray asQtWrites;
    {
        const QTemporaryDir scratch;
        QSettings qt(scratch.filePath(u"qt.conf"_qs), QSettings::IniFormat);
        qt.setValue(Preferences::tasksKey, tasks);
        qt.setValue(Preferences::timerMinutesKey, 45);
        qt.setValue(u"Window/geometry"_qs, QByteArray("\x00\xff\x0a", 3));
        qt.sync();
        asQtWrites = readFile(qt.fileName());
    }
    const auto row = [](const char *name, const QByteArray &text) {
        QTest::newRow(name) << text;
    };
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
    row("General after another section", "[Window]\nx=1\n[General]\nlorvane.timerMinutes=3\n");
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
    if (QByteArray(QTest::currentDataTag()) == "as Qt writes") {
        QSettings qt(m_home->filePath(u"qt.conf"_qs), QSettings::IniFormat);
        qt.setValue(Preferences::tasksKey, tasks);
        qt.setValue(Preferences::timerMinutesKey, 90);
        qt.setValue(u"Window/geometry"_qs, QByteArray("\x00\xff\x0a", 3));
        qt.sync();
        QCOMPARE(ours.bytes(), readFile(qt.fileName()));
    }
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
    QTest::newRow("folder and file open to others")
        << 0777 << 0666 << QStringList() << conf + u". 7000"_qs;
    QTest::newRow("read-only folder stays read-only")
        << 0555 << 0644 << QStringList() << conf + u". 5000"_qs;
    QTest::newRow("leftovers of a killed save")
        << 0700 << 0600 << QStringList{u".next"_qs, u".next.lock"_qs, u".next.a1B2c3"_qs}
        << conf + u". 7000"_qs;
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
    }
    if (folderMode) {
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

// On a full disk every change stays in memory with one warning and the file as it was; once
// there is room the whole list is saved, and the failed writes do not come back over what
// another program stored meanwhile.
void PersistenceTest::fullDiskKeepsEveryChangeInMemory()
{
    if (!m_privateMounts)
        QSKIP("a small tmpfs needs root in a mount namespace of its own");
    QCOMPARE(::mount("lorvane-test", QFile::encodeName(m_home->path()), "tmpfs", 0, "size=256k"),
             0);
    Preferences preferences;
    std::optional<TaskStore> store(std::in_place, preferences);
    store->setTasks({TaskItem(u"uno"_qs), TaskItem(u"dos"_qs)});
    const QByteArray before = readFile(file());
    QFile filler(m_home->path() + u"/filler"_qs);
    QVERIFY(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
    }
    filler.close();
    TaskItem first = store->tasks().first();
    first.isDone = true;
    QTest::failOnWarning(QRegularExpression(u"."_qs));
    for (int warning = 0; warning < 2; ++warning)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"could not be saved"_qs));
    store->replaceTask(first);
    store->append(TaskItem(u"tres"_qs));
    QCOMPARE(readFile(file()), before);
    QVERIFY(QFile::remove(filler.fileName()));
    QList<TaskItem> theirs = TaskListCodec::decode(stored()).value();
    theirs.append(TaskItem(u"cinco"_qs));
    QVERIFY(replaceFile(file(), TaskListCodec::encode(theirs)));
    store->append(TaskItem(u"cuatro"_qs));
    QCOMPARE(textsAfterRestart(), u"uno+ dos cinco tres cuatro"_qs);
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

// Another program replaces "uno dos" in the file: it adds "tres", deletes or edits "uno", or
// writes no list. Then this side adds "cuatro", deletes, toggles or edits, and the save merges
// by id. In the watched rows the store takes the outside change in first.
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
