// The task list on disk under hostile conditions: a permissive umask, a folder that cannot
// be written, a full disk. The file and its backups stay private to the user; a save that
// fails keeps the list in memory, says so once on standard error, and the next save after
// the disk recovers writes the whole list.
#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <functional>
#include <memory>

namespace {

mode_t modeOf(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

// Collects what goes to standard error while it lives: the Qt messages (which Qt Test would
// otherwise take over) and anything written to file descriptor 2 directly.
class StderrCapture
{
public:
    StderrCapture()
    {
        s_messages.clear();
        m_previousHandler = qInstallMessageHandler(&StderrCapture::handler);
        std::fflush(stderr);
        m_savedFd = ::dup(STDERR_FILENO);
        m_file.open();
        ::dup2(m_file.handle(), STDERR_FILENO);
    }

    ~StderrCapture() { finish(); }

    // The lines written, one entry per line or Qt message.
    QStringList finish()
    {
        if (m_savedFd >= 0) {
            std::fflush(stderr);
            ::dup2(m_savedFd, STDERR_FILENO);
            ::close(m_savedFd);
            m_savedFd = -1;
            qInstallMessageHandler(m_previousHandler);
            m_file.seek(0);
            const QString written = QString::fromUtf8(m_file.readAll());
            m_lines = s_messages;
            for (const QString &line : written.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                m_lines.append(line);
        }
        return m_lines;
    }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        s_messages.append(message);
    }

    static inline QStringList s_messages;
    QtMessageHandler m_previousHandler = nullptr;
    QTemporaryFile m_file;
    int m_savedFd = -1;
    QStringList m_lines;
};

// Root ignores file modes; to see a read-only folder as a user does, the test drops the
// capabilities that override them for as long as this guard lives.
class FileModesEnforced
{
public:
    FileModesEnforced()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        m_header.pid = 0;
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH)
                                  | (1u << CAP_FOWNER));
        m_active = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }

    ~FileModesEnforced()
    {
        if (m_active)
            ::syscall(SYS_capset, &m_header, m_saved);
    }

    FileModesEnforced(const FileModesEnforced &) = delete;
    FileModesEnforced &operator=(const FileModesEnforced &) = delete;

private:
    __user_cap_header_struct m_header {};
    __user_cap_data_struct m_saved[2] {};
    bool m_active = false;
};

// Whether a file can be created in the folder by this process as it is now.
bool canCreateIn(const QString &folder)
{
    QFile probe(folder + QStringLiteral("/.probe"));
    const bool created = probe.open(QIODevice::WriteOnly);
    if (created)
        probe.remove();
    return created;
}

QList<TaskItem> decodedFile(Preferences &preferences)
{
    QSettings settings(preferences.filePath(), QSettings::NativeFormat);
    const QByteArray document = settings.value(Preferences::tasksKey).toByteArray();
    return TaskListCodec::decode(document).value_or(QList<TaskItem>());
}

QStringList texts(const QList<TaskItem> &tasks)
{
    QStringList result;
    for (const TaskItem &task : tasks)
        result.append(task.text + (task.isDone ? QStringLiteral(" [done]") : QString()));
    return result;
}

} // namespace

// How the disk refuses writes in a row of the failure table.
enum class Fault { ReadOnlyFolder, FolderReplacedByFile, FullDisk };
Q_DECLARE_METATYPE(Fault)

class FileSafetyTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void privateUnderPermissiveUmask_data();
    void privateUnderPermissiveUmask();
    void failedSavesKeepTheListAndRecover_data();
    void failedSavesKeepTheListAndRecover();
    void unreadableListSurvivesAFolderThatWasReadOnlyAtStart();
    void lockLeftByAKilledProcessDoesNotStallTheNextStart_data();
    void lockLeftByAKilledProcessDoesNotStallTheNextStart();

private:
    QString configFolder() const { return m_home->path() + QStringLiteral("/lorvane"); }

    std::unique_ptr<QTemporaryDir> m_home;
    bool m_privateMounts = false;
    QString m_mountPoint;
};

void FileSafetyTest::initTestCase()
{
    // A mount namespace of our own lets the full-disk case mount a tiny tmpfs that no one
    // else sees and that goes away with the process.
    if (::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0)
        m_privateMounts = ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

void FileSafetyTest::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->path()));
}

void FileSafetyTest::cleanup()
{
    if (!m_mountPoint.isEmpty()) {
        ::umount2(QFile::encodeName(m_mountPoint).constData(), MNT_DETACH);
        m_mountPoint.clear();
    }
    // Leave everything removable whatever state a failed row left it in.
    QFile::remove(configFolder());
    ::chmod(QFile::encodeName(configFolder()).constData(), 0700);
    m_home.reset();
}

void FileSafetyTest::privateUnderPermissiveUmask_data()
{
    QTest::addColumn<std::function<void(const QString &)>>("prepare");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("backedUp");

    const QByteArray unreadable = R"([{"id":"5F1C2B9A","text":"pan","isDone":false}])";
    const auto nothing = [](const QString &) {};

    QTest::newRow("first start, no folder yet") << std::function(nothing) << QByteArray()
                                                << false;
    QTest::newRow("folder left world-writable")
        << std::function([](const QString &folder) {
               QVERIFY(QDir().mkpath(folder));
               QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
           })
        << QByteArray() << false;
    QTest::newRow("file left world-readable")
        << std::function([](const QString &folder) {
               const QString file = folder + QStringLiteral("/lorvane.conf");
               {
                   QSettings other(file, QSettings::NativeFormat);
                   other.setValue(Preferences::tasksKey,
                                  QByteArray(R"([{"id":"5F1C2B9A-3D4E-4F60-8A7B-)"
                                             R"(9C0D1E2F3A4B","text":"pan","isDone":false}])"));
                   other.sync();
                   QCOMPARE(other.status(), QSettings::NoError);
               }
               QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
               QVERIFY(::chmod(QFile::encodeName(file).constData(), 0666) == 0);
           })
        << QByteArray() << false;
    QTest::newRow("unreadable list backed up") << std::function(nothing) << unreadable << true;
}

void FileSafetyTest::privateUnderPermissiveUmask()
{
    QFETCH(std::function<void(const QString &)>, prepare);
    QFETCH(QByteArray, stored);
    QFETCH(bool, backedUp);

    const mode_t previousMask = ::umask(0);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });

    prepare(configFolder());
    if (QTest::currentTestFailed())
        return;
    if (!stored.isEmpty()) {
        Preferences writer;
        QVERIFY(writer.setTasksDocument(stored));
    }

    Preferences preferences;
    StderrCapture capture;
    TaskStore store(preferences);
    store.append(TaskItem(QStringLiteral("leche #compra")));
    capture.finish();
    QVERIFY(store.isSaved());

    const QString folder = QFileInfo(preferences.filePath()).absolutePath();
    QCOMPARE(folder, configFolder());
    QCOMPARE(QString::number(modeOf(folder), 8), QStringLiteral("700"));
    const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    QVERIFY(files.contains(QStringLiteral("lorvane.conf")));
    for (const QString &name : files)
        QCOMPARE(name + QLatin1Char(' ') + QString::number(modeOf(folder + '/' + name), 8),
                 name + QStringLiteral(" 600"));

    const QStringList backups = files.filter(QStringLiteral("unreadable-tasks-"));
    QCOMPARE(backups.size(), backedUp ? 1 : 0);
    if (backedUp)
        QCOMPARE(readFile(folder + '/' + backups.first()), stored);
}

void FileSafetyTest::failedSavesKeepTheListAndRecover_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("read-only folder") << Fault::ReadOnlyFolder;
    QTest::newRow("folder replaced by a file") << Fault::FolderReplacedByFile;
    QTest::newRow("full disk") << Fault::FullDisk;
}

void FileSafetyTest::failedSavesKeepTheListAndRecover()
{
    QFETCH(Fault, fault);
    const QString folder = configFolder();

    if (fault == Fault::FullDisk) {
        if (!m_privateMounts)
            QSKIP("mounting a small tmpfs needs root in a mount namespace of its own");
        m_mountPoint = m_home->path();
        QVERIFY(::mount("lorvane-test", QFile::encodeName(m_mountPoint).constData(), "tmpfs",
                        0, "size=256k,mode=0700")
                == 0);
    }

    Preferences preferences;
    TaskStore store(preferences);
    store.append(TaskItem(QStringLiteral("uno #a")));
    QVERIFY(store.isSaved());
    const QByteArray savedBefore = readFile(preferences.filePath());
    QVERIFY(!savedBefore.isEmpty());

    // Break the disk, keeping whatever undoes it.
    std::unique_ptr<FileModesEnforced> modesEnforced;
    std::function<void()> repair;
    switch (fault) {
    case Fault::ReadOnlyFolder:
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0500) == 0);
        modesEnforced = std::make_unique<FileModesEnforced>();
        repair = [&] {
            modesEnforced.reset();
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0700) == 0);
        };
        break;
    case Fault::FolderReplacedByFile:
        QVERIFY(QDir().rename(folder, folder + QStringLiteral(".moved")));
        QVERIFY(writeFile(folder, "not a folder"));
        repair = [&] {
            QVERIFY(QFile::remove(folder));
            QVERIFY(QDir().rename(folder + QStringLiteral(".moved"), folder));
        };
        break;
    case Fault::FullDisk: {
        const QString filler = m_home->path() + QStringLiteral("/filler");
        QFile file(filler);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (file.write(block) == block.size() && file.flush()) {
        }
        file.close();
        repair = [filler] { QVERIFY(QFile::remove(filler)); };
        break;
    }
    }
    if (fault != Fault::FullDisk && canCreateIn(folder))
        QSKIP("this process can write into a read-only folder");

    // Two changes while the disk refuses: both stay in memory, each says so once.
    StderrCapture firstFailure;
    store.append(TaskItem(QStringLiteral("dos #b")));
    const QStringList firstWarnings = firstFailure.finish();
    QVERIFY(!store.isSaved());
    QCOMPARE(firstWarnings.size(), 1);

    StderrCapture secondFailure;
    TaskItem first = store.tasks().first();
    first.isDone = true;
    QVERIFY(store.replaceTask(first));
    const QStringList secondWarnings = secondFailure.finish();
    QVERIFY(!store.isSaved());
    QCOMPARE(secondWarnings.size(), 1);
    QCOMPARE(texts(store.tasks()),
             QStringList({QStringLiteral("uno #a [done]"), QStringLiteral("dos #b")}));

    repair();
    if (QTest::currentTestFailed())
        return;

    // The file still holds the last complete save, untouched by the failed ones.
    QCOMPARE(readFile(preferences.filePath()), savedBefore);

    // The next change writes the whole list, quietly.
    StderrCapture recovery;
    store.append(TaskItem(QStringLiteral("tres")));
    const QStringList recoveryWarnings = recovery.finish();
    QVERIFY(store.isSaved());
    QCOMPARE(recoveryWarnings, QStringList());
    const QStringList expected = {QStringLiteral("uno #a [done]"), QStringLiteral("dos #b"),
                                  QStringLiteral("tres")};
    QCOMPARE(texts(decodedFile(preferences)), expected);

    // No half-written temporary file stays behind in the folder.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList({QStringLiteral("lorvane.conf")}));

    // And a new start loads it.
    Preferences restarted;
    TaskStore reloaded(restarted);
    QCOMPARE(texts(reloaded.tasks()), expected);
}

void FileSafetyTest::unreadableListSurvivesAFolderThatWasReadOnlyAtStart()
{
    // The backup of an unreadable list cannot be written while the folder is read-only. The
    // list must still not be lost when the folder becomes writable and the user adds a task.
    const QByteArray unreadable =
        R"([{"id":"5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B","text":"mi lista","isDone":"no"}])";
    {
        Preferences writer;
        QVERIFY(writer.setTasksDocument(unreadable));
    }
    const QString folder = configFolder();
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0500) == 0);

    Preferences preferences;
    std::unique_ptr<TaskStore> store;
    QStringList warnings;
    {
        FileModesEnforced modesEnforced;
        if (canCreateIn(folder))
            QSKIP("this process can write into a read-only folder");
        StderrCapture capture;
        store = std::make_unique<TaskStore>(preferences);
        warnings = capture.finish();
    }
    QVERIFY(store->tasks().isEmpty());
    QVERIFY(!warnings.isEmpty());

    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0700) == 0);
    store->append(TaskItem(QStringLiteral("nueva")));
    QVERIFY(store->isSaved());

    bool kept = false;
    const QStringList files = QDir(folder).entryList(QDir::Files);
    for (const QString &name : files)
        kept = kept || readFile(folder + '/' + name).contains(unreadable);
    QVERIFY2(kept, qPrintable(QStringLiteral("no file holds the unreadable list any more: ")
                              + files.join(QStringLiteral(", "))));
}

void FileSafetyTest::lockLeftByAKilledProcessDoesNotStallTheNextStart_data()
{
    QTest::addColumn<QByteArray>("lockContent");
    // QSettings takes a lock file beside the preferences for every write. A process killed
    // (or a machine losing power) right after creating it leaves it empty.
    QTest::newRow("empty: killed while taking the lock") << QByteArray();
    QTest::newRow("naming a process that is gone")
        << QByteArray("2147483646\nlorvane\n") + QSysInfo::machineHostName().toUtf8() + '\n';
}

void FileSafetyTest::lockLeftByAKilledProcessDoesNotStallTheNextStart()
{
    QFETCH(QByteArray, lockContent);
    {
        Preferences writer;
        QVERIFY(writer.setTasksDocument(
            R"([{"id":"5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B","text":"pan","isDone":false}])"));
    }
    const QString lock = configFolder() + QStringLiteral("/lorvane.conf.lock");
    QVERIFY(writeFile(lock, lockContent));
    // A kill during the write itself leaves Qt's temporary file too.
    const QString temporary = configFolder() + QStringLiteral("/lorvane.conf.a1B2c3");
    QVERIFY(writeFile(temporary, "[General]\n"));

    // Only one Lorvane runs per user, so what a save leaves behind belongs to no one. A lock
    // left to grow old (Qt waits 30 s for an empty one) would stall the first save.
    Preferences preferences;
    QVERIFY(!QFile::exists(lock));
    QVERIFY(!QFile::exists(temporary));
    TaskStore store(preferences);
    store.append(TaskItem(QStringLiteral("leche")));

    QVERIFY(store.isSaved());
    QCOMPARE(texts(decodedFile(preferences)),
             QStringList({QStringLiteral("pan"), QStringLiteral("leche")}));
}

QTEST_GUILESS_MAIN(FileSafetyTest)
#include "tst_filesafety.moc"
