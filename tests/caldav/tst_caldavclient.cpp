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

Q_DECLARE_METATYPE(SyncError::Kind)

class TestCalDavClient : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    Radicale m_plain;
    Radicale m_tls;
    QString m_certificate;
    QNetworkAccessManager m_network;
    CalDavClient *m_client = nullptr;
    QUrl m_collection;
    int m_serial = 0;

    Written put(const QUrl &url, const QByteArray &summary, const QByteArray &etag)
    {
        const QByteArray uid = url.fileName().toUtf8();
        const QByteArray ics =
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//L//EN\r\nBEGIN:VTODO\r\nUID:" + uid +
            "\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:" + summary +
            "\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
        return await<Written>([&](auto done) { m_client->put(url, ics, etag, done); });
    }
    RemoteItem create()
    {
        const QUrl url = m_collection.resolved(QUrl(QString::number(++m_serial) + ".ics"));
        return {url, put(url, "first", {}).etag, {}};
    }
    SyncError remove(const QUrl &url, const QByteArray &etag)
    {
        return await<SyncError>([&](auto done) { m_client->remove(url, etag, done); });
    }
    Changes changesSince(const QString &token)
    {
        return await<Changes>([&](auto done) { m_client->listChanges(m_collection, token, done); });
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable("radicale").isEmpty(), "radicale is missing");
        QVERIFY(QDir().mkpath(m_folder.filePath("plain")) &&
                QDir().mkpath(m_folder.filePath("tls")));
        QVERIFY(m_plain.start(m_folder.filePath("plain"), {}));
        m_certificate = m_folder.filePath("tls/cert.pem");
        const QString key = m_folder.filePath("tls/key.pem");
        QProcess openssl;
        openssl.setStandardErrorFile(QProcess::nullDevice());
        openssl.start("openssl",
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                       "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key,
                       "-out", m_certificate});
        QVERIFY(openssl.waitForFinished() && openssl.exitCode() == 0);
        QVERIFY(m_tls.start(m_folder.filePath("tls"),
                            {"--ssl", "--certificate", m_certificate, "--key", key}));

        m_client = new CalDavClient(&m_network, this);
        m_client->setCredentials("alice", "secret");
        const Discovery found =
            await<Discovery>([&](auto done) { m_client->discover(m_plain.url(), done); });
        QCOMPARE(found.home.path(), QStringLiteral("/alice/"));
        const Written made = await<Written>(
            [&](auto done) { m_client->createCollection(found.home, "Lorvane", done); });
        QCOMPARE(made.error.message, QString());
        m_collection = made.url;

        // An events-only calendar beside it, which discovery must leave out.
        DavTransport raw(&m_network);
        raw.setCredentials("alice", "secret");
        const DavReply events = await<DavReply>([&](auto done) {
            raw.send({"MKCALENDAR", m_plain.url("/alice/events/"),
                      R"(<C:mkcalendar xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav">)"
                      "<D:set><D:prop><C:supported-calendar-component-set><C:comp name=\"VEVENT\"/>"
                      "</C:supported-calendar-component-set></D:prop></D:set></C:mkcalendar>"},
                     done);
        });
        QCOMPARE(events.status, 201);
    }

    void discovery_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("viaPrincipal");
        QTest::newRow("server root") << "/" << true;
        QTest::newRow("the calendar itself") << "" << false;
        QTest::newRow("an events-only calendar") << "/alice/events/" << true;
    }
    void discovery()
    {
        QFETCH(QString, path);
        QFETCH(bool, viaPrincipal);
        const QUrl start = path.isEmpty() ? m_collection : m_plain.url(path);
        const Discovery found =
            await<Discovery>([&](auto done) { m_client->discover(start, done); });
        QCOMPARE(found.error.message, QString());
        QCOMPARE(found.principal.path(), viaPrincipal ? QStringLiteral("/alice/") : QString());
        QCOMPARE(found.calendars.size(), 1);
        QCOMPARE(found.calendars[0].url, m_collection);
        QCOMPARE(found.calendars[0].displayName, QStringLiteral("Lorvane"));
    }

    // A write to a resource that exists or not, sending no ETag, the current one or a stale one.
    void writes_data()
    {
        QTest::addColumn<bool>("isPut");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("etag");
        QTest::addColumn<SyncError::Kind>("kind");
        using K = SyncError::Kind;
        QTest::newRow("create") << true << false << "none" << K::None;
        QTest::newRow("create where one exists") << true << true << "none" << K::Conflict;
        QTest::newRow("update with a stale ETag") << true << true << "stale" << K::Conflict;
        QTest::newRow("delete with the current ETag") << false << true << "current" << K::None;
        QTest::newRow("delete with a stale ETag") << false << true << "stale" << K::Conflict;
        QTest::newRow("delete what is gone") << false << false << "none" << K::None;
    }
    void writes()
    {
        QFETCH(bool, isPut);
        QFETCH(bool, exists);
        QFETCH(QString, etag);
        QFETCH(SyncError::Kind, kind);
        RemoteItem item = create();
        QVERIFY(!item.etag.isEmpty());
        QByteArray sent = etag == "none" ? QByteArray() : item.etag;
        if (etag == "stale")
            item.etag = put(item.url, "second", item.etag).etag;
        if (!exists)
            QCOMPARE(remove(item.url, {}).kind, SyncError::Kind::None);
        const Written written =
            isPut ? put(item.url, "written", sent) : Written{remove(item.url, sent), item.url, {}};
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

    // Since a token the server forgot: the whole listing again, with a new token. (Changes
    // since a known token are the sync engine's tests.)
    void changesSinceAForgottenToken()
    {
        create();
        const Changes all = changesSince({});
        const Changes again = changesSince("http://radicale.org/ns/sync/0");
        QCOMPARE(again.error.message, QString());
        QVERIFY(again.isFullListing && !again.syncToken.isEmpty());
        QCOMPARE(again.changed.size(), all.changed.size());
    }

    void failures_data()
    {
        // {radicale}, {canned} and {closed} stand for ports.
        QTest::addColumn<QString>("address");
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
        const QByteArray multistatus = "207 Multi-Status";
        const QString canned = QStringLiteral("http://127.0.0.1:{canned}/c/");
        QTest::newRow("wrong password, asked once")
            << "http://127.0.0.1:{radicale}/alice/" << QByteArray() << K::AuthFailed << 1 << -1;
        QTest::newRow("nothing listening, asked once")
            << "http://127.0.0.1:{closed}/" << QByteArray() << K::Offline << 1 << -1;
        QTest::newRow("plain http to a remote host")
            << "http://cloud.example.org/" << QByteArray() << K::Refused << 0 << -1;
        // Both candidates, the address and /.well-known/caldav, give the same garbage.
        QTest::newRow("garbage instead of XML")
            << canned << answer(multistatus, "<<<<<") << K::BadResponse << 2 << -1;
        QTest::newRow("busy, with Retry-After")
            << canned << answer("503 Busy\r\nRetry-After: 30") << K::ServerBusy << 1 << 30;
        // The address and /.well-known/caldav each sent on once, to a place that sends on
        // to itself.
        QTest::newRow("relative redirect, to a loop")
            << canned << answer("301 Moved\r\nLocation: /elsewhere/") << K::BadResponse << 4 << -1;
        QTest::newRow("redirect to plain http elsewhere")
            << canned << answer("301 Moved\r\nLocation: http://cloud.example.org/") << K::Refused
            << 1 << -1;
        QTest::newRow("answer over the size limit")
            << canned << answer(multistatus, calendar + QByteArray(4096, ' ')) << K::BadResponse
            << 2 << -1;
        QTest::newRow("the same answer within the limit")
            << canned << answer(multistatus, calendar) << K::None << 1 << -1;
    }
    void failures()
    {
        QFETCH(QString, address);
        QFETCH(QByteArray, canned);
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
        QTEST(found.error.kind, "kind");
        QVERIFY(!found.error.message.contains("wrong"));
        QTEST(int(exchanges.size()), "requests");
        QTEST(found.error.retryAfter.value_or(-1), "retryAfter");
    }

    void tls_data()
    {
        QTest::addColumn<QString>("trusted");
        QTest::addColumn<QString>("fingerprint"); // expected in the error; empty for success
        const QSslCertificate certificate = QSslCertificate::fromPath(m_certificate).value(0);
        const QString fingerprint =
            certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper();
        QTest::newRow("not trusted") << "" << fingerprint;
        QTest::newRow("another certificate trusted")
            << QStringList(32, QStringLiteral("AB")).join(u':') << fingerprint;
        QTest::newRow("this certificate trusted") << fingerprint << "";
    }
    void tls()
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
};

QTEST_GUILESS_MAIN(TestCalDavClient)
#include "tst_caldavclient.moc"
