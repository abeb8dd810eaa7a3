#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// The test program doubles as a Lorvane stand-in: with this variable set it only takes part
// in the single-instance protocol in the named folder, printing its role and each reopen.
// All of them talk over the test's own session bus.
const char *const holderVariable = "TST_SINGLEINSTANCE_DIR";

int runHolder(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(qEnvironmentVariable(holderVariable));
    const SingleInstance::Role role = instance.start();
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
    return app.exec();
}

std::unique_ptr<QProcess> startHolder(const QString &directory)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(holderVariable), directory);
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
    void killedInstanceLeavesNothingInTheWay();
    void simultaneousLaunchesGiveOneInstance();
    void silentLockHolderIsNotOverruled();
};

void TestSingleInstance::killedInstanceLeavesNothingInTheWay()
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
}

void TestSingleInstance::simultaneousLaunchesGiveOneInstance()
{
    QTemporaryDir directory;
    std::vector<std::unique_ptr<QProcess>> launches;
    for (int i = 0; i < 6; ++i)
        launches.push_back(startHolder(directory.path()));
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
    // Every secondary launch was heard by the one primary.
    for (int i = 0; i < 5; ++i)
        QCOMPARE(readLine(*primary), QByteArray("reopen"));
    primary->kill();
    primary->waitForFinished();
}

void TestSingleInstance::silentLockHolderIsNotOverruled()
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

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(holderVariable))
        return runHolder(argc, argv);
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
