// The task list on disk under hostile conditions: a permissive umask, a folder that cannot be
// written, a full disk, leftovers of an interrupted save. Files stay private, failed saves keep
// the list in memory with one warning each, and the next good save writes the whole list.
#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <functional>
#include <memory>

namespace {

const QByteArray validList =
    R"([{"id":"5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B","text":"pan","isDone":false}])";

QString modeOf(const QString &path)
{
    struct stat info {
    };
    ::stat(QFile::encodeName(path).constData(), &info);
    return QString::number(info.st_mode & 07777, 8);
}

int chmodPath(const QString &path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode);
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

// How many messages (warnings included) the action gives.
int messagesDuring(const std::function<void()> &action)
{
    static int count;
    count = 0;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &) { ++count; });
    action();
    qInstallMessageHandler(previous);
    return count;
}

QStringList texts(const QList<TaskItem> &tasks)
{
    QStringList result;
    for (const TaskItem &task : tasks)
        result.append(task.text + (task.isDone ? QStringLiteral(" [done]") : QString()));
    return result;
}

QStringList textsAfterRestart()
{
    Preferences restarted;
    return texts(TaskStore(restarted).tasks());
}

// Root ignores file modes: drop the capabilities that override them while this lives.
class FileModesEnforced
{
public:
    FileModesEnforced()
    {
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &=
            ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        m_active = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~FileModesEnforced()
    {
        if (m_active)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    Q_DISABLE_COPY_MOVE(FileModesEnforced)

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};

bool canCreateIn(const QString &folder)
{
    QFile probe(folder + QStringLiteral("/.probe"));
    return probe.open(QIODevice::WriteOnly) && probe.remove();
}

} // namespace

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
    void leftoversOfAnInterruptedSaveAreCleared_data();
    void leftoversOfAnInterruptedSaveAreCleared();

private:
    QString folder() const { return m_home->path() + QStringLiteral("/lorvane"); }

    std::unique_ptr<QTemporaryDir> m_home;
    bool m_privateMounts = false;
    QString m_mountPoint;
};

void FileSafetyTest::initTestCase()
{
    // A private mount namespace lets the full-disk rows mount a tiny tmpfs no one else sees.
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
    if (!m_mountPoint.isEmpty())
        ::umount2(QFile::encodeName(m_mountPoint).constData(), MNT_DETACH);
    m_mountPoint.clear();
    chmodPath(folder(), 0700);
    m_home.reset();
}

void FileSafetyTest::privateUnderPermissiveUmask_data()
{
    QTest::addColumn<int>("folderMode"); // 0: left as created
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("backedUp");

    QTest::newRow("first start") << 0 << 0 << QByteArray() << false;
    QTest::newRow("folder left world-writable") << 0777 << 0 << QByteArray() << false;
    QTest::newRow("file left world-readable") << 0755 << 0666 << validList << false;
    QTest::newRow("unreadable list backed up")
        << 0 << 0 << QByteArray(R"([{"id":"5F1C","text":"pan","isDone":false}])") << true;
}

void FileSafetyTest::privateUnderPermissiveUmask()
{
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QFETCH(QByteArray, stored);
    QFETCH(bool, backedUp);

    const mode_t previousMask = ::umask(0);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });
    if (!stored.isEmpty())
        QVERIFY(Preferences().setTasksDocument(stored));
    if (folderMode) {
        QVERIFY(QDir().mkpath(folder()));
        QCOMPARE(chmodPath(folder(), folderMode), 0);
    }
    if (fileMode)
        QCOMPARE(chmodPath(folder() + QStringLiteral("/lorvane.conf"), fileMode), 0);

    Preferences preferences;
    std::unique_ptr<TaskStore> store;
    messagesDuring([&] {
        store = std::make_unique<TaskStore>(preferences);
        store->append(TaskItem(QStringLiteral("leche #compra")));
    });
    QVERIFY(store->isSaved());

    QCOMPARE(QFileInfo(preferences.filePath()).absolutePath(), folder());
    QCOMPARE(modeOf(folder()), QStringLiteral("700"));
    const QStringList files = QDir(folder()).entryList(QDir::Files | QDir::Hidden);
    QVERIFY(files.contains(QStringLiteral("lorvane.conf")));
    for (const QString &name : files)
        QCOMPARE(name + ' ' + modeOf(folder() + '/' + name), name + QStringLiteral(" 600"));
    const QStringList backups = files.filter(QStringLiteral("unreadable-tasks-"));
    QCOMPARE(backups.size(), backedUp ? 1 : 0);
    if (backedUp)
        QCOMPARE(readFile(folder() + '/' + backups.first()), stored);
}

void FileSafetyTest::failedSavesKeepTheListAndRecover_data()
{
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("read-only folder") << false;
    QTest::newRow("full disk") << true;
}

void FileSafetyTest::failedSavesKeepTheListAndRecover()
{
    QFETCH(bool, fullDisk);
    const QString dir = folder();
    if (fullDisk) {
        if (!m_privateMounts)
            QSKIP("mounting a small tmpfs needs root in a mount namespace of its own");
        m_mountPoint = m_home->path();
        QCOMPARE(::mount("lorvane-test", QFile::encodeName(m_mountPoint).constData(), "tmpfs", 0,
                         "size=256k,mode=0700"),
                 0);
    }

    Preferences preferences;
    TaskStore store(preferences);
    store.append(TaskItem(QStringLiteral("uno #a")));
    QVERIFY(store.isSaved());
    const QByteArray savedBefore = readFile(preferences.filePath());
    QVERIFY(!savedBefore.isEmpty());

    std::unique_ptr<FileModesEnforced> modesEnforced;
    std::function<void()> repair;
    if (!fullDisk) {
        QCOMPARE(chmodPath(dir, 0500), 0);
        modesEnforced = std::make_unique<FileModesEnforced>();
        repair = [&] {
            modesEnforced.reset();
            chmodPath(dir, 0700);
        };
        if (canCreateIn(dir))
            QSKIP("this process can write into a read-only folder");
    } else {
        QFile filler(m_home->path() + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        repair = [path = filler.fileName()] { QFile::remove(path); };
    }

    // Two changes while the disk refuses: both kept in memory, one warning each.
    QCOMPARE(messagesDuring([&] { store.append(TaskItem(QStringLiteral("dos #b"))); }), 1);
    QVERIFY(!store.isSaved());
    TaskItem first = store.tasks().first();
    first.isDone = true;
    QCOMPARE(messagesDuring([&] { store.replaceTask(first); }), 1);
    QVERIFY(!store.isSaved());
    QCOMPARE(texts(store.tasks()), QStringList({"uno #a [done]", "dos #b"}));

    repair();
    QCOMPARE(readFile(preferences.filePath()), savedBefore);
    QCOMPARE(messagesDuring([&] { store.append(TaskItem(QStringLiteral("tres"))); }), 0);
    QVERIFY(store.isSaved());
    QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList({"lorvane.conf"}));
    QCOMPARE(textsAfterRestart(), QStringList({"uno #a [done]", "dos #b", "tres"}));
}

void FileSafetyTest::unreadableListSurvivesAFolderThatWasReadOnlyAtStart()
{
    const QByteArray unreadable =
        R"([{"id":"5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B","text":"mi lista","isDone":"no"}])";
    QVERIFY(Preferences().setTasksDocument(unreadable));
    QCOMPARE(chmodPath(folder(), 0500), 0);

    Preferences preferences;
    std::unique_ptr<TaskStore> store;
    {
        FileModesEnforced modesEnforced;
        if (canCreateIn(folder()))
            QSKIP("this process can write into a read-only folder");
        QVERIFY(messagesDuring([&] { store = std::make_unique<TaskStore>(preferences); }) > 0);
    }
    QVERIFY(store->tasks().isEmpty());

    QCOMPARE(chmodPath(folder(), 0700), 0);
    store->append(TaskItem(QStringLiteral("nueva")));
    QVERIFY(store->isSaved());
    const QStringList files = QDir(folder()).entryList(QDir::Files);
    QVERIFY2(std::any_of(files.begin(), files.end(),
                         [&](const QString &name) {
                             return readFile(folder() + '/' + name).contains(unreadable);
                         }),
             qPrintable(QStringLiteral("unreadable list lost; files: ") + files.join(", ")));
}

void FileSafetyTest::leftoversOfAnInterruptedSaveAreCleared_data()
{
    QTest::addColumn<QByteArray>("lockContent");
    QTest::newRow("empty lock: killed while taking it") << QByteArray();
    QTest::newRow("lock of a process that is gone")
        << QByteArray("2147483646\nlorvane\n") + QSysInfo::machineHostName().toUtf8() + '\n';
}

void FileSafetyTest::leftoversOfAnInterruptedSaveAreCleared()
{
    QFETCH(QByteArray, lockContent);
    QVERIFY(Preferences().setTasksDocument(validList));
    const QString lock = folder() + QStringLiteral("/lorvane.conf.lock");
    const QString temporary = folder() + QStringLiteral("/lorvane.conf.a1B2c3");
    QVERIFY(writeFile(lock, lockContent));
    QVERIFY(writeFile(temporary, "[General]\n"));

    // Qt would wait 30 s on an empty lock before the first save.
    Preferences preferences;
    QVERIFY(!QFile::exists(lock));
    QVERIFY(!QFile::exists(temporary));
    TaskStore store(preferences);
    store.append(TaskItem(QStringLiteral("leche")));
    QVERIFY(store.isSaved());
    QCOMPARE(textsAfterRestart(), QStringList({"pan", "leche"}));
}

QTEST_GUILESS_MAIN(FileSafetyTest)
#include "tst_filesafety.moc"
