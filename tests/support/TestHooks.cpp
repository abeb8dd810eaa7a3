#include "TestHooks.h"

#include <QLocalSocket>

#include <cstdio>
#include <ctime>

TestHooks *TestHooks::createFromEnvironment(QObject *parent)
{
    const QString path = qEnvironmentVariable("LORVANE_TEST_SOCKET");
    if (path.isEmpty())
        return nullptr;
    return new TestHooks(path, parent);
}

TestHooks::TestHooks(const QString &socketPath, QObject *parent) : QObject(parent)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath);
    if (!m_server.listen(socketPath)) {
        qWarning("lorvane: test hooks cannot listen on %s: %s", qPrintable(socketPath),
                 qPrintable(m_server.errorString()));
    }
    connect(&m_server, &QLocalServer::newConnection, this, &TestHooks::acceptConnections);
    addCommand("ping", [](const QByteArray &) { return QByteArrayLiteral("pong"); });
}

void TestHooks::addCommand(const QByteArray &name, Command command)
{
    m_commands.insert(name, std::move(command));
}

void TestHooks::reportTime(const char *what)
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(stderr, "lorvane-time %s %lld\n", what,
                 static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    std::fflush(stderr);
}

void TestHooks::acceptConnections()
{
    while (QLocalSocket *client = m_server.nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            while (client->canReadLine()) {
                const QByteArray answer = run(client->readLine().trimmed());
                client->write(answer + '\n');
                client->flush();
            }
        });
    }
}

QByteArray TestHooks::run(const QByteArray &line)
{
    const qsizetype space = line.indexOf(' ');
    const QByteArray name = space < 0 ? line : line.left(space);
    const QByteArray argument = space < 0 ? QByteArray() : line.mid(space + 1);
    const auto command = m_commands.constFind(name);
    if (command == m_commands.cend())
        return QByteArrayLiteral("error unknown command");
    return command.value()(argument);
}
