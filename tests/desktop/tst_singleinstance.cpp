#include "desktop/SingleInstance.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// The test program doubles as a Lorvane stand-in: with this variable set it only takes part
// in the single-instance protocol in the named folder, printing its role and each request
// ("reopen", "add <text>"); with the second variable set it is a launch that adds that task.
// All of them talk over the test's own session bus.
const char *const holderVariable = "TST_SINGLEINSTANCE_DIR";
const char *const taskVariable = "TST_SINGLEINSTANCE_ADD";

int runHolder(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(qEnvironmentVariable(holderVariable));
    const std::optional<QString> task = qEnvironmentVariableIsSet(taskVariable)
                                            ? std::optional(qEnvironmentVariable(taskVariable))
                                            : std::nullopt;
    const SingleInstance::Role role = instance.start(5000, task);
    const auto say = [](const char *line) {
        std::printf("%s\n", line);
        std::fflush(stdout);
    };
    say(role == SingleInstance::Role::Primary     ? "primary"
        : role == SingleInstance::Role::Secondary ? "secondary"
                                                  : "failed");
    if (role != SingleInstance::Role::Primary)
        return 0;
    instance.listen();
    QObject::connect(&instance, &SingleInstance::reopenRequested, [&] { say("reopen"); });
    QObject::connect(&instance, &SingleInstance::addRequested,
                     [&](const QString &text) { say(qPrintable("add " + text)); });
    return app.exec();
}

std::unique_ptr<QProcess> startHolder(const QString &directory, const QString &task = {})
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(holderVariable), directory);
    if (!task.isEmpty())
        environment.insert(QString::fromLatin1(taskVariable), task);
    process->setProcessEnvironment(environment);
    process->start(QCoreApplication::applicationFilePath(), {});
    return process;
}

QByteArray readLine(QProcess &process)
{
    QDeadlineTimer deadline(10000);
    while (!process.canReadLine() && !deadline.hasExpired())
        process.waitForReadyRead(int(deadline.remainingTime()));
    return process.readLine().trimmed();
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void killedInstanceLeavesNothingInTheWay()
    {
        QTemporaryDir directory;
        std::unique_ptr<QProcess> killed = startHolder(directory.path());
        QCOMPARE(readLine(*killed), QByteArray("primary"));
        killed->kill(); // SIGKILL: no clean-up at all
        killed->waitForFinished();

        SingleInstance next(directory.path());
        QVERIFY(QFileInfo::exists(next.lockPath()));
        QCOMPARE(next.start(1000), SingleInstance::Role::Primary);
        next.listen();
        // And the new one is really in charge: a later launch reaches it.
        QSignalSpy reopens(&next, &SingleInstance::reopenRequested);
        std::unique_ptr<QProcess> later = startHolder(directory.path());
        QTRY_COMPARE(reopens.count(), 1);
        QCOMPARE(readLine(*later), QByteArray("secondary"));
        // Any action but "add" with one text is refused, and says so to the caller.
        QDBusMessage other = QDBusMessage::createMethodCall(
            "io.github.lorvane.Lorvane", "/io/github/lorvane/Lorvane",
            "org.freedesktop.Application", "ActivateAction");
        other << QString("remove") << QVariantList{QString("x")} << QVariantMap();
        QDBusPendingCall refused = QDBusConnection::sessionBus().asyncCall(other);
        QTRY_VERIFY(refused.isFinished());
        QCOMPARE(refused.error().type(), QDBusError::InvalidArgs);
    }
    void simultaneousLaunchesGiveOneInstance()
    {
        QTemporaryDir directory;
        std::vector<std::unique_ptr<QProcess>> launches;
        for (int i = 0; i < 6; ++i)
            launches.push_back(
                startHolder(directory.path(), i % 2 ? QString("tarea %1").arg(i) : ""));
        QProcess *primary = nullptr;
        int secondaries = 0;
        for (const auto &launch : launches) {
            const QByteArray role = readLine(*launch);
            QVERIFY2(role != "primary" || !primary, "two primaries");
            if (role == "primary")
                primary = launch.get();
            secondaries += role == "secondary";
        }
        QVERIFY(primary);
        QCOMPARE(secondaries, 5);
        // Every secondary launch was heard by the one primary, each with its own request; the
        // primary's own task, if it had one, is not its to hear.
        QStringList heard;
        for (int i = 0; i < 5; ++i)
            heard.append(QString::fromUtf8(readLine(*primary)));
        QStringList expected{"add tarea 1", "add tarea 3", "add tarea 5",
                             "reopen",      "reopen",      "reopen"};
        const int own =
            int(std::find_if(launches.begin(), launches.end(),
                             [&](const auto &launch) { return launch.get() == primary; }) -
                launches.begin());
        expected.removeOne(own % 2 ? QString("add tarea %1").arg(own) : QString("reopen"));
        heard.sort();
        QCOMPARE(heard, expected);
        primary->kill();
        primary->waitForFinished();
    }
    void silentLockHolderIsNotOverruled()
    {
        QTemporaryDir directory;
        SingleInstance probe(directory.path());
        // A live process holds the lock but never answers (hung during start-up, say): a launch
        // must not take over and write the same task list.
        QLockFile holder(probe.lockPath());
        QVERIFY(holder.tryLock());
        QCOMPARE(probe.start(300), SingleInstance::Role::Failed);
        QVERIFY(!probe.errorString().isEmpty());
    }
};

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(holderVariable))
        return runHolder(argc, argv);
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
