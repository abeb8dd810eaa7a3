// The whole load path on arbitrary bytes, as at start: the bytes are stored as the task list in
// a fresh preferences file and a task store is created over it. Either the list loads and the
// file already holds its normal form, or the list starts empty, the stored value is untouched
// and one private copy beside it holds exactly the bytes. Nothing else but the lock file is
// left in the folder.
#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "preferences/Preferences.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>

// A failed check ends the run as a sanitizer would, so that libFuzzer keeps the input.
#define CHECK(c) ((c) ? void() : (std::fprintf(stderr, "check failed: %s\n", #c), std::abort()))

// Never deleted, yet reachable: libFuzzer leaves through exit(), after which Qt may be gone.
QCoreApplication *application = nullptr;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    application = new QCoreApplication(*argc, *argv);
    // One config and state home, set once (a new value per input would leak): made by the load
    // path and removed after each input.
    const QString home =
        QDir::tempPath() + u"/lorvane-fuzz-%1"_qs.arg(QCoreApplication::applicationPid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + u"/config"_qs));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home + u"/state"_qs));
    // The warnings about unreadable lists would fill the log.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &) {
        if (type == QtFatalMsg)
            std::abort();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const char *data, std::size_t size)
{
    const QByteArray bytes(data, qsizetype(size));
    const std::optional<QList<TaskItem>> expected = TaskListCodec::decode(bytes);
    CHECK(Preferences().setTasksDocument(bytes));

    Preferences preferences;
    const TaskStore store(preferences);
    const QByteArray stored = preferences.tasksDocument().value_or("(absent)");
    const QDir folder = QFileInfo(preferences.filePath()).absoluteDir();
    const QStringList copies = folder.entryList({QStringLiteral("unreadable-tasks-*.json")});
    CHECK(folder.entryList(QDir::Files | QDir::Hidden).size() == 2 + copies.size());
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
    QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).removeRecursively();
    QDir(qEnvironmentVariable("XDG_STATE_HOME")).removeRecursively();
    return 0;
}
