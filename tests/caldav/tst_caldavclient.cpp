// The client against a real Radicale of the test's own on loopback, plain and behind TLS, and
// against a canned server for answers Radicale never gives.
#include "caldav/CalDavClient.h"
#include "support/Radicale.h"

#include <QNetworkAccessManager>
#include <QProcess>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

Q_DECLARE_METATYPE(SyncError::Kind)

namespace {

template <typename Result, typename Call> Result await(Call call)
{
    std::optional<Result> result;
    call([&result](const Result &answer) { result = answer; });
    if (!QTest::qWaitFor([&result] { return result.has_value(); }, 60000))
        QTest::qFail("no answer", __FILE__, __LINE__);
    return result.value_or(Result());
}

QByteArray ics(const QByteArray &uid, const QByteArray &summary)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Lorvane//EN\r\nBEGIN:VTODO\r\nUID:" + uid +
           "\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:" + summary +
           "\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
}

} // namespace

class TestCalDavClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void discovery_data();
    void discovery();
    void writes_data();
    void writes();
    void changes_data();
    void changes();
    void failures_data();
    void failures();
    void tls_data();
    void tls();
    void stoppedServer();

private:
    RemoteItem create(const QByteArray &name);
    Written put(const QUrl &url, const QByteArray &summary, const QByteArray &etag)
    {
        return await<Written>([&](auto done) {
            m_client->put(url, ics(url.fileName().toUtf8(), summary), etag, done);
        });
    }

    QTemporaryDir m_folder;
    Radicale m_plain;
    Radicale m_tls;
    QString m_certificate;
    QNetworkAccessManager m_network;
    CalDavClient *m_client = nullptr;
    QUrl m_collection;
    int m_serial = 0;
};

void TestCalDavClient::initTestCase()
{
    QVERIFY2(!QStandardPaths::findExecutable("radicale").isEmpty(), "radicale is not installed");
    QVERIFY(QDir().mkpath(m_folder.filePath("plain")) && QDir().mkpath(m_folder.filePath("tls")));
    QVERIFY(m_plain.start(m_folder.filePath("plain"), {}));
    m_certificate = m_folder.filePath("tls/cert.pem");
    const QString key = m_folder.filePath("tls/key.pem");
    QProcess openssl;
    openssl.setStandardErrorFile(QProcess::nullDevice());
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                              "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                              "-keyout", key, "-out", m_certificate});
    QVERIFY(openssl.waitForFinished() && openssl.exitCode() == 0);
    QVERIFY(m_tls.start(m_folder.filePath("tls"),
                        {"--ssl", "--certificate", m_certificate, "--key", key}));

    m_client = new CalDavClient(&m_network, this);
    m_client->setCredentials("alice", "secret");
    const Discovery found =
        await<Discovery>([&](auto done) { m_client->discover(m_plain.url(), done); });
    QCOMPARE(found.error.message, QString());
    QCOMPARE(found.home.path(), QStringLiteral("/alice/"));
    const Written made =
        await<Written>([&](auto done) { m_client->createCollection(found.home, "Lorvane", done); });
    QCOMPARE(made.error.message, QString());
    m_collection = made.url;

    // An events-only calendar beside it, which discovery must leave out.
    DavTransport raw(&m_network);
    raw.setCredentials("alice", "secret");
    const DavReply events = await<DavReply>([&](auto done) {
        raw.send(
            {"MKCALENDAR", m_plain.url("/alice/events/"),
             R"(<C:mkcalendar xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav"><D:set><D:prop>)"
             R"(<C:supported-calendar-component-set><C:comp name="VEVENT"/>)"
             "</C:supported-calendar-component-set></D:prop></D:set></C:mkcalendar>"},
            done);
    });
    QCOMPARE(events.status, 201);
}

RemoteItem TestCalDavClient::create(const QByteArray &name)
{
    QUrl url =
        m_collection.resolved(QUrl(QString::fromUtf8(name) + QString::number(++m_serial) + ".ics"));
    return {url, put(url, "first", {}).etag, {}};
}

void TestCalDavClient::discovery_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("viaPrincipal");

    QTest::newRow("server root") << "/" << true;
    QTest::newRow("principal") << "/alice/" << true;
    QTest::newRow("the calendar itself") << "" << false;
    QTest::newRow("an events-only calendar") << "/alice/events/" << true;
}

void TestCalDavClient::discovery()
{
    QFETCH(QString, path);
    QFETCH(bool, viaPrincipal);

    const QUrl start = path.isEmpty() ? m_collection : m_plain.url(path);
    const Discovery found = await<Discovery>([&](auto done) { m_client->discover(start, done); });
    QCOMPARE(found.error.message, QString());
    QCOMPARE(found.principal.path(), viaPrincipal ? QStringLiteral("/alice/") : QString());
    QCOMPARE(found.calendars.size(), 1);
    QCOMPARE(found.calendars[0].url, m_collection);
    QCOMPARE(found.calendars[0].displayName, QStringLiteral("Lorvane"));
}

void TestCalDavClient::writes_data()
{
    QTest::addColumn<bool>("isPut");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("etag"); // the one sent: none, current or stale
    QTest::addColumn<SyncError::Kind>("kind");

    using K = SyncError::Kind;
    QTest::newRow("create") << true << false << "none" << K::None;
    QTest::newRow("create where one exists") << true << true << "none" << K::Conflict;
    QTest::newRow("update with the current ETag") << true << true << "current" << K::None;
    QTest::newRow("update with a stale ETag") << true << true << "stale" << K::Conflict;
    QTest::newRow("delete with the current ETag") << false << true << "current" << K::None;
    QTest::newRow("delete with a stale ETag") << false << true << "stale" << K::Conflict;
    QTest::newRow("delete what is gone") << false << false << "none" << K::None;
}

void TestCalDavClient::writes()
{
    QFETCH(bool, isPut);
    QFETCH(bool, exists);
    QFETCH(QString, etag);
    QFETCH(SyncError::Kind, kind);

    RemoteItem item = create("w");
    QVERIFY(!item.etag.isEmpty());
    const QByteArray stale = item.etag;
    if (etag == QLatin1String("stale"))
        item.etag = put(item.url, "second", item.etag).etag;
    if (!exists)
        QCOMPARE(await<SyncError>([&](auto done) { m_client->remove(item.url, {}, done); }).kind,
                 SyncError::Kind::None);

    const QByteArray sent = etag == QLatin1String("none")    ? QByteArray()
                            : etag == QLatin1String("stale") ? stale
                                                             : item.etag;
    Written written{{}, item.url, {}};
    if (isPut)
        written = put(item.url, "written", sent);
    else
        written.error =
            await<SyncError>([&](auto done) { m_client->remove(item.url, sent, done); });
    QCOMPARE(written.error.kind, kind);

    // What the server holds now: the new version, the one before, or nothing.
    const Fetched now =
        await<Fetched>([&](auto done) { m_client->fetch(m_collection, {item.url}, done); });
    QCOMPARE(now.error.message, QString());
    const bool isWritten = kind == SyncError::Kind::None;
    const bool isGone = !isPut && (isWritten || !exists);
    QCOMPARE(now.missing.size(), isGone ? 1 : 0);
    QCOMPARE(now.items.size(), isGone ? 0 : 1);
    if (!isGone) {
        QCOMPARE(now.items[0].data.contains("SUMMARY:written"), isWritten);
        QCOMPARE(now.items[0].etag, isWritten ? written.etag : item.etag);
    }
}

void TestCalDavClient::changes_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("token");

    const auto row = [](const char *name, const char *change, const char *token) {
        QTest::newRow(name) << QString::fromUtf8(change) << QString::fromUtf8(token);
    };
    row("a new task", "new", "");
    row("a changed task", "changed", "");
    row("a deleted task", "deleted", "");
    row("a token the server forgot", "changed", "http://radicale.org/ns/sync/0");
}

void TestCalDavClient::changes()
{
    QFETCH(QString, change);
    QFETCH(QString, token);

    const RemoteItem item = create("c");
    const Changes all =
        await<Changes>([&](auto done) { m_client->listChanges(m_collection, {}, done); });
    QCOMPARE(all.error.message, QString());
    QVERIFY(all.isFullListing && !all.syncToken.isEmpty());
    QVERIFY(std::any_of(all.changed.begin(), all.changed.end(), [&](const RemoteItem &r) {
        return r.url == item.url && r.etag == item.etag;
    }));

    RemoteItem changed = item;
    if (change == QLatin1String("new"))
        changed = create("n");
    else if (change == QLatin1String("changed"))
        changed.etag = put(item.url, "again", item.etag).etag;
    else
        QVERIFY(await<SyncError>([&](auto done) {
                    m_client->remove(item.url, item.etag, done);
                }).isOk());

    const Changes since = await<Changes>([&](auto done) {
        m_client->listChanges(m_collection, token.isEmpty() ? all.syncToken : token, done);
    });
    QCOMPARE(since.error.message, QString());
    QCOMPARE(since.isFullListing, !token.isEmpty());
    QVERIFY(!since.syncToken.isEmpty() && since.syncToken != all.syncToken);
    if (since.isFullListing) {
        QCOMPARE(since.changed.size(), all.changed.size());
    } else if (change == QLatin1String("deleted")) {
        QCOMPARE(since.deleted, QList<QUrl>{item.url});
        QCOMPARE(since.changed.size(), 0);
    } else {
        QCOMPARE(since.changed.size(), 1);
        QCOMPARE(since.changed[0].url, changed.url);
        QCOMPARE(since.changed[0].etag, changed.etag);
        QCOMPARE(since.deleted.size(), 0);
    }
}

void TestCalDavClient::failures_data()
{
    QTest::addColumn<QString>("address"); // {radicale}, {canned} and {closed} stand for ports
    QTest::addColumn<QByteArray>("canned");
    QTest::addColumn<SyncError::Kind>("kind");
    QTest::addColumn<int>("requests"); // exchanges on the wire
    QTest::addColumn<int>("retryAfter");

    using K = SyncError::Kind;
    const auto answer = [](const QByteArray &head, const QByteArray &body = {}) {
        return "HTTP/1.1 " + head + "\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\n\r\n" + body;
    };
    const QByteArray calendar =
        R"(<multistatus xmlns="DAV:"><response><href>/c/</href><propstat><prop><resourcetype>)"
        R"(<calendar xmlns="urn:ietf:params:xml:ns:caldav"/></resourcetype></prop>)"
        "<status>HTTP/1.1 200 OK</status></propstat></response></multistatus>";
    const QString canned = QStringLiteral("http://127.0.0.1:{canned}/c/");
    QTest::newRow("wrong password, asked once")
        << "http://127.0.0.1:{radicale}/alice/" << QByteArray() << K::AuthFailed << 1 << -1;
    QTest::newRow("nothing listens")
        << "http://127.0.0.1:{closed}/" << QByteArray() << K::Offline << 1 << -1;
    QTest::newRow("plain http to a remote host")
        << "http://cloud.example.org/" << QByteArray() << K::Refused << 0 << -1;
    // Both candidates, the address and /.well-known/caldav, give the same garbage.
    QTest::newRow("garbage instead of XML")
        << canned << answer("207 Multi-Status", "<<<<<") << K::BadResponse << 2 << -1;
    QTest::newRow("busy, with Retry-After")
        << canned << answer("503 Busy\r\nRetry-After: 30") << K::ServerBusy << 1 << 30;
    QTest::newRow("redirect to plain http elsewhere")
        << canned << answer("301 Moved\r\nLocation: http://cloud.example.org/") << K::Refused << 1
        << -1;
    QTest::newRow("answer over the size limit")
        << canned << answer("207 Multi-Status", calendar + QByteArray(4096, ' ')) << K::BadResponse
        << 2 << -1;
    QTest::newRow("the same answer within the limit")
        << canned << answer("207 Multi-Status", calendar) << K::None << 1 << -1;
}

void TestCalDavClient::failures()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, canned);
    QFETCH(SyncError::Kind, kind);
    QFETCH(int, requests);
    QFETCH(int, retryAfter);

    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    connect(&server, &QTcpServer::newConnection, &server, [&] {
        QTcpSocket *socket = server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [socket, canned] {
            socket->readAll();
            socket->write(canned);
            socket->disconnectFromHost();
        });
    });
    address.replace("{radicale}", QString::number(m_plain.port))
        .replace("{canned}", QString::number(server.serverPort()))
        .replace("{closed}", QString::number(freePort()));

    QNetworkAccessManager network;
    QSignalSpy exchanges(&network, &QNetworkAccessManager::finished);
    CalDavClient client(&network);
    client.setCredentials("alice", "wrong");
    client.setResponseLimit(2048);
    const Discovery found =
        await<Discovery>([&](auto done) { client.discover(QUrl(address), done); });
    QCOMPARE(found.error.kind, kind);
    QVERIFY(!found.error.message.contains("wrong"));
    QCOMPARE(exchanges.size(), requests);
    QCOMPARE(found.error.retryAfter.value_or(-1), retryAfter);
}

void TestCalDavClient::tls_data()
{
    const QString fingerprint = QString::fromLatin1(QSslCertificate::fromPath(m_certificate)
                                                        .value(0)
                                                        .digest(QCryptographicHash::Sha256)
                                                        .toHex(':')
                                                        .toUpper());
    QTest::addColumn<QString>("trusted");
    QTest::addColumn<QString>("fingerprint"); // expected in the error; empty for success

    QTest::newRow("not trusted") << "" << fingerprint;
    QTest::newRow("another certificate trusted")
        << QStringList(32, QStringLiteral("AB")).join(u':') << fingerprint;
    QTest::newRow("this certificate trusted") << fingerprint << "";
}

void TestCalDavClient::tls()
{
    QFETCH(QString, trusted);
    QFETCH(QString, fingerprint);

    QNetworkAccessManager network;
    CalDavClient client(&network);
    client.setCredentials("bob", "other");
    client.setTrustedFingerprint(trusted);
    const Discovery found =
        await<Discovery>([&](auto done) { client.discover(m_tls.url(), done); });
    QCOMPARE(found.error.kind,
             fingerprint.isEmpty() ? SyncError::Kind::None : SyncError::Kind::TlsUntrusted);
    QCOMPARE(found.error.fingerprint, fingerprint);
    QCOMPARE(found.home.path(), fingerprint.isEmpty() ? "/bob/" : "");
}

void TestCalDavClient::stoppedServer()
{
    m_plain.stop();
    const Discovery found =
        await<Discovery>([&](auto done) { m_client->discover(m_collection, done); });
    QCOMPARE(found.error.kind, SyncError::Kind::Offline);
    QCOMPARE(found.error.message, QStringLiteral("Sin conexión con 127.0.0.1"));
}

QTEST_GUILESS_MAIN(TestCalDavClient)
#include "tst_caldavclient.moc"
