// The whole load path on arbitrary bytes, as at start: the bytes are stored as the task list in
// a fresh preferences file and a task store is created over it. Either the list loads and the
// file already holds its normal form, or the list starts empty, the stored value is untouched
// and exactly one private copy beside it holds exactly the bytes.
#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "platform/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define CHECK(condition)                                                                           \
    if (!(condition)) {                                                                            \
        std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);         \
        std::abort();                                                                              \
    }

// Never deleted, yet reachable: libFuzzer leaves through exit(), after which Qt's globals may be
// gone.
QCoreApplication *application = nullptr;
QTemporaryDir *home = nullptr;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    application = new QCoreApplication(*argc, *argv);
    // One config home under $TMPDIR for the whole run, set once (a new value per input would
    // leak the old one), emptied after every input.
    home = new QTemporaryDir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home->path()));
    // The warnings about unreadable lists would fill the log with a line per input.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &) {
        if (type == QtFatalMsg)
            std::abort();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QList<TaskItem>> expected = TaskListCodec::decode(bytes);
    CHECK(Preferences().setTasksDocument(bytes));

    Preferences preferences;
    const TaskStore store(preferences);
    const QByteArray stored = preferences.tasksDocument().value_or("(absent)");
    QDir folder = QFileInfo(preferences.filePath()).absoluteDir();
    const QStringList copies = folder.entryList({QStringLiteral("unreadable-tasks-*.json")});
    if (expected) {
        CHECK(TaskListCodec::encode(store.tasks()) == TaskListCodec::encode(*expected));
        CHECK(stored == TaskListCodec::encode(*expected) && copies.isEmpty());
    } else {
        CHECK(store.tasks().isEmpty() && stored == bytes && copies.size() == 1);
        QFile copy(folder.filePath(copies.first()));
        CHECK(copy.permissions() ==
              (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser));
        CHECK(copy.open(QIODevice::ReadOnly) && copy.readAll() == bytes);
    }
    folder.removeRecursively();
    return 0;
}
