#pragma once

#include <QString>
#include <QUrl>

// What Lorvane accepts as a calendar server's address, and where it lets a server send it.
// Passwords travel only encrypted, except to this same machine (a server for testing or a
// tunnel); a URL never carries credentials.
namespace ServerAddress {

struct Parsed {
    QUrl url;      // where discovery starts; empty when refused
    QString error; // why it was refused, in Spanish for the settings panel
    bool isValid() const { return error.isEmpty(); }
};

// From what the user typed: "cloud.example.org", "https://host/remote.php/dav",
// "http://127.0.0.1:5232/user/tasks/". https unless another scheme is given; http only to a
// loopback host; any user:password removed, as is the fragment; an empty path becomes "/".
Parsed fromUserInput(const QString &typed);

// 127.0.0.0/8, ::1 (also as ::ffff:127.x.y.z) and "localhost".
bool isLoopback(const QString &host);

// Whether a request to `url` may be made at all: https anywhere, http to loopback only.
bool isAllowed(const QUrl &url);

// Whether a redirect from `from` to `to` may be followed: to the same host, or to https
// elsewhere; never from https down to http, and never to a URL that isAllowed() refuses.
bool isRedirectAllowed(const QUrl &from, const QUrl &to);

// The same scheme, host and port (the scheme's own when none is given).
bool isSameOrigin(const QUrl &a, const QUrl &b);

// Whether the password goes along on a redirect from `from` to `to`: to the same origin, or
// over https to the same host or a host below it, as providers send their users on from
// their own domain (icloud.com to caldav.icloud.com, fastmail.com to caldav.fastmail.com).
bool keepsCredentials(const QUrl &from, const QUrl &to);

// The URL as shown in logs and messages: without user, password, query or fragment.
QString forDisplay(const QUrl &url);

} // namespace ServerAddress
