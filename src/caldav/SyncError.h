#pragma once

#include <QString>

#include <optional>

// Why an exchange with the calendar server did not give what was asked, sorted by what the
// caller does about it, with one line in Spanish for the settings panel.
struct SyncError {
    enum class Kind {
        None,
        Offline,      // host not found, connection refused or lost, network unreachable, timeout
        ServerBusy,   // 5xx or 429; retryAfter when the server said how long to wait
        AuthFailed,   // 401 or 403: retrying is useless until the credentials change
        Conflict,     // 412: the item changed (or exists) on the server
        BadResponse,  // not what a CalDAV server answers: garbage XML, oversize, wrong status
        TlsUntrusted, // the certificate is not trusted; fingerprint tells which one it was
        Refused,      // Lorvane's own policy: plain http to another host, an unsafe redirect
    };

    Kind kind = Kind::None;
    QString message;
    int httpStatus = 0;
    std::optional<int> retryAfter; // seconds
    QString fingerprint;           // SHA-256 of the certificate, "AA:BB:…"

    bool isOk() const { return kind == Kind::None; }

    static SyncError offline(const QString &host);
    static SyncError busy(int httpStatus, std::optional<int> retryAfter);
    static SyncError authFailed(int httpStatus);
    static SyncError conflict();
    static SyncError badResponse(int httpStatus = 0);
    static SyncError tlsUntrusted(const QString &fingerprint);
    static SyncError refused(const QString &message);
    // The error for a final HTTP status that is not a success, before any meaning an
    // operation gives to it (a 404 on DELETE, a 403 for an expired sync token).
    static SyncError fromStatus(int httpStatus, std::optional<int> retryAfter = std::nullopt);
};
