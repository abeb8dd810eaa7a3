// Lorvane with the hooks that end-to-end, crash and start-up tests drive through a local
// socket (LORVANE_TEST_SOCKET). Built only for the tests: the installed binary has none.

#include "TestHooks.h"

#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/MainWindow.h"
#include "model/Tags.h"
#include "model/TaskStore.h"
#include "views/ContentView.h"
#include "views/TaskListSection.h"
#include "views/TaskRow.h"

#include <QGuiApplication>
#include <QScreen>

#include <optional>

namespace {

QByteArray rectText(const QRect &rect)
{
    return QByteArray::number(rect.x()) + ',' + QByteArray::number(rect.y()) + ',' +
           QByteArray::number(rect.width()) + ',' + QByteArray::number(rect.height());
}

// The task at a store position given as the command's first word, if there is one.
std::optional<TaskItem> taskAt(ContentView &content, const QByteArray &argument)
{
    bool ok = false;
    const int position = argument.split(' ').value(0).toInt(&ok);
    const QList<TaskItem> &tasks = content.store().tasks();
    if (!ok || position < 0 || position >= tasks.size())
        return std::nullopt;
    return tasks.at(position);
}

QByteArray taskCount(ContentView &content)
{
    return "tasks=" + QByteArray::number(content.store().tasks().size());
}

void addTestCommands(TestHooks &hooks, AppDelegate &delegate, MainWindow &window,
                     ContentView &content)
{
    hooks.addCommand("fire-reminder", [&delegate](const QByteArray &) {
        delegate.reminderTimer().fire();
        return QByteArrayLiteral("ok");
    });
    hooks.addCommand("add", [&content](const QByteArray &text) {
        content.addTask(QString::fromUtf8(text));
        return "tasks=" + QByteArray::number(content.store().tasks().size());
    });
    hooks.addCommand("tasks", [&content](const QByteArray &) { return taskCount(content); });
    // The texts of the rows the list shows, in their order.
    hooks.addCommand("shown", [&content](const QByteArray &) {
        QStringList texts;
        for (const TaskRow *row : content.listSection()->rows())
            texts.append(row->task().text);
        return texts.join(u'|').toUtf8();
    });
    // Changes by store position, as the crash test tracks them; each answers with the count.
    hooks.addCommand("toggle", [&content](const QByteArray &argument) {
        if (auto task = taskAt(content, argument)) {
            task->isDone = !task->isDone;
            content.store().replaceTask(*task);
        }
        return taskCount(content);
    });
    hooks.addCommand("priority", [&content](const QByteArray &argument) {
        if (auto task = taskAt(content, argument)) {
            task->isPriority = !task->isPriority;
            content.store().replaceTask(*task);
        }
        return taskCount(content);
    });
    hooks.addCommand("edit", [&content](const QByteArray &argument) {
        if (auto task = taskAt(content, argument)) {
            task->text = QString::fromUtf8(argument.mid(argument.indexOf(' ') + 1));
            task->tags = extractTags(task->text);
            content.store().replaceTask(*task);
        }
        return taskCount(content);
    });
    hooks.addCommand("delete", [&content](const QByteArray &argument) {
        if (auto task = taskAt(content, argument))
            content.deleteTask(task->id);
        return taskCount(content);
    });
    hooks.addCommand("grab", [&window](const QByteArray &path) {
        return window.grab().save(QString::fromUtf8(path)) ? QByteArrayLiteral("ok")
                                                           : QByteArrayLiteral("error");
    });
    hooks.addCommand("screens", [](const QByteArray &) {
        const QScreen *primary = QGuiApplication::primaryScreen();
        if (!primary)
            return QByteArrayLiteral("count=0");
        return "count=" + QByteArray::number(QGuiApplication::screens().size()) +
               " primary=" + primary->name().toUtf8() +
               " geometry=" + rectText(primary->geometry()) +
               " available=" + rectText(primary->availableGeometry()) +
               " scale=" + QByteArray::number(primary->devicePixelRatio()) +
               " platform=" + QGuiApplication::platformName().toUtf8();
    });
    hooks.addCommand("quit", [](const QByteArray &) {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return QByteArrayLiteral("ok");
    });
}

} // namespace

int main(int argc, char *argv[])
{
    return runApplication(argc, argv, [](RunningApplication &running) {
        // Owned by the window, so the socket lives as long as the application does.
        if (TestHooks *hooks = TestHooks::createFromEnvironment(&running.window))
            addTestCommands(*hooks, running.delegate, running.window, running.content);
        // "quit" ends the program right after its first frame, for profiling start-up.
        const QByteArray firstFrame = qgetenv("LORVANE_REPORT_FIRST_FRAME");
        if (!firstFrame.isEmpty()) {
            QObject::connect(&running.window, &MainWindow::firstFrameShown, &running.window,
                             [quit = firstFrame == "quit"] {
                                 TestHooks::reportTime("first-frame");
                                 if (quit)
                                     QCoreApplication::quit();
                             });
        }
    });
}
