#include "caldav/ServerAddress.h"

#include <QHostAddress>

namespace ServerAddress {

bool isLoopback(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    if (address.isNull())
        return false;
    bool isMapped = false;
    const quint32 v4 = address.toIPv4Address(&isMapped);
    if (isMapped)
        return (v4 >> 24) == 127;
    return address.isLoopback();
}

bool isAllowed(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("https") ||
           (scheme == QLatin1String("http") && isLoopback(url.host()));
}

bool isRedirectAllowed(const QUrl &from, const QUrl &to)
{
    if (!isAllowed(to))
        return false;
    const bool toHttps = to.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const bool fromHttps = from.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    if (fromHttps && !toHttps)
        return false;
    return toHttps || from.host().compare(to.host(), Qt::CaseInsensitive) == 0;
}

Parsed fromUserInput(const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {{}, QStringLiteral("Escribe la dirección del servidor")};
    QUrl url(text.contains(QLatin1String("://")) ? text : QStringLiteral("https://") + text,
             QUrl::StrictMode);
    url.setUserInfo({});
    url.setFragment({});
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
        return {{}, QStringLiteral("La dirección del servidor no es válida")};
    if (!isAllowed(url))
        return {{},
                QStringLiteral("Sin cifrar (http) solo se puede conectar con este mismo equipo; "
                               "usa una dirección https://")};
    if (url.path().isEmpty())
        url.setPath(QStringLiteral("/"));
    return {url, {}};
}

bool isSameOrigin(const QUrl &a, const QUrl &b)
{
    const auto port = [](const QUrl &url) {
        return url.port(
            url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
    };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && port(a) == port(b);
}

bool keepsCredentials(const QUrl &from, const QUrl &to)
{
    if (isSameOrigin(from, to))
        return true;
    const QString host = from.host().toLower();
    const QString target = to.host().toLower();
    return to.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
           (target == host || target.endsWith(u'.' + host)) && QHostAddress(host).isNull();
}

QString forDisplay(const QUrl &url)
{
    return url.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment)
        .toDisplayString();
}

} // namespace ServerAddress
