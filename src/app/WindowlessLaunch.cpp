#include "app/WindowlessLaunch.h"

#include "desktop/SingleInstance.h"
#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "preferences/Preferences.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

namespace {

void tell(const QString &line)
{
    std::fprintf(stderr, "lorvane: %s\n", qPrintable(line));
}

int addToStoredList(const QString &text)
{
    Preferences preferences;
    // A list that cannot be read is for the window to offer back; nothing is added to it.
    if (const std::optional<QByteArray> document = preferences.tasksDocument();
        document && !TaskListCodec::decode(*document)) {
        tell(QStringLiteral("no se pudo leer la lista guardada; abre Lorvane para recuperarla. "
                            "La tarea no se añadió."));
        return 1;
    }
    TaskStore store(preferences);
    store.append(TaskItem(text));
    if (!store.saveProblem())
        return 0;
    const QString copy = store.saveBeforeQuit();
    if (!store.saveProblem())
        return 0;
    tell(copy.isEmpty() ? QStringLiteral("no se pudo guardar la tarea (%1).")
                              .arg(store.saveProblem()->toString())
                        : QStringLiteral("no se pudo guardar la tarea (%1); se guardó en %2 y "
                                         "Lorvane la ofrecerá al abrirse.")
                              .arg(store.saveProblem()->toString(), copy));
    return 1;
}

} // namespace

int runWindowlessLaunch(int argc, char *argv[], SingleInstance &instance,
                        const LaunchRequest &request)
{
    QCoreApplication app(argc, argv);
    switch (instance.start(5000, request.taskToAdd)) {
    case SingleInstance::Role::Secondary:
        return 0;
    case SingleInstance::Role::Failed:
        tell(instance.errorString());
        return 1;
    case SingleInstance::Role::Primary:
        break;
    }
    if (request.taskToAdd)
        return addToStoredList(*request.taskToAdd);
    // The running process quit while this launch waited for it: this one becomes the window,
    // as a new process image (the lock is taken again there, under the same pid).
    instance.releaseLock();
    execv("/proc/self/exe", argv);
    tell(QStringLiteral("cannot start again: %1").arg(QString::fromLocal8Bit(strerror(errno))));
    return 1;
}
