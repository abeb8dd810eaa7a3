// The whole load path on arbitrary bytes: the bytes are stored as the task list in a fresh
// preferences file, then a task store is created over it, as at start-up. Either a list is
// loaded and the file already holds its normal form, or the list is empty, the stored value
// is untouched and exactly one backup beside the preferences holds exactly the bytes.
#include "FuzzSupport.h"

#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "platform/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Lives until the process ends: libFuzzer leaves through exit(), after which Qt's own
// globals may already be gone.
QCoreApplication *application = nullptr;

QString scratchRoot()
{
    const QByteArray root = qgetenv("LORVANE_FUZZ_TMP");
    return root.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(root);
}

// A fresh, empty XDG_CONFIG_HOME for one input, removed afterwards. The variable lives in a
// buffer of our own: setenv() would leak the previous value at every input, and libFuzzer
// then runs a full leak check after each one.
class ConfigHome
{
public:
    ConfigHome()
    {
        static char variable[4096];
        static bool installed = false;
        static unsigned counter = 0;
        m_path =
            scratchRoot() + QStringLiteral("/load-%1").arg(++counter, 10, 10, QLatin1Char('0'));
        const QByteArray assignment = "XDG_CONFIG_HOME=" + QFile::encodeName(m_path);
        FUZZ_CHECK(assignment.size() < qsizetype(sizeof variable));
        std::memcpy(variable, assignment.constData(), size_t(assignment.size()) + 1);
        if (!installed)
            installed = ::putenv(variable) == 0;
        FUZZ_CHECK(installed);
        FUZZ_CHECK(QDir().mkpath(m_path));
    }

    ~ConfigHome() { QDir(m_path).removeRecursively(); }

    QString path() const { return m_path; }

private:
    QString m_path;
};

// The stored warnings would fill the log with one line per rejected input.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "fatal: %s\n", qPrintable(message));
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    application = new QCoreApplication(*argc, *argv);
    qInstallMessageHandler(quietMessages);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const ConfigHome configHome;
    {
        Preferences writer;
        FUZZ_CHECK(writer.setTasksDocument(bytes));
    }

    const std::optional<QList<TaskItem>> expected = TaskListCodec::decode(bytes);

    Preferences preferences;
    const QString folder = QFileInfo(preferences.filePath()).absolutePath();
    FUZZ_CHECK(folder.startsWith(configHome.path()));

    TaskStore store(preferences);
    const std::optional<QByteArray> stored = preferences.tasksDocument();
    FUZZ_CHECK(stored.has_value());
    const QStringList backups =
        QDir(folder).entryList({QStringLiteral("unreadable-tasks-*.json")}, QDir::Files);

    if (expected) {
        if (!sameTasks(store.tasks(), *expected))
            describeDifference(store.tasks(), *expected);
        FUZZ_CHECK(sameTasks(store.tasks(), *expected));
        FUZZ_CHECK(*stored == TaskListCodec::encode(*expected));
        FUZZ_CHECK(backups.isEmpty());
    } else {
        FUZZ_CHECK(store.tasks().isEmpty());
        FUZZ_CHECK(*stored == bytes);
        FUZZ_CHECK(backups.size() == 1);
        QFile backup(folder + QLatin1Char('/') + backups.first());
        FUZZ_CHECK(backup.open(QIODevice::ReadOnly));
        FUZZ_CHECK(backup.readAll() == bytes);
        FUZZ_CHECK(backup.permissions() == (QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadUser | QFileDevice::WriteUser));
    }
    return 0;
}
