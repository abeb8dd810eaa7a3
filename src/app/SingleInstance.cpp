#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

namespace {

const QByteArray reopenCommand = QByteArrayLiteral("reopen\n");
const QByteArray acknowledgement = QByteArrayLiteral("ok\n");
// A client that says nothing is dropped after this long.
constexpr int clientTimeoutMsec = 5000;
// How long a second launch waits for the running process to confirm a reopen.
constexpr int acknowledgementTimeoutMsec = 2000;
constexpr int retryDelayMsec = 25;

QString defaultDirectory()
{
    // XDG_RUNTIME_DIR: private to the user (0700) and emptied at logout. Qt falls back to a
    // private folder under /tmp when it is not set.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

} // namespace

SingleInstance::SingleInstance(const QString &directory, QObject *parent)
    : QObject(parent), m_directory(directory.isEmpty() ? defaultDirectory() : directory),
      m_lock(QDir(m_directory).filePath(QStringLiteral("lorvane.lock")))
{
    // Only a dead owner makes the lock stale, never its age: the running process holds it
    // for days.
    m_lock.setStaleLockTime(0);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

SingleInstance::~SingleInstance()
{
    // Stop listening before the lock goes, so that a launch in between never finds a
    // socket whose owner is already gone for good.
    m_server.close();
}

QString SingleInstance::lockPath() const
{
    return m_lock.fileName();
}

QString SingleInstance::socketPath() const
{
    return QDir(m_directory).filePath(QStringLiteral("lorvane.socket"));
}

SingleInstance::Role SingleInstance::start(int timeoutMsec)
{
    QDir().mkpath(m_directory);
    const QDeadlineTimer deadline(timeoutMsec);
    for (;;) {
        if (sendReopen(acknowledgementTimeoutMsec))
            return Role::Secondary;

        // Qt removes a lock whose owner died (its pid is gone) before trying.
        if (m_lock.tryLock(0)) {
            // Whatever socket is there belongs to a process that no longer holds the lock.
            QLocalServer::removeServer(socketPath());
            if (!m_server.listen(socketPath())) {
                // Still the only instance; later launches will wait and then give up.
                qWarning("lorvane: cannot listen on %s: %s", qPrintable(socketPath()),
                         qPrintable(m_server.errorString()));
            }
            return Role::Primary;
        }
        if (m_lock.error() != QLockFile::LockFailedError) {
            m_error = QStringLiteral("cannot create the lock file %1").arg(lockPath());
            return Role::Failed;
        }
        // Another process holds the lock: it is starting and will listen in a moment, or
        // it is quitting and will release the lock.
        if (deadline.hasExpired()) {
            qint64 pid = 0;
            QString host;
            QString application;
            m_lock.getLockInfo(&pid, &host, &application);
            m_error = QStringLiteral("Lorvane is already running (process %1) but does not "
                                     "answer on %2")
                          .arg(pid)
                          .arg(socketPath());
            return Role::Failed;
        }
        QThread::msleep(retryDelayMsec);
    }
}

bool SingleInstance::sendReopen(int timeoutMsec)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(timeoutMsec))
        return false;
    socket.write(reopenCommand);
    if (!socket.waitForBytesWritten(timeoutMsec))
        return false;
    // The request is in the running process's queue once written; the answer only tells
    // that it was read.
    QDeadlineTimer deadline(timeoutMsec);
    while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    if (!socket.canReadLine() || socket.readLine() != acknowledgement)
        qWarning("lorvane: the running instance did not confirm the reopen request");
    return true;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *client = m_server.nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        QTimer::singleShot(clientTimeoutMsec, client, &QLocalSocket::abort);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            while (client->canReadLine()) {
                const QByteArray line = client->readLine();
                if (line == reopenCommand) {
                    client->write(acknowledgement);
                    client->flush();
                    emit reopenRequested();
                }
            }
        });
    }
}
