#include "caldav/CalDavClient.h"

#include "caldav/Multistatus.h"

#include <QUuid>

namespace {

const QByteArray xmlHeader = R"(<?xml version="1.0" encoding="utf-8"?>)";

QByteArray propfindBody(const QByteArray &props)
{
    return xmlHeader +
           R"(<D:propfind xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav" )"
           R"(xmlns:CS="http://calendarserver.org/ns/"><D:prop>)" +
           props + "</D:prop></D:propfind>";
}

const QByteArray collectionProps =
    "<D:resourcetype/><D:displayname/><C:supported-calendar-component-set/>";

QByteArray escaped(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

DavRequest request(const QByteArray &method, const QUrl &url, const QByteArray &depth = {},
                   const QByteArray &body = {})
{
    DavRequest out;
    out.method = method;
    out.url = url;
    out.depth = depth;
    out.body = body;
    return out;
}

// The URL of `path` on the server that answered at `base`.
QUrl urlOf(const QUrl &base, const QString &path)
{
    QUrl url = base.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo);
    url.setPath(path, QUrl::DecodedMode);
    return url;
}

QUrl asFolder(const QUrl &url)
{
    QUrl folder = url;
    if (!folder.path().endsWith(u'/'))
        folder.setPath(folder.path(QUrl::FullyDecoded) + u'/', QUrl::DecodedMode);
    return folder;
}

// The multistatus of a 207 answer, or the error that `reply` is instead.
Multistatus multistatusOf(const DavReply &reply, SyncError &error)
{
    error = reply.error;
    if (!error.isOk())
        return {};
    if (reply.status != 207) {
        error = SyncError::badResponse(reply.status);
        return {};
    }
    Multistatus parsed = Multistatus::parse(reply.body, reply.url);
    if (!parsed.isValid())
        error = SyncError::badResponse(reply.status);
    return parsed;
}

bool stopsDiscovery(SyncError::Kind kind)
{
    using Kind = SyncError::Kind;
    return kind == Kind::Offline || kind == Kind::AuthFailed || kind == Kind::ServerBusy ||
           kind == Kind::TlsUntrusted || kind == Kind::Refused;
}

SyncError noCalendarServer()
{
    SyncError error = SyncError::badResponse();
    error.message = QStringLiteral("No hay un servidor CalDAV en esta dirección");
    return error;
}

} // namespace

CalDavClient::CalDavClient(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent), m_transport(network)
{
    m_transport.setParent(this);
}

void CalDavClient::setCredentials(const QString &user, const QString &password)
{
    m_transport.setCredentials(user, password);
}

void CalDavClient::setTrustedFingerprint(const QString &fingerprint)
{
    m_transport.setTrustedFingerprint(fingerprint);
}

void CalDavClient::setResponseLimit(qsizetype bytes)
{
    m_transport.setResponseLimit(bytes);
}

void CalDavClient::discover(const QUrl &start, Done<Discovery> done)
{
    const QUrl wellKnown = start.resolved(QUrl(QStringLiteral("/.well-known/caldav")));
    // An address with a path may be a calendar or a principal, and says more than the
    // server's general entry point.
    if (start.path().isEmpty() || start.path() == QLatin1String("/"))
        probe({wellKnown, start}, std::move(done));
    else
        probe({start, wellKnown}, std::move(done));
}

void CalDavClient::probe(QList<QUrl> candidates, Done<Discovery> done)
{
    if (candidates.isEmpty()) {
        done(Discovery{noCalendarServer(), {}, {}, {}});
        return;
    }
    const QUrl url = candidates.takeFirst();
    const QByteArray props = collectionProps + "<D:current-user-principal/><C:calendar-home-set/>";
    m_transport.send(
        request("PROPFIND", url, "0", propfindBody(props)),
        [this, candidates, done](const DavReply &reply) {
            SyncError error;
            const Multistatus answer = multistatusOf(reply, error);
            if (stopsDiscovery(error.kind)) {
                done(Discovery{error, {}, {}, {}});
                return;
            }
            const DavResponse *self = answer.find(reply.url.path(QUrl::FullyDecoded));
            if (!self && !answer.responses.isEmpty())
                self = &answer.responses.first();
            if (!error.isOk() || !self) {
                probe(candidates, done);
            } else if (self->isCalendar && self->supportsTodo()) {
                const CalendarInfo calendar{urlOf(reply.url, self->href), self->displayName};
                done(Discovery{{}, {}, self->calendarHome, {calendar}});
            } else if (!self->calendarHome.isEmpty()) {
                listHome(self->principal, self->calendarHome, done);
            } else if (!self->principal.isEmpty()) {
                findHome(self->principal, done);
            } else {
                probe(candidates, done);
            }
        });
}

void CalDavClient::findHome(const QUrl &principal, Done<Discovery> done)
{
    m_transport.send(request("PROPFIND", principal, "0", propfindBody("<C:calendar-home-set/>")),
                     [this, principal, done](const DavReply &reply) {
                         SyncError error;
                         const Multistatus answer = multistatusOf(reply, error);
                         const DavResponse *self =
                             answer.responses.isEmpty() ? nullptr : &answer.responses[0];
                         if (error.isOk() && (!self || self->calendarHome.isEmpty()))
                             error = noCalendarServer();
                         if (!error.isOk())
                             done(Discovery{error, principal, {}, {}});
                         else
                             listHome(principal, self->calendarHome, done);
                     });
}

void CalDavClient::listHome(const QUrl &principal, const QUrl &home, Done<Discovery> done)
{
    m_transport.send(
        request("PROPFIND", home, "1", propfindBody(collectionProps)),
        [principal, home, done](const DavReply &reply) {
            Discovery found{{}, principal, home, {}};
            const Multistatus answer = multistatusOf(reply, found.error);
            for (const DavResponse &response : answer.responses) {
                if (response.isCalendar && response.supportsTodo())
                    found.calendars.append({urlOf(reply.url, response.href), response.displayName});
            }
            done(found);
        });
}

void CalDavClient::createCollection(const QUrl &home, const QString &displayName,
                                    Done<Written> done)
{
    QUrl url = asFolder(home);
    url.setPath(url.path(QUrl::FullyDecoded) + QUuid::createUuid().toString(QUuid::WithoutBraces) +
                    u'/',
                QUrl::DecodedMode);
    const QByteArray body =
        xmlHeader +
        R"(<C:mkcalendar xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav">)"
        "<D:set><D:prop><D:displayname>" +
        escaped(displayName) +
        R"(</D:displayname><C:supported-calendar-component-set><C:comp name="VTODO"/>)"
        "</C:supported-calendar-component-set></D:prop></D:set></C:mkcalendar>";
    m_transport.send(request("MKCALENDAR", url, {}, body), [url, done](const DavReply &reply) {
        done(Written{reply.error, url, {}});
    });
}

void CalDavClient::listChanges(const QUrl &collection, const QString &syncToken, Done<Changes> done)
{
    if (syncToken.isEmpty()) {
        listAll(collection, std::move(done));
        return;
    }
    const QByteArray body = xmlHeader + R"(<D:sync-collection xmlns:D="DAV:"><D:sync-token>)" +
                            escaped(syncToken) +
                            "</D:sync-token><D:sync-level>1</D:sync-level>"
                            "<D:prop><D:getetag/></D:prop></D:sync-collection>";
    m_transport.send(
        request("REPORT", collection, "0", body), [this, collection, done](const DavReply &reply) {
            // RFC 6578: a token the server no longer knows is refused with this precondition.
            if ((reply.status == 403 || reply.status == 409) &&
                reply.body.contains("valid-sync-token")) {
                listAll(collection, done);
                return;
            }
            Changes changes;
            const Multistatus answer = multistatusOf(reply, changes.error);
            const QString self = collection.path(QUrl::FullyDecoded);
            for (const DavResponse &response : answer.responses) {
                if (response.isGone())
                    changes.deleted.append(urlOf(reply.url, response.href));
                else if (Multistatus::isSamePath(response.href, self))
                    changes.isTruncated |= response.status == 507;
                else if (!response.isCollection && !response.etag.isEmpty())
                    changes.changed.append({urlOf(reply.url, response.href), response.etag, {}});
            }
            changes.syncToken = answer.syncToken;
            if (changes.error.isOk() && changes.syncToken.isEmpty())
                changes.error = SyncError::badResponse(reply.status);
            done(changes);
        });
}

void CalDavClient::listAll(const QUrl &collection, Done<Changes> done)
{
    const QByteArray props = "<D:resourcetype/><D:getetag/><D:sync-token/><CS:getctag/>";
    m_transport.send(
        request("PROPFIND", collection, "1", propfindBody(props)),
        [collection, done](const DavReply &reply) {
            Changes changes;
            changes.isFullListing = true;
            const Multistatus answer = multistatusOf(reply, changes.error);
            const QString self = collection.path(QUrl::FullyDecoded);
            if (const DavResponse *found = answer.find(self))
                changes.syncToken = found->syncToken;
            for (const DavResponse &response : answer.responses) {
                if (!response.isCollection && !response.isGone() && !response.etag.isEmpty())
                    changes.changed.append({urlOf(reply.url, response.href), response.etag, {}});
            }
            done(changes);
        });
}

void CalDavClient::fetch(const QUrl &collection, const QList<QUrl> &items, Done<Fetched> done)
{
    QByteArray hrefs;
    for (const QUrl &item : items)
        hrefs += "<D:href>" + escaped(item.path(QUrl::FullyEncoded)) + "</D:href>";
    const QByteArray body =
        xmlHeader +
        R"(<C:calendar-multiget xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav">)"
        "<D:prop><D:getetag/><C:calendar-data/></D:prop>" +
        hrefs + "</C:calendar-multiget>";
    m_transport.send(request("REPORT", collection, "1", body),
                     [items, done](const DavReply &reply) {
                         Fetched fetched;
                         const Multistatus answer = multistatusOf(reply, fetched.error);
                         for (const QUrl &item : items) {
                             const DavResponse *found = answer.find(item.path(QUrl::FullyDecoded));
                             if (found && !found->isGone() && !found->calendarData.isEmpty())
                                 fetched.items.append({item, found->etag, found->calendarData});
                             else if (fetched.error.isOk())
                                 fetched.missing.append(item);
                         }
                         done(fetched);
                     });
}

void CalDavClient::put(const QUrl &item, const QByteArray &ics, const QByteArray &ifMatch,
                       Done<Written> done)
{
    DavRequest out = request("PUT", item, {}, ics);
    out.contentType = "text/calendar; charset=utf-8";
    if (ifMatch.isEmpty())
        out.headers.append(qMakePair(QByteArray("If-None-Match"), QByteArray("*")));
    else
        out.headers.append(qMakePair(QByteArray("If-Match"), ifMatch));
    m_transport.send(out, [item, done](const DavReply &reply) {
        done(Written{reply.error, item, reply.error.isOk() ? reply.etag : QByteArray()});
    });
}

void CalDavClient::remove(const QUrl &item, const QByteArray &ifMatch, Done<SyncError> done)
{
    DavRequest out = request("DELETE", item);
    if (!ifMatch.isEmpty())
        out.headers.append(qMakePair(QByteArray("If-Match"), ifMatch));
    m_transport.send(out, [done](const DavReply &reply) {
        done(reply.status == 404 ? SyncError() : reply.error);
    });
}
