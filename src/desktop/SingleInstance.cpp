#include "desktop/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

namespace {

// The application's id, as in its AppStream metadata, and the object path derived from it.
const QString serviceName = QStringLiteral("io.github.lorvane.Lorvane");
const QString objectPath = QStringLiteral("/io/github/lorvane/Lorvane");
// How long a second launch waits for the running process to answer a reopen.
constexpr int answerTimeoutMsec = 2000;
constexpr int retryDelayMsec = 25;

QString defaultDirectory()
{
    // XDG_RUNTIME_DIR: private to the user (0700) and emptied at logout. Qt falls back to a
    // private folder under /tmp when it is not set.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

} // namespace

SingleInstance::SingleInstance(const QString &directory, QObject *parent)
    : QObject(parent), m_lock(QDir(directory.isEmpty() ? defaultDirectory() : directory)
                                  .filePath(QStringLiteral("lorvane.lock")))
{
    // Only a dead owner makes the lock stale, never its age: the running process holds it
    // for days.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    // Give up the name before the lock goes, so that a launch in between never reaches a
    // process that is already gone for good.
    stopListening();
}

bool SingleInstance::tryToBePrimary()
{
    QDir().mkpath(QFileInfo(lockPath()).absolutePath());
    // Qt removes a lock whose owner died (its pid is gone) before trying.
    return m_lock.tryLock(0);
}

SingleInstance::Role SingleInstance::start(int timeoutMsec, const std::optional<QString> &taskToAdd)
{
    const QDeadlineTimer deadline(timeoutMsec);
    for (;;) {
        if (tryToBePrimary())
            return Role::Primary;
        if (m_lock.error() != QLockFile::LockFailedError) {
            m_error = QStringLiteral("cannot create the lock file %1").arg(lockPath());
            return Role::Failed;
        }
        switch (deliver(taskToAdd, answerTimeoutMsec)) {
        case Delivery::Delivered:
            return Role::Secondary;
        case Delivery::Refused:
            return Role::Failed;
        case Delivery::NobodyListens:
            break;
        }
        // Another process holds the lock: it is starting and will answer in a moment, or it
        // is quitting and will release the lock.
        if (deadline.hasExpired()) {
            qint64 pid = 0;
            QString host;
            QString application;
            m_lock.getLockInfo(&pid, &host, &application);
            m_error = QStringLiteral("Lorvane is already running (process %1) but does not "
                                     "answer on the session bus as %2")
                          .arg(pid)
                          .arg(serviceName);
            return Role::Failed;
        }
        QThread::msleep(retryDelayMsec);
    }
}

SingleInstance::Delivery SingleInstance::deliver(const std::optional<QString> &taskToAdd,
                                                 int timeoutMsec)
{
    QDBusMessage request = QDBusMessage::createMethodCall(
        serviceName, objectPath, QStringLiteral("org.freedesktop.Application"),
        taskToAdd ? QStringLiteral("ActivateAction") : QStringLiteral("Activate"));
    if (taskToAdd)
        request << QStringLiteral("add") << QVariantList{QVariant::fromValue(*taskToAdd)};
    request << launchPlatformData();
    // Nothing is started for the name: only a running Lorvane may answer.
    request.setAutoStartService(false);
    const QDBusMessage answer =
        QDBusConnection::sessionBus().call(request, QDBus::Block, timeoutMsec);
    if (answer.type() == QDBusMessage::ReplyMessage)
        return Delivery::Delivered;
    // A request that timed out was delivered all the same; sending it again would act twice.
    if (answer.errorName() == QDBusError::errorString(QDBusError::NoReply)) {
        qWarning("lorvane: the running instance did not confirm the request");
        return Delivery::Delivered;
    }
    // The running process answered but will not do it (an action it does not know).
    if (answer.errorName() == QDBusError::errorString(QDBusError::InvalidArgs) ||
        answer.errorName() == QDBusError::errorString(QDBusError::UnknownMethod)) {
        m_error = QStringLiteral("the running instance refused the request: %1")
                      .arg(answer.errorMessage());
        return Delivery::Refused;
    }
    // Nobody owns the name, yet or any more: the lock holder is starting or quitting.
    return Delivery::NobodyListens;
}

QVariantMap SingleInstance::launchPlatformData()
{
    QVariantMap data;
    if (const QString id = qEnvironmentVariable("DESKTOP_STARTUP_ID"); !id.isEmpty())
        data.insert(QStringLiteral("desktop-startup-id"), id);
    if (const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN"); !token.isEmpty())
        data.insert(QStringLiteral("activation-token"), token);
    return data;
}

void SingleInstance::listen()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots) ||
        !bus.registerService(serviceName)) {
        // Still the only instance; later launches will wait and then give up.
        qWarning("lorvane: cannot answer on the session bus as %s: %s", qPrintable(serviceName),
                 qPrintable(bus.lastError().message()));
        return;
    }
    m_listening = true;
}

void SingleInstance::stopListening()
{
    if (!m_listening)
        return;
    m_listening = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(serviceName);
    bus.unregisterObject(objectPath);
}

void SingleInstance::Activate(const QVariantMap &platformData)
{
    emit reopenRequested(platformData);
}

void SingleInstance::ActivateAction(const QString &name, const QVariantList &parameter,
                                    const QVariantMap &)
{
    // Each element of the "av" parameter may still be wrapped as a D-Bus variant.
    const QVariant first = parameter.value(0);
    const QVariant text = first.metaType() == QMetaType::fromType<QDBusVariant>()
                              ? first.value<QDBusVariant>().variant()
                              : first;
    if (name != QLatin1String("add") || parameter.size() != 1 ||
        text.metaType() != QMetaType::fromType<QString>()) {
        if (calledFromDBus())
            sendErrorReply(QDBusError::InvalidArgs,
                           QStringLiteral("the only action is \"add\", with the task's text"));
        return;
    }
    emit addRequested(text.toString());
}
