#pragma once

#include "caldav/DavTransport.h"
#include "caldav/SyncError.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;

// A calendar collection that takes tasks.
struct CalendarInfo {
    QUrl url;
    QString displayName;
};

struct Discovery {
    SyncError error;
    QUrl principal;                // empty when the address given was a calendar itself
    QUrl home;                     // where createCollection() puts a new calendar; may be empty
    QList<CalendarInfo> calendars; // only those that take VTODO
};

// One calendar object: its URL, its ETag and, when fetched, its iCalendar text as stored.
struct RemoteItem {
    QUrl url;
    QByteArray etag;
    QByteArray data;
};

struct Changes {
    SyncError error;
    QList<RemoteItem> changed; // new or changed since the token (all members in a full listing)
    QList<QUrl> deleted;
    QString syncToken; // for the next call; empty when the server keeps none
    // Every member, not the difference: no token was given, or the server forgot it. Members
    // missing from the list are gone.
    bool isFullListing = false;
    bool isTruncated = false; // the server sent part of the changes: ask again with the token
};

struct Fetched {
    SyncError error;
    QList<RemoteItem> items;
    QList<QUrl> missing; // asked for but not on the server (any more)
};

struct Written {
    SyncError error;
    QUrl url;
    // The new ETag; empty when the server gave none with its answer (fetch the item to learn
    // it).
    QByteArray etag;
};

// The CalDAV side of syncing: finds the user's task calendars, lists what changed, and reads,
// writes and deletes calendar objects, whose iCalendar text it passes through untouched.
// Every operation answers once, through its callback, later from the event loop; the answer
// carries a SyncError saying why it failed, if it did. Deleting the client cancels what is
// under way, and its callbacks never run.
class CalDavClient : public QObject
{
    Q_OBJECT

public:
    template <typename Result> using Done = std::function<void(const Result &)>;

    explicit CalDavClient(QNetworkAccessManager *network, QObject *parent = nullptr);

    void setCredentials(const QString &user, const QString &password);
    void setTrustedFingerprint(const QString &fingerprint);
    void setResponseLimit(qsizetype bytes);

    // From the address the user gave (see ServerAddress::fromUserInput): a calendar itself, or
    // a principal or any address of the server, where /.well-known/caldav (RFC 6764) and then
    // the address itself lead to the user's principal, its calendar home and the calendars in
    // it.
    void discover(const QUrl &start, Done<Discovery> done);
    // A new calendar for tasks only, in `home`, under a fresh name.
    void createCollection(const QUrl &home, const QString &displayName, Done<Written> done);
    // What changed since `syncToken` (RFC 6578), or every member with its ETag when the token
    // is empty or no longer valid.
    void listChanges(const QUrl &collection, const QString &syncToken, Done<Changes> done);
    void fetch(const QUrl &collection, const QList<QUrl> &items, Done<Fetched> done);
    // Replaces the item when it still has the ETag `ifMatch`, or creates it when `ifMatch` is
    // empty and nothing is there yet; otherwise the error is a Conflict.
    void put(const QUrl &item, const QByteArray &ics, const QByteArray &ifMatch,
             Done<Written> done);
    // Deletes the item if it still has the ETag `ifMatch` (any, when empty). An item already
    // gone counts as deleted.
    void remove(const QUrl &item, const QByteArray &ifMatch, Done<SyncError> done);

private:
    void probe(QList<QUrl> candidates, Done<Discovery> done);
    void findHome(const QUrl &principal, Done<Discovery> done);
    void listHome(const QUrl &principal, const QUrl &home, Done<Discovery> done);
    void listAll(const QUrl &collection, Done<Changes> done);

    DavTransport m_transport;
};
