#pragma once

#include <QByteArray>
#include <QHash>
#include <QLocalServer>
#include <QObject>

#include <functional>

// Lets end-to-end, crash and soak tests drive and inspect a running Lorvane. Only in the
// test build of the program, and only active when LORVANE_TEST_SOCKET names a socket path: the
// process then listens there for commands, one per line ("name argument"), and answers each
// with one line.
class TestHooks : public QObject
{
    Q_OBJECT

public:
    using Command = std::function<QByteArray(const QByteArray &argument)>;

    // Null when LORVANE_TEST_SOCKET is not set.
    static TestHooks *createFromEnvironment(QObject *parent);

    explicit TestHooks(const QString &socketPath, QObject *parent = nullptr);

    void addCommand(const QByteArray &name, Command command);

    // Writes the CLOCK_MONOTONIC time in nanoseconds to standard error, tagged with what,
    // so that a benchmark can measure against its own clock.
    static void reportTime(const char *what);

private:
    void acceptConnections();
    QByteArray run(const QByteArray &line);

    QLocalServer m_server;
    QHash<QByteArray, Command> m_commands;
};
