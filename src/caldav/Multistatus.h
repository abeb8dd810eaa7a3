#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// One <DAV:response> of a 207 Multi-Status, with the properties Lorvane asks servers for.
// A property counts only when the propstat that holds it has a 2xx status: servers list the
// properties they lack under a 404 propstat.
struct DavResponse {
    // The path the response is about, percent-decoded ("/alice/tasks/a b.ics"), resolved
    // against the request's URL.
    QString href;
    // The response's own status (404 for a member gone, in a sync report); 0 when it has
    // propstats instead.
    int status = 0;
    QList<int> propStatuses; // each propstat's status, in document order

    QByteArray etag; // as the server wrote it, quotes included: what If-Match wants back
    QString displayName;
    bool isCollection = false;
    bool isCalendar = false;
    // The components a calendar takes, in upper case; nothing when the server did not say,
    // which means it takes all of them.
    std::optional<QStringList> components;
    QUrl principal;    // current-user-principal
    QUrl calendarHome; // calendar-home-set (the first, when a server lists several)
    QString syncToken;
    QString ctag;
    QByteArray calendarData; // UTF-8

    bool supportsTodo() const;
    bool isGone() const { return status == 404; }
};

// A parsed 207 Multi-Status body.
struct Multistatus {
    // Larger bodies are refused unread: no calendar Lorvane syncs comes near it.
    static constexpr qsizetype maxBytes = 32 * 1024 * 1024;

    QList<DavResponse> responses;
    QString syncToken; // the top-level one of a sync-collection report
    QString error;     // why the body was refused, in English for the log; empty when parsed

    bool isValid() const { return error.isEmpty(); }
    // The response about `path`, or nullptr. A trailing slash does not count.
    const DavResponse *find(const QString &path) const;
    static bool isSamePath(const QString &a, const QString &b);

    // Reads `body`, the answer to a request for `requestUrl`. Refuses anything that is not
    // well-formed XML with a DAV:multistatus root, a document type declaration, and bodies
    // over maxBytes. Responses without a usable href, or about another host, are left out.
    static Multistatus parse(const QByteArray &body, const QUrl &requestUrl);
};
