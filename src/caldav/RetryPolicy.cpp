#include "caldav/RetryPolicy.h"

#include <QLocale>
#include <QTimeZone>

#include <algorithm>

std::optional<int> RetryPolicy::next(const SyncError &result)
{
    using Kind = SyncError::Kind;
    switch (result.kind) {
    case Kind::None:
    case Kind::Conflict:
        m_failures = 0;
        m_stopped = false;
        return 0;
    case Kind::AuthFailed:
    case Kind::TlsUntrusted:
    case Kind::Refused:
        m_stopped = true;
        return std::nullopt;
    case Kind::Offline:
    case Kind::ServerBusy:
    case Kind::BadResponse:
        break;
    }
    if (m_stopped)
        return std::nullopt;
    // 2 << 8 already exceeds the cap; the shift stays bounded however long the outage.
    const int backoff = std::min(firstDelay << std::min(m_failures, 8), maxDelay);
    ++m_failures;
    const int asked = std::min(result.retryAfter.value_or(0), maxRetryAfter);
    return std::max(backoff, asked);
}

void RetryPolicy::credentialsChanged()
{
    m_failures = 0;
    m_stopped = false;
}

std::optional<int> RetryPolicy::parseRetryAfter(const QByteArray &value, const QDateTime &now)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        bool ok = false;
        const qlonglong seconds = text.toLongLong(&ok);
        // Digits past what a qlonglong holds still mean "a long time".
        return int(std::min<qlonglong>(ok ? seconds : maxRetryAfter, maxRetryAfter));
    }
    // IMF-fixdate, "Sun, 06 Nov 1994 08:49:37 GMT", the form RFC 9110 has servers send.
    QDateTime when = QLocale::c().toDateTime(QString::fromLatin1(text),
                                             QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    if (!when.isValid())
        return std::nullopt;
    when.setTimeZone(QTimeZone::utc());
    return int(std::clamp<qint64>(now.secsTo(when), 0, maxRetryAfter));
}
