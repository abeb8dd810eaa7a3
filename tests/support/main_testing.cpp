// Lorvane with hooks for the end-to-end, crash and start-up tests. Built only for the tests:
// the installed binary has none.
//   LORVANE_TEST_SOCKET=path     listens there for commands, one per line ("name argument"),
//                                each answered with one line

#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/MainWindow.h"
#include "model/Tags.h"
#include "model/TaskStore.h"
#include "toolkit/Motion.h"
#include "views/ContentView.h"
#include "views/TaskListSection.h"
#include "views/TaskRow.h"

#include <QGuiApplication>
#include <QHash>
#include <QLocalServer>
#include <QLocalSocket>

#include <functional>

namespace {

using Command = std::function<QByteArray(const QByteArray &argument)>;

QHash<QByteArray, Command> commandsFor(RunningApplication &running)
{
    // References to the objects themselves: `running` goes away once start-up is over.
    ContentView &content = running.content;
    AppDelegate &delegate = running.delegate;
    MainWindow &window = running.window;
    const auto count = [&content] {
        return "tasks=" + QByteArray::number(content.store().tasks().size());
    };
    // Changes by store position, as the crash test tracks them; each answers with the count.
    const auto change = [&content, count](const std::function<void(TaskItem &)> &apply) {
        return [&content, count, apply](const QByteArray &argument) {
            bool ok = false;
            const int at = argument.split(' ').value(0).toInt(&ok);
            if (ok && at >= 0 && at < content.store().tasks().size()) {
                TaskItem task = content.store().tasks().at(at);
                apply(task);
                content.store().replaceTask(task);
            }
            return count();
        };
    };
    QHash<QByteArray, Command> commands;
    commands["tasks"] = [count](const QByteArray &) { return count(); };
    commands["add"] = [&content, count](const QByteArray &text) {
        content.addTask(QString::fromUtf8(text));
        return count();
    };
    commands["toggle"] = change([](TaskItem &task) { task.isDone = !task.isDone; });
    commands["priority"] = change([](TaskItem &task) { task.isPriority = !task.isPriority; });
    commands["delete"] = [&content, count](const QByteArray &argument) {
        const int at = argument.toInt();
        if (at >= 0 && at < content.store().tasks().size())
            content.deleteTask(content.store().tasks().at(at).id);
        return count();
    };
    commands["edit"] = [change](const QByteArray &argument) {
        const QString text = QString::fromUtf8(argument.mid(argument.indexOf(' ') + 1));
        return change([&text](TaskItem &task) {
            task.text = text;
            task.tags = extractTags(text);
        })(argument);
    };
    // The texts of the rows the list shows, in their order.
    commands["shown"] = [&content](const QByteArray &) {
        QStringList texts;
        for (const TaskRow *row : content.listSection()->rows())
            texts.append(row->task().text);
        return texts.join(u'|').toUtf8();
    };
    commands["fire-reminder"] = [&delegate](const QByteArray &) {
        delegate.reminderTimer().fire();
        return QByteArrayLiteral("ok");
    };
    commands["grab"] = [&window](const QByteArray &path) {
        return window.grab().save(QString::fromUtf8(path)) ? QByteArrayLiteral("ok")
                                                           : QByteArrayLiteral("error");
    };
    commands["animations"] = [](const QByteArray &) {
        return Motion::animationsEnabled() ? QByteArrayLiteral("on") : QByteArrayLiteral("off");
    };
    commands["platform"] = [](const QByteArray &) {
        return QGuiApplication::platformName().toUtf8();
    };
    commands["quit"] = [](const QByteArray &) {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return QByteArrayLiteral("ok");
    };
    return commands;
}

void listen(const QString &path, RunningApplication &running)
{
    // Owned by the window, so the socket lives as long as the application does.
    auto *server = new QLocalServer(&running.window);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(path);
    if (!server->listen(path))
        qWarning("lorvane: test hooks cannot listen on %s", qPrintable(path));
    QObject::connect(
        server, &QLocalServer::newConnection, server, [server, commands = commandsFor(running)] {
            while (QLocalSocket *client = server->nextPendingConnection()) {
                QObject::connect(client, &QLocalSocket::disconnected, client,
                                 &QObject::deleteLater);
                QObject::connect(client, &QLocalSocket::readyRead, client, [=] {
                    while (client->canReadLine()) {
                        const QByteArray line = client->readLine().trimmed();
                        const qsizetype space = line.indexOf(' ');
                        const QByteArray name = space < 0 ? line : line.left(space);
                        const QByteArray argument = space < 0 ? QByteArray() : line.mid(space + 1);
                        const Command command = commands.value(name);
                        client->write((command ? command(argument) : "error unknown command") +
                                      '\n');
                    }
                });
            }
        });
}

} // namespace

int main(int argc, char *argv[])
{
    return runApplication(argc, argv, [](RunningApplication &running) {
        if (const QString path = qEnvironmentVariable("LORVANE_TEST_SOCKET"); !path.isEmpty())
            listen(path, running);
    });
}
