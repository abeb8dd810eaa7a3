#include "caldav/DavTransport.h"

#include "caldav/Multistatus.h"
#include "caldav/RetryPolicy.h"
#include "caldav/ServerAddress.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslError>

#include <memory>

Q_LOGGING_CATEGORY(lcDav, "lorvane.caldav", QtWarningMsg)

namespace {

struct Progress {
    QByteArray body;
    bool isOversize = false;
    QString fingerprint; // of the certificate that failed the checks
};

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

SyncError connectionError(QNetworkReply::NetworkError code, const QString &host,
                          const QString &fingerprint)
{
    switch (code) {
    case QNetworkReply::SslHandshakeFailedError:
        return SyncError::tlsUntrusted(fingerprint);
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::ProtocolUnknownError:
        return SyncError::badResponse();
    case QNetworkReply::AuthenticationRequiredError:
        return SyncError::authFailed(401);
    default:
        // Refused, reset, host not found, unreachable, timed out (Qt reports the transfer
        // timeout as a cancel): whatever the cause, the server cannot be reached now.
        return SyncError::offline(host);
    }
}

} // namespace

DavTransport::DavTransport(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent), m_network(network), m_responseLimit(Multistatus::maxBytes)
{
}

void DavTransport::setCredentials(const QString &user, const QString &password)
{
    m_user = user;
    m_password = password;
}

void DavTransport::setTrustedFingerprint(const QString &fingerprint)
{
    const QByteArray trusted = QByteArray::fromHex(fingerprint.toLatin1().replace(':', ""));
    if (trusted == m_trusted)
        return;
    m_trusted = trusted;
    // A connection kept open from before was accepted under the old rule.
    m_network->clearConnectionCache();
}

QString DavTransport::fingerprintOf(const QSslCertificate &certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

void DavTransport::send(const DavRequest &request, Handler handler)
{
    start(request, maxRedirects, true, std::move(handler));
}

void DavTransport::answer(DavReply reply, Handler handler)
{
    qCDebug(lcDav) << "answer" << reply.status << "from" << ServerAddress::forDisplay(reply.url)
                   << reply.error.message;
    // Queued, so that a handler never runs inside the call that sent its request.
    QMetaObject::invokeMethod(
        this, [reply = std::move(reply), handler = std::move(handler)] { handler(reply); },
        Qt::QueuedConnection);
}

void DavTransport::start(const DavRequest &request, int redirectsLeft, bool withCredentials,
                         Handler handler)
{
    DavReply refused;
    refused.url = request.url;
    if (!ServerAddress::isAllowed(request.url)) {
        refused.error = SyncError::refused(
            QStringLiteral("Sin cifrar (http) solo se puede conectar con este mismo equipo"));
        answer(refused, std::move(handler));
        return;
    }

    QNetworkRequest out(request.url);
    out.setTransferTimeout(m_timeout);
    out.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::ManualRedirectPolicy);
    out.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    out.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Lorvane"));
    if (!request.body.isEmpty())
        out.setHeader(QNetworkRequest::ContentTypeHeader, request.contentType);
    if (!request.depth.isEmpty())
        out.setRawHeader("Depth", request.depth);
    for (const auto &[name, value] : request.headers)
        out.setRawHeader(name, value);
    // Set here rather than through QAuthenticator: one attempt, no second round trip, and no
    // loop of retries when the server refuses them.
    if (withCredentials && !m_user.isEmpty())
        out.setRawHeader("Authorization",
                         "Basic " + (m_user + u':' + m_password).toUtf8().toBase64());

    qCDebug(lcDav) << request.method << ServerAddress::forDisplay(request.url);
    QNetworkReply *reply = m_network->sendCustomRequest(out, request.method, request.body);
    // Deleting the transport aborts what it still waits for.
    reply->setParent(this);
    auto progress = std::make_shared<Progress>();

    const auto overLimit = [this, reply, progress](qint64 size) {
        if (size <= m_responseLimit)
            return false;
        progress->isOversize = true;
        reply->abort();
        return true;
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, overLimit] {
        overLimit(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    });
    connect(reply, &QNetworkReply::readyRead, this, [reply, progress, overLimit] {
        if (!overLimit(progress->body.size() + reply->bytesAvailable()))
            progress->body += reply->readAll();
    });
    connect(reply, &QNetworkReply::sslErrors, this,
            [this, reply, progress](const QList<QSslError> &errors) {
                QList<QSslError> pinned;
                for (const QSslError &error : errors) {
                    const QSslCertificate certificate =
                        error.certificate().isNull() ? reply->sslConfiguration().peerCertificate()
                                                     : error.certificate();
                    if (!m_trusted.isEmpty() && !error.certificate().isNull() &&
                        certificate.digest(QCryptographicHash::Sha256) == m_trusted)
                        pinned.append(error);
                    else if (progress->fingerprint.isEmpty())
                        progress->fingerprint = fingerprintOf(certificate);
                }
                if (!pinned.isEmpty())
                    reply->ignoreSslErrors(pinned);
            });
    connect(reply, &QNetworkReply::finished, this,
            [this, request, redirectsLeft, withCredentials, reply, progress,
             handler = std::move(handler)]() mutable {
                reply->deleteLater();
                DavReply result;
                result.url = request.url;
                const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
                if (progress->isOversize) {
                    result.error = SyncError::badResponse();
                    answer(result, std::move(handler));
                    return;
                }
                if (!status.isValid()) {
                    result.error =
                        connectionError(reply->error(), request.url.host(), progress->fingerprint);
                    answer(result, std::move(handler));
                    return;
                }
                result.status = status.toInt();
                if (isRedirect(result.status)) {
                    // Read raw: Qt's parsed Location header drops relative references
                    // ("Location: /"), which would resolve to this same URL again.
                    const QUrl location = QUrl::fromEncoded(reply->rawHeader("Location").trimmed());
                    const QUrl target = request.url.resolved(location).adjusted(
                        QUrl::RemoveUserInfo | QUrl::RemoveFragment);
                    if (redirectsLeft == 0 || location.isEmpty() || !target.isValid() ||
                        target == request.url) {
                        result.error = SyncError::badResponse(result.status);
                    } else if (!ServerAddress::isRedirectAllowed(request.url, target)) {
                        result.error = SyncError::refused(
                            QStringLiteral("El servidor redirige a una dirección no segura"));
                    } else {
                        DavRequest next = request;
                        next.url = target;
                        start(next, redirectsLeft - 1,
                              withCredentials &&
                                  ServerAddress::keepsCredentials(request.url, target),
                              std::move(handler));
                        return;
                    }
                    answer(result, std::move(handler));
                    return;
                }
                progress->body += reply->readAll();
                if (progress->body.size() > m_responseLimit) {
                    result.error = SyncError::badResponse(result.status);
                    answer(result, std::move(handler));
                    return;
                }
                result.body = progress->body;
                result.etag = reply->rawHeader("ETag");
                result.error = SyncError::fromStatus(
                    result.status, RetryPolicy::parseRetryAfter(reply->rawHeader("Retry-After"),
                                                                QDateTime::currentDateTimeUtc()));
                answer(result, std::move(handler));
            });
}
