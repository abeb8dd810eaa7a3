#pragma once

// A Radicale CalDAV server of the test's own on loopback, with its own storage and the
// users alice:secret and bob:other, stopped by its PID when it goes; and the answer of a
// client call, waited for.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <optional>

namespace {

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

struct Radicale {
    QProcess process;
    int port = 0;

    QUrl url(const QString &path = QStringLiteral("/")) const
    {
        const bool tls = process.arguments().contains(QLatin1String("--ssl"));
        return QUrl(
            QStringLiteral("%1://127.0.0.1:%2%3").arg(tls ? "https" : "http").arg(port).arg(path));
    }

    bool start(const QString &folder, const QStringList &extra)
    {
        QFile users(folder + QStringLiteral("/users"));
        if (!users.open(QIODevice::WriteOnly) || users.write("alice:secret\nbob:other\n") < 0)
            return false;
        users.close();
        port = freePort();
        // --config= keeps the system's /etc/radicale/config out.
        process.start(QStringLiteral("radicale"),
                      QStringList{"--config=", "--hosts", QStringLiteral("127.0.0.1:%1").arg(port),
                                  "--storage-filesystem-folder", folder + "/storage", "--auth-type",
                                  "htpasswd", "--auth-htpasswd-filename", users.fileName(),
                                  "--auth-htpasswd-encryption", "plain", "--auth-delay", "0",
                                  "--rights-type", "owner_only", "--web-type", "none",
                                  "--logging-level", "warning"} +
                          extra);
        if (!process.waitForStarted())
            return false;
        return QTest::qWaitFor([this] {
                   QTcpSocket socket;
                   socket.connectToHost(QHostAddress::LocalHost, quint16(port));
                   return socket.waitForConnected(200) || process.state() != QProcess::Running;
               }) &&
               process.state() == QProcess::Running;
    }

    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(process.processId()), SIGTERM);
        if (!process.waitForFinished(5000)) {
            ::kill(pid_t(process.processId()), SIGKILL);
            process.waitForFinished();
        }
    }
    ~Radicale() { stop(); }
};

// The one answer of an asynchronous call that takes a callback.
template <typename Result, typename Call> Result await(Call call)
{
    std::optional<Result> result;
    call([&result](const Result &answer) { result = answer; });
    if (!QTest::qWaitFor([&result] { return result.has_value(); }, 60000))
        QTest::qFail("no answer", __FILE__, __LINE__);
    return result.value_or(Result());
}

} // namespace
