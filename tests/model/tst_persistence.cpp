// The task list on disk: the stored form read strictly and written in its normal form, the
// store's load and write path over a real preferences file, and the file's safety (private
// modes, copies of unreadable lists, failed saves, leftovers of an interrupted save).
#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "platform/Preferences.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <functional>
#include <optional>

namespace {

const QByteArray someId = "5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B";
const QByteArray nilId = "00000000-0000-0000-0000-000000000000";
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
    ::stat(QFile::encodeName(path).constData(), &info);
    return QString::number(info.st_mode & 07777, 8);
}

// How many warnings the action gives.
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

QByteArray storedDocument()
{
    return Preferences().tasksDocument().value_or("(absent)");
}

// The list as the next start finds it: texts, "+" for done.
QString textsAfterRestart()
{
    Preferences preferences;
    const TaskStore restarted(preferences);
    QStringList texts;
    for (const TaskItem &task : restarted.tasks())
        texts.append(task.text + (task.isDone ? u"+"_qs : QString()));
    return texts.join(u' ');
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
    void writesStringsAsQtDoes_data();
    void writesStringsAsQtDoes();
    void loadSavesBackAndEachChangeRewritesTheWholeList();
    void allTags_data();
    void allTags();
    void preferenceValues_data();
    void preferenceValues();
    void unreadableListIsCopiedAsideOnEveryStart();
    void privateModes_data();
    void privateModes();
    void fullDiskKeepsEveryChangeInMemory();
    void leftoversOfAnInterruptedSaveAreCleared();

private:
    QString folder() const { return m_home->path() + u"/lorvane"_qs; }
    QString file() const { return folder() + u"/lorvane.conf"_qs; }

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
    ::umount2(QFile::encodeName(m_home->path()).constData(), MNT_DETACH);
    QLocale::setDefault(QLocale::c());
    m_home.reset();
}

// Accepted documents are compared through the normal form they encode to; no normal form
// means the whole document is refused.
void PersistenceTest::reads_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QByteArray>("normalForm");
    const auto row = [](const char *name, const QByteArray &document, const QByteArray &normal) {
        QTest::newRow(name) << document << normal;
    };
    const auto refused = [](const char *name, const QByteArray &document) {
        QTest::newRow(name) << document << QByteArray();
    };
    const QByteArray text = R"("text":"pan #Casa #casa","isDone":false)";
    const QByteArray normal = one(text + R"(,"isPriority":false,"tags":["Casa"])");
    const auto normalWith = [&](const QByteArray &tail) {
        return QByteArray(normal).replace(R"(false,"tags":["Casa"])", tail);
    };
    const auto textOf = [](const QByteArray &raw) {
        return one(R"("text":")" + raw + R"(","isDone":false)");
    };

    row("whitespace around an empty array", " \n[ ]\t", "[]");
    row("required members only: tags from the text", one(text), normal);
    row("priority and tags null", one(text + R"(,"isPriority":null,"tags":null)"), normal);
    row("empty tags stay empty", one(text + R"(,"isPriority":true,"tags":[])"),
        normalWith(R"(true,"tags":[])"));
    row("tags kept as stored", one(text + R"(,"tags":["CASA","x","x",""])"),
        normalWith(R"(false,"tags":["CASA","x","x",""])"));
    row("other order, unknown members and names in another case ignored",
        R"([{"tags":["Casa"],"x":{"r":[1,2.5e3]},"ISPRIORITY":true,)" + text + R"(,"id":")" +
            someId + "\"}]",
        normal);
    row("escapes", textOf(R"(\u0041\n\u00e9\ud83d\ude00\/\")"),
        textOf("A\\n\xc3\xa9\xf0\x9f\x98\x80/\\\"")
            .replace("}]", R"(,"isPriority":false,"tags":[]}])"));
    row("ids in lower case and nil",
        one(text, someId.toLower()).chopped(1) + "," + one(text, nilId).mid(1),
        normal.chopped(1) + "," + QByteArray(normal).replace(someId, nilId).mid(1));

    refused("top level an object", QByteArray(one(fine)).mid(1).chopped(1));
    refused("element not an object", "[1]");
    refused("missing id", R"([{"text":"t","isDone":false}])");
    refused("missing text", one(R"("isDone":false)"));
    refused("missing done flag", one(R"("text":"t")"));
    refused("done flag null", one(R"("text":"t","isDone":null)"));
    refused("number as done flag", one(R"("text":"t","isDone":0)"));
    refused("number as text", one(R"("text":5,"isDone":false)"));
    refused("string as priority", one(fine + R"(,"isPriority":"true")"));
    refused("tags a string", one(fine + R"(,"tags":"casa")"));
    refused("null inside tags", one(fine + R"(,"tags":["a",null])"));
    refused("id in braces", one(fine, "{" + someId + "}"));
    refused("id with a letter past F", one(fine, someId.chopped(1) + "G"));
    refused("a bad record after a good one", one(fine).chopped(1) + "," + one("\"x\":1").mid(1));
    refused("byte order mark", "\xef\xbb\xbf[]");
    refused("raw tab in a string", textOf("a\tb"));
    refused("unknown escape", textOf(R"(\x41)"));
    refused("unpaired high surrogate escape", textOf(R"(\ud83d)"));
    refused("unpaired low surrogate escape", textOf(R"(\ude00x)"));
    refused("number without fraction digits", one(fine + R"(,"x":1.)"));
    refused("number without integer digits", one(fine + R"(,"x":.5)"));
    refused("nested 100,000 deep", QByteArray(100000, '[') + QByteArray(100000, ']'));
}

void PersistenceTest::reads()
{
    QFETCH(QByteArray, document);
    QFETCH(QByteArray, normalForm);

    const std::optional<QList<TaskItem>> tasks = TaskListCodec::decode(document);
    QCOMPARE(tasks.has_value(), !normalForm.isEmpty());
    if (tasks)
        QCOMPARE(TaskListCodec::encode(*tasks), normalForm);
}

// Text and tags are written as QJsonDocument writes them and read back unchanged. An
// unpaired surrogate, which JSON cannot carry, becomes U+FFFD, also when its partner starts
// the next string.
void PersistenceTest::writesStringsAsQtDoes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("written");

    QString controls;
    for (char16_t c = 0; c < 0x20; ++c)
        controls.append(QChar(c));
    QTest::newRow("control characters") << controls + u"\u007F"_qs << QString();
    QTest::newRow("quotes, backslashes, slash, non-ASCII")
        << uR"(dijo "hola" \ C:\temp\ \" 1/2 añadir)"_qs + u"\u2028\U0001F600"_qs << QString();
    QTest::newRow("high half at the end") << u"a"_qs + QChar(0xD83D) << u"a\uFFFD"_qs;
    QTest::newRow("low half after a backslash") << u"\\"_qs + QChar(0xDE00) << u"\\\uFFFD"_qs;
}

void PersistenceTest::writesStringsAsQtDoes()
{
    QFETCH(QString, text);
    QFETCH(QString, written);
    if (written.isNull())
        written = text;

    TaskItem task(text);
    task.tags = {text, text.right(1)};
    const QByteArray document = TaskListCodec::encode({task});
    const QByteArray qtArray = QJsonDocument(QJsonArray{written}).toJson(QJsonDocument::Compact);
    const QByteArray qtString = qtArray.mid(1, qtArray.size() - 2);
    QVERIFY(document.contains(R"("text":)" + qtString + R"(,"isDone")"));
    QVERIFY(document.contains(R"("tags":[)" + qtString + ","));

    const std::optional<QList<TaskItem>> decoded = TaskListCodec::decode(document);
    QVERIFY(decoded);
    QCOMPARE(decoded->value(0, task).text, written);
    QCOMPARE(decoded->value(0, task).tags.first(), written);
}

void PersistenceTest::loadSavesBackAndEachChangeRewritesTheWholeList()
{
    const QByteArray second = "00000000-0000-4000-8000-000000000002";
    const QByteArray rest = R"(,"isPriority":false,"tags":[])";
    QVERIFY(Preferences().setTasksDocument(
        "[ {\"id\" : \"" + someId.toLower() +
        "\", \"x\": 1, \"isDone\": false, \"text\": \"uno\"}," +
        one(R"("text":"dos","isDone":true,"tags":null)", second).mid(1)));
    Preferences preferences;
    TaskStore store(preferences);
    const QByteArray first = one(R"("text":"uno","isDone":false)" + rest).chopped(1);
    const QByteArray stored =
        first + "," + one(R"("text":"dos","isDone":true)" + rest, second).mid(1);
    QCOMPARE(storedDocument(), stored);

    // One flag changed: the whole list written, and only then announced, once.
    QList<QByteArray> announced;
    connect(&store, &TaskStore::tasksChanged, this, [&] { announced.append(storedDocument()); });
    TaskItem changed = store.tasks().at(1);
    changed.isDone = false;
    QVERIFY(store.replaceTask(changed));
    QCOMPARE(announced, QList<QByteArray>{QByteArray(stored).replace("true", "false")});

    // Records that are gone: nothing written or announced. Removal takes every copy of an id.
    QVERIFY(!store.replaceTask(TaskItem(u"otro"_qs)));
    QVERIFY(!store.removeTask(QUuid::createUuid()));
    store.append(store.tasks().first());
    QVERIFY(store.removeTask(store.tasks().first().id));
    QCOMPARE(announced.size(), 3);
    QCOMPARE(textsAfterRestart(), u"dos"_qs);
}

void PersistenceTest::allTags_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("allTags");

    QTest::newRow("accents and case by the locale, first spelling kept")
        << QStringList{u"#Zeta #árbol #ñu"_qs, u"#Casa #bote"_qs, u"#éxito #casa #nube"_qs}
        << QStringList{u"árbol"_qs, u"bote"_qs, u"Casa"_qs, u"éxito"_qs,
                       u"nube"_qs,  u"ñu"_qs,   u"Zeta"_qs};
    QTest::newRow("equal for the collation: list order kept")
        << QStringList{u"#b #Ａ"_qs, u"#a"_qs} << QStringList{u"Ａ"_qs, u"a"_qs, u"b"_qs};
}

void PersistenceTest::allTags()
{
    QFETCH(QStringList, texts);
    QFETCH(QStringList, allTags);

    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    Preferences preferences;
    TaskStore store(preferences);
    for (const QString &text : texts)
        store.append(TaskItem(text));
    QCOMPARE(store.allTags(), allTags);
}

void PersistenceTest::preferenceValues_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QByteArray>("tasks");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("stored");

    QTest::newRow("nothing stored") << QByteArray() << QByteArray("(absent)") << 30 << 0;
    QTest::newRow("hand-written text, interval 0")
        << QByteArray("lorvane.tasks=\"a mano\"\nlorvane.timerMinutes=0") << QByteArray("a mano")
        << 0 << 0;
    QTest::newRow("interval not a number")
        << QByteArray("lorvane.timerMinutes=pronto") << QByteArray("(absent)") << 30 << 0;
}

void PersistenceTest::preferenceValues()
{
    QFETCH(QByteArray, lines);
    QFETCH(QByteArray, tasks);
    QFETCH(int, minutes);
    QFETCH(int, stored);

    QVERIFY(QDir().mkpath(folder()) && writeFile(file(), "[General]\n" + lines + "\n"));
    Preferences preferences;
    QCOMPARE(storedDocument(), tasks);
    QCOMPARE(preferences.timerMinutes(), minutes);
    QCOMPARE(preferences.storedTimerMinutes(), stored);

    // Any bytes come back exactly, and the interval is written beside them.
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.append(char(b));
    QVERIFY(preferences.setTasksDocument(everyByte) && preferences.setTimerMinutes(25));
    QCOMPARE(storedDocument(), everyByte);
    QCOMPARE(Preferences().storedTimerMinutes(), 25);
}

void PersistenceTest::unreadableListIsCopiedAsideOnEveryStart()
{
    const QByteArray unreadable = one(R"("text":"pan")");
    QVERIFY(Preferences().setTasksDocument(unreadable));
    // A file already named like the copy of this second is someone else's.
    const QString stem = folder() + u"/unreadable-tasks-"_qs;
    const QString other =
        stem + QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd'T'HHmmss'Z'"_qs);
    QVERIFY(writeFile(other + u".json"_qs, "other"));

    // Two starts before any change: a new private copy each time, named in a warning.
    Preferences preferences;
    std::optional<TaskStore> store;
    for (int start = 1; start <= 2; ++start) {
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(u"copied to "_qs + QRegularExpression::escape(stem)));
        store.emplace(preferences);
        QVERIFY(store->tasks().isEmpty());
    }
    QStringList copies = QDir(folder()).entryList({u"unreadable-*"_qs});
    QCOMPARE(copies.size(), 3);
    QCOMPARE(readFile(other + u".json"_qs), "other");
    copies.removeOne(QFileInfo(other + u".json"_qs).fileName());
    for (const QString &copy : copies)
        QCOMPARE(readFile(folder() + u'/' + copy) + modeOf(folder() + u'/' + copy).toUtf8(),
                 unreadable + "600");
    QCOMPARE(storedDocument(), unreadable);

    // The first change replaces the stored list, without a warning.
    QCOMPARE(warningsDuring([&] { store->append(TaskItem(u"nueva"_qs)); }), 0);
    QCOMPARE(textsAfterRestart(), u"nueva"_qs);
}

void PersistenceTest::privateModes_data()
{
    QTest::addColumn<int>("folderMode"); // 0: no config home yet
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<QString>("folderModeAfter");

    QTest::newRow("no config home yet") << 0 << 0 << u"700"_qs;
    QTest::newRow("folder and file open to others") << 0777 << 0666 << u"700"_qs;
    QTest::newRow("read-only folder stays read-only") << 0555 << 0644 << u"500"_qs;
}

void PersistenceTest::privateModes()
{
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QFETCH(QString, folderModeAfter);

    const mode_t previousMask = ::umask(0);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });
    QStringList folders{folder()};
    if (folderMode == 0) {
        const QString home = m_home->path() + u"/new/config"_qs;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home));
        folders = {m_home->path() + u"/new"_qs, home, home + u"/lorvane"_qs};
    } else {
        QVERIFY(QDir().mkpath(folder()) && writeFile(file(), "[General]\n"));
        QVERIFY(::chmod(QFile::encodeName(file()).constData(), fileMode) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder()).constData(), folderMode) == 0);
    }
    Preferences preferences;
    TaskStore(preferences).append(TaskItem(u"leche"_qs));

    for (const QString &path : folders)
        QCOMPARE(path + u' ' + modeOf(path), path + u' ' + folderModeAfter);
    QCOMPARE(modeOf(preferences.filePath()), u"600"_qs);
    QCOMPARE(QDir(folders.last()).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"lorvane.conf"_qs});
}

// An unreadable list on a full disk: never overwritten before a copy exists, every change
// kept in memory with one warning, the whole list saved once there is room.
void PersistenceTest::fullDiskKeepsEveryChangeInMemory()
{
    if (!m_privateMounts)
        QSKIP("a small tmpfs needs root in a mount namespace of its own");
    QCOMPARE(::mount("lorvane-test", QFile::encodeName(m_home->path()).constData(), "tmpfs", 0,
                     "size=256k,mode=0700"),
             0);
    const QByteArray unreadable = one(R"("text":"pan")");
    QVERIFY(Preferences().setTasksDocument(unreadable));
    const auto fillDisk = [this] {
        QFile filler(m_home->path() + u"/filler"_qs);
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
        }
    };
    const auto freeDisk = [this] { QFile::remove(m_home->path() + u"/filler"_qs); };

    fillDisk();
    Preferences preferences;
    std::optional<TaskStore> store;
    QCOMPARE(warningsDuring([&] { store.emplace(preferences); }), 1);
    QCOMPARE(warningsDuring([&] { store->append(TaskItem(u"uno"_qs)); }), 1);
    QCOMPARE(storedDocument(), unreadable);
    freeDisk();
    QCOMPARE(warningsDuring([&] { store->append(TaskItem(u"dos"_qs)); }), 1); // the copy
    const QStringList copies = QDir(folder()).entryList({u"unreadable-*"_qs});
    QCOMPARE(copies.size(), 1);
    QCOMPARE(readFile(folder() + u'/' + copies.first()), unreadable);

    fillDisk();
    const QByteArray fileBefore = readFile(file());
    TaskItem first = store->tasks().first();
    first.isDone = true;
    QCOMPARE(warningsDuring([&] { store->replaceTask(first); }), 1);
    QCOMPARE(warningsDuring([&] { store->append(TaskItem(u"tres"_qs)); }), 1);
    QCOMPARE(readFile(file()), fileBefore);
    freeDisk();
    store->append(TaskItem(u"cuatro"_qs));
    QCOMPARE(textsAfterRestart(), u"uno+ dos tres cuatro"_qs);
}

void PersistenceTest::leftoversOfAnInterruptedSaveAreCleared()
{
    // Qt would wait 30 s on an empty lock before the first save.
    QVERIFY(Preferences().setTasksDocument(one(fine)));
    QVERIFY(writeFile(file() + u".lock"_qs, "") && writeFile(file() + u".a1B2c3"_qs, "[General]"));
    Preferences preferences;
    QCOMPARE(QDir(folder()).entryList(QDir::Files | QDir::Hidden), QStringList{u"lorvane.conf"_qs});
    TaskStore(preferences).append(TaskItem(u"leche"_qs));
    QCOMPARE(textsAfterRestart(), u"t leche"_qs);
}

QTEST_GUILESS_MAIN(PersistenceTest)
#include "tst_persistence.moc"
