#include "desktop/TerminationSignals.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

class TestTerminationSignals : public QObject
{
    Q_OBJECT

private slots:
    void signalsArriveOnTheEventLoopThenDefaultsReturn();
};

void TestTerminationSignals::signalsArriveOnTheEventLoopThenDefaultsReturn()
{
    {
        TerminationSignals watcher;
        QSignalSpy spy(&watcher, &TerminationSignals::received);
        std::raise(SIGTERM);
        std::raise(SIGINT);
        std::raise(SIGHUP);
        // Nothing runs inside the handler: the signals wait for the event loop.
        QCOMPARE(spy.count(), 0);
        QTRY_COMPARE(spy.count(), 3);
        QCOMPARE(spy.at(0).at(0).toInt(), SIGTERM);
        QCOMPARE(spy.at(1).at(0).toInt(), SIGINT);
        QCOMPARE(spy.at(2).at(0).toInt(), SIGHUP);
    }
    // Once the watcher is gone, a signal ends the program as usual again.
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current = {};
        sigaction(signalNumber, nullptr, &current);
        QVERIFY(current.sa_handler == SIG_DFL);
    }
}

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
