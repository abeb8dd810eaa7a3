#pragma once

#include "caldav/SyncError.h"

#include <QByteArray>
#include <QDateTime>

#include <optional>

// When to try the server again after a failed exchange: after 2 s, then twice as long each
// time up to 5 minutes, or later when the server asked for it with Retry-After (up to an
// hour). A failure the user must fix (wrong password, untrusted certificate, refused address)
// stops the retries until the account's settings change.
class RetryPolicy
{
public:
    static constexpr int firstDelay = 2;
    static constexpr int maxDelay = 300;
    static constexpr int maxRetryAfter = 3600;

    // Seconds until the next attempt after this result, or nothing while retries are
    // stopped. A success (and a conflict, which is an answer too) resets the backoff and asks
    // for no wait.
    std::optional<int> next(const SyncError &result);
    // The credentials, the address or the trusted certificate changed: try again at once.
    void credentialsChanged();

    bool isStopped() const { return m_stopped; }
    int failures() const { return m_failures; }

    // The seconds a Retry-After header asks for, as delta-seconds or as an HTTP date (one in
    // the past asks for none); nothing for a value that is neither.
    static std::optional<int> parseRetryAfter(const QByteArray &value, const QDateTime &now);

private:
    int m_failures = 0;
    bool m_stopped = false;
};
