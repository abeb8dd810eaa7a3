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

// The test program doubles as a Lorvane stand-in: with this variable set it only takes
// part in the single-instance protocol in the named folder and reports on standard output.
const char *const holderVariable = "TST_SINGLEINSTANCE_DIR";

int runHolder(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(qEnvironmentVariable(holderVariable));
    const SingleInstance::Role role = instance.start();
    std::printf("%s\n", role == SingleInstance::Role::Primary     ? "primary"
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
    void killedInstanceLeavesNothingInTheWay();
    void simultaneousLaunchesGiveOneInstance();
    void silentLockHolderIsNotOverruled();
};

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
