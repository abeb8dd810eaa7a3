#pragma once

#include "caldav/SyncError.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QSslCertificate;

struct DavRequest {
    QByteArray method;
    QUrl url;
    QByteArray body;
    QByteArray contentType = "application/xml; charset=utf-8";
    QByteArray depth; // "0", "1" or none
    QList<QPair<QByteArray, QByteArray>> headers;
};

struct DavReply {
    SyncError error; // of the connection, or of a final status outside 2xx
    int status = 0;  // 0 when no HTTP answer came
    QUrl url;        // where the answer came from, after any redirects
    QByteArray body;
    QByteArray etag; // the ETag header, if any
};

// Sends one WebDAV request and hands back its answer: with basic authentication, a timeout,
// a cap on the answer's size, redirects followed only where ServerAddress allows, and TLS
// checked against the system's certificate authorities or one certificate the user trusted.
class DavTransport : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(const DavReply &)>;

    static constexpr int maxRedirects = 5;

    explicit DavTransport(QNetworkAccessManager *network, QObject *parent = nullptr);

    // Held in memory only, sent with every request to the host they were meant for and to no
    // other (a redirect elsewhere goes without them).
    void setCredentials(const QString &user, const QString &password);
    // The SHA-256 fingerprint ("AA:BB:…") of a certificate the user chose to trust although
    // no authority vouches for it; empty for none.
    void setTrustedFingerprint(const QString &fingerprint);
    void setResponseLimit(qsizetype bytes) { m_responseLimit = bytes; }
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }

    // `handler` runs later, from the event loop, exactly once, unless this object is deleted
    // first (which cancels the request).
    void send(const DavRequest &request, Handler handler);

    static QString fingerprintOf(const QSslCertificate &certificate);

private:
    void start(const DavRequest &request, int redirectsLeft, bool withCredentials, Handler handler);
    void answer(DavReply reply, Handler handler);

    QNetworkAccessManager *m_network;
    QString m_user;
    QString m_password;
    QByteArray m_trusted; // raw SHA-256
    qsizetype m_responseLimit;
    int m_timeout = 30000;
};
