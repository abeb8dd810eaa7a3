#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

// One running Lorvane per user. The first process takes a lock file and listens on a local
// socket beside it; a later launch finds the socket, asks the running process to reopen its
// window and then exits. Two launches at the same moment still give one process: only the
// lock holder listens, and the other waits for it to answer. A lock or socket left behind
// by a process that was killed is recognised and taken over.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        // This process holds the lock and receives reopen requests.
        Primary,
        // Another process runs and has been asked to reopen its window.
        Secondary,
        // Neither: the lock is held by a process that does not answer, or cannot be taken.
        Failed,
    };
    Q_ENUM(Role)

    // directory holds the lock and the socket; by default the user's runtime directory.
    explicit SingleInstance(const QString &directory = QString(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // Blocks for at most timeoutMsec while another process starts up.
    Role start(int timeoutMsec = 5000);

    // The quitting process stops taking requests but keeps the lock until it is gone, so a
    // launch meanwhile waits for it and then starts afresh.
    void stopListening() { m_server.close(); }

    QString lockPath() const;
    QString socketPath() const;
    // Why start() failed, for the user.
    QString errorString() const { return m_error; }

signals:
    void reopenRequested();

private:
    bool sendReopen(int timeoutMsec);
    void acceptConnections();

    QString m_directory;
    QLockFile m_lock;
    QLocalServer m_server;
    QString m_error;
};
