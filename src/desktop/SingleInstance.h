#pragma once

#include <QDBusContext>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

// One running Lorvane per user. The first process takes a lock file in the user's runtime
// folder and then answers on the session bus under the application's name, through the
// interface desktops use to activate a running program; a later launch finds the lock
// taken, asks the running process over the bus to reopen its window (or to add a task, as
// the action "add" of that interface), and exits. Two
// launches at the same moment still give one process: only the lock holder answers, and the
// other waits for it to. A lock left behind by a killed process is recognised and taken
// over; the bus forgets a dead process's name by itself.
class SingleInstance : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    enum class Role {
        // This process holds the lock and receives reopen requests once it listens.
        Primary,
        // Another process runs and has been asked to reopen its window.
        Secondary,
        // Neither: the lock is held by a process that does not answer, or cannot be taken.
        Failed,
    };
    Q_ENUM(Role)

    // directory holds the lock; by default the user's runtime directory.
    explicit SingleInstance(const QString &directory = QString(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock when no other process holds it, at once and without the bus (nor an
    // application object): true when this process is now the primary.
    bool tryToBePrimary();

    // Becomes the primary, or hands `taskToAdd` (or, without one, a reopen) to the process
    // that is. Blocks for at most timeoutMsec while another process starts up. Needs an
    // application object for the bus.
    Role start(int timeoutMsec = 5000, const std::optional<QString> &taskToAdd = std::nullopt);

    // The primary answers later launches from here on. Kept apart from start() so that the
    // first frame does not wait for the bus.
    void listen();
    // The quitting process stops taking requests but keeps the lock until it is gone, so a
    // launch meanwhile waits for it and then starts afresh.
    void stopListening();

    // Gives the lock up at once, for a process that starts again in its own place.
    void releaseLock() { m_lock.unlock(); }
    QString lockPath() const { return m_lock.fileName(); }
    // Why start() failed, for the user.
    QString errorString() const { return m_error; }

    // What a launch from the desktop passes on about itself: the startup notification id or
    // the activation token its launcher gave it, if any.
    static QVariantMap launchPlatformData();

public slots:
    // org.freedesktop.Application, as called by a later launch (or a desktop's launcher).
    Q_SCRIPTABLE void Activate(const QVariantMap &platformData);
    // The one action is "add", with the task's text as its one parameter.
    Q_SCRIPTABLE void ActivateAction(const QString &name, const QVariantList &parameter,
                                     const QVariantMap &platformData);

signals:
    void reopenRequested(const QVariantMap &platformData);
    void addRequested(const QString &text);

private:
    enum class Delivery { Delivered, NobodyListens, Refused };
    Delivery deliver(const std::optional<QString> &taskToAdd, int timeoutMsec);

    QLockFile m_lock;
    bool m_listening = false;
    QString m_error;
};
