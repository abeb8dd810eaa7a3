#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// The test program doubles as a Lorvane stand-in: with this variable set it only takes
// part in the single-instance protocol in the named folder and reports on standard output.
const char *const holderVariable = "TST_SINGLEINSTANCE_DIR";

int runHolder(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(qEnvironmentVariable(holderVariable));
    const SingleInstance::Role role = instance.start();
    std::printf("%s\n", role == SingleInstance::Role::Primary   ? "primary"
                        : role == SingleInstance::Role::Secondary ? "secondary"
                                                                  : "failed");
    std::fflush(stdout);
    if (role != SingleInstance::Role::Primary)
        return 0;
    QObject::connect(&instance, &SingleInstance::reopenRequested, [] {
        std::printf("reopen\n");
        std::fflush(stdout);
    });
    return app.exec();
}

std::unique_ptr<QProcess> startHolder(const QString &directory)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(holderVariable), directory);
    process->setProcessEnvironment(environment);
    process->setProgram(QCoreApplication::applicationFilePath());
    process->start();
    return process;
}

QByteArray readLine(QProcess &process)
{
    QDeadlineTimer deadline(10000);
    while (!process.canReadLine() && !deadline.hasExpired())
        process.waitForReadyRead(int(deadline.remainingTime()));
    return process.readLine().trimmed();
}

// The exit code once the process has ended; -1 when it does not end.
int exitCodeOf(QProcess &process)
{
    // waitForFinished() is false for a process that has already been seen to finish.
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(10000))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

void stop(QProcess &process)
{
    process.kill();
    process.waitForFinished();
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondInstanceAsksTheFirstToReopen();
    void secondLaunchHandsOverToARunningProcess();
    void killedInstanceLeavesNothingInTheWay();
    void simultaneousLaunchesGiveOneInstance();
    void silentLockHolderIsNotOverruled();
};

void TestSingleInstance::secondInstanceAsksTheFirstToReopen()
{
    QTemporaryDir directory;
    SingleInstance first(directory.path());
    QCOMPARE(first.start(), SingleInstance::Role::Primary);
    QSignalSpy reopens(&first, &SingleInstance::reopenRequested);

    // The second one blocks until the first answers, which needs this thread's event loop.
    SingleInstance::Role secondRole = SingleInstance::Role::Failed;
    std::unique_ptr<QThread> launch(QThread::create([&] {
        SingleInstance second(directory.path());
        secondRole = second.start();
    }));
    launch->start();
    QTRY_COMPARE(reopens.count(), 1);
    QVERIFY(launch->wait(10000));
    QCOMPARE(secondRole, SingleInstance::Role::Secondary);
}

void TestSingleInstance::secondLaunchHandsOverToARunningProcess()
{
    QTemporaryDir directory;
    std::unique_ptr<QProcess> running = startHolder(directory.path());
    QCOMPARE(readLine(*running), QByteArray("primary"));

    SingleInstance second(directory.path());
    QCOMPARE(second.start(), SingleInstance::Role::Secondary);
    QCOMPARE(readLine(*running), QByteArray("reopen"));
    stop(*running);
}

void TestSingleInstance::killedInstanceLeavesNothingInTheWay()
{
    QTemporaryDir directory;
    std::unique_ptr<QProcess> running = startHolder(directory.path());
    QCOMPARE(readLine(*running), QByteArray("primary"));
    stop(*running); // SIGKILL: no clean-up at all

    SingleInstance next(directory.path());
    QVERIFY(QFileInfo::exists(next.lockPath()));
    QVERIFY(QFileInfo::exists(next.socketPath()));
    QCOMPARE(next.start(1000), SingleInstance::Role::Primary);

    // And the new one is really in charge: a later launch reaches it.
    QSignalSpy reopens(&next, &SingleInstance::reopenRequested);
    std::unique_ptr<QProcess> later = startHolder(directory.path());
    QCOMPARE(readLine(*later), QByteArray("secondary"));
    QTRY_COMPARE(reopens.count(), 1);
    QCOMPARE(exitCodeOf(*later), 0);
}

void TestSingleInstance::simultaneousLaunchesGiveOneInstance()
{
    QTemporaryDir directory;
    std::vector<std::unique_ptr<QProcess>> launches;
    for (int i = 0; i < 6; ++i)
        launches.push_back(startHolder(directory.path()));

    int primaries = 0;
    int secondaries = 0;
    int reopens = 0;
    QProcess *primary = nullptr;
    for (const auto &launch : launches) {
        const QByteArray role = readLine(*launch);
        if (role == "primary") {
            ++primaries;
            primary = launch.get();
        } else if (role == "secondary") {
            ++secondaries;
            QCOMPARE(exitCodeOf(*launch), 0);
        }
    }
    QCOMPARE(primaries, 1);
    QCOMPARE(secondaries, 5);
    // Every secondary launch was heard by the one primary.
    while (reopens < 5 && readLine(*primary) == "reopen")
        ++reopens;
    QCOMPARE(reopens, 5);
    for (const auto &launch : launches)
        stop(*launch);
}

void TestSingleInstance::silentLockHolderIsNotOverruled()
{
    QTemporaryDir directory;
    SingleInstance probe(directory.path());
    // A live process holds the lock but never listens (hung during start-up, say): a
    // launch must not take over and write the same task list.
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
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
