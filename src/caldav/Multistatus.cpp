#include "caldav/Multistatus.h"

#include "caldav/ServerAddress.h"

#include <QXmlStreamReader>

namespace {

const QLatin1String dav("DAV:");
const QLatin1String caldav("urn:ietf:params:xml:ns:caldav");
const QLatin1String calendarServer("http://calendarserver.org/ns/");

bool is(const QXmlStreamReader &xml, QLatin1String ns, QLatin1String name)
{
    return xml.namespaceUri() == ns && xml.name() == name;
}

// "HTTP/1.1 404 Not Found" → 404; 0 for anything else.
int statusCode(const QString &line)
{
    const QStringList words = line.simplified().split(u' ');
    if (words.size() < 2 || !words[0].startsWith(QLatin1String("HTTP/")))
        return 0;
    bool ok = false;
    const int code = words[1].toInt(&ok);
    return ok && code >= 100 && code <= 599 ? code : 0;
}

QString trimmedPath(const QString &path)
{
    return path.endsWith(u'/') && path.size() > 1 ? path.chopped(1) : path;
}

class Reader
{
public:
    Reader(const QByteArray &body, const QUrl &base) : m_xml(body), m_base(base) {}

    QString read(Multistatus &result);

private:
    QString text() { return m_xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed(); }
    QUrl resolved(const QString &href) const;
    QUrl readHref();
    void readResponse(Multistatus &result);
    void readPropstat(DavResponse &response);
    void readProp(DavResponse &props);

    QXmlStreamReader m_xml;
    QUrl m_base;
};

QUrl Reader::resolved(const QString &href) const
{
    const QUrl reference(href, QUrl::StrictMode);
    if (href.isEmpty() || !reference.isValid())
        return {};
    QUrl url = m_base.resolved(reference).adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery |
                                                   QUrl::RemoveFragment);
    if (url.host().isEmpty() || !url.path().startsWith(u'/'))
        return {};
    return url;
}

// The DAV:href inside the current element, which is then left behind.
QUrl Reader::readHref()
{
    QUrl url;
    while (m_xml.readNextStartElement()) {
        if (is(m_xml, dav, QLatin1String("href")) && url.isEmpty())
            url = resolved(text());
        else
            m_xml.skipCurrentElement();
    }
    return url;
}

void Reader::readProp(DavResponse &props)
{
    while (m_xml.readNextStartElement()) {
        if (is(m_xml, dav, QLatin1String("getetag"))) {
            props.etag = text().toUtf8();
        } else if (is(m_xml, dav, QLatin1String("displayname"))) {
            props.displayName = text();
        } else if (is(m_xml, dav, QLatin1String("sync-token"))) {
            props.syncToken = text();
        } else if (is(m_xml, calendarServer, QLatin1String("getctag"))) {
            props.ctag = text();
        } else if (is(m_xml, caldav, QLatin1String("calendar-data"))) {
            props.calendarData =
                m_xml.readElementText(QXmlStreamReader::SkipChildElements).toUtf8();
        } else if (is(m_xml, dav, QLatin1String("current-user-principal"))) {
            props.principal = readHref();
        } else if (is(m_xml, caldav, QLatin1String("calendar-home-set"))) {
            props.calendarHome = readHref();
        } else if (is(m_xml, dav, QLatin1String("resourcetype"))) {
            while (m_xml.readNextStartElement()) {
                props.isCollection |= is(m_xml, dav, QLatin1String("collection"));
                props.isCalendar |= is(m_xml, caldav, QLatin1String("calendar"));
                m_xml.skipCurrentElement();
            }
        } else if (is(m_xml, caldav, QLatin1String("supported-calendar-component-set"))) {
            QStringList names;
            while (m_xml.readNextStartElement()) {
                if (is(m_xml, caldav, QLatin1String("comp")))
                    names.append(
                        m_xml.attributes().value(QLatin1String("name")).toString().toUpper());
                m_xml.skipCurrentElement();
            }
            props.components = names;
        } else {
            m_xml.skipCurrentElement();
        }
    }
}

void Reader::readPropstat(DavResponse &response)
{
    DavResponse props;
    int status = 0;
    while (m_xml.readNextStartElement()) {
        if (is(m_xml, dav, QLatin1String("prop")))
            readProp(props);
        else if (is(m_xml, dav, QLatin1String("status")))
            status = statusCode(text());
        else
            m_xml.skipCurrentElement();
    }
    response.propStatuses.append(status);
    if (status < 200 || status >= 300)
        return;
    const auto take = [](auto &into, const auto &from) {
        if (!from.isEmpty())
            into = from;
    };
    take(response.etag, props.etag);
    take(response.displayName, props.displayName);
    take(response.principal, props.principal);
    take(response.calendarHome, props.calendarHome);
    take(response.syncToken, props.syncToken);
    take(response.ctag, props.ctag);
    take(response.calendarData, props.calendarData);
    response.isCollection |= props.isCollection;
    response.isCalendar |= props.isCalendar;
    if (props.components)
        response.components = props.components;
}

void Reader::readResponse(Multistatus &result)
{
    DavResponse response;
    QUrl url;
    while (m_xml.readNextStartElement()) {
        if (is(m_xml, dav, QLatin1String("href")) && url.isEmpty())
            url = resolved(text());
        else if (is(m_xml, dav, QLatin1String("status")))
            response.status = statusCode(text());
        else if (is(m_xml, dav, QLatin1String("propstat")))
            readPropstat(response);
        else
            m_xml.skipCurrentElement();
    }
    // An href on another host would be taken for a path on this one.
    if (url.isEmpty() || !ServerAddress::isSameOrigin(url, m_base))
        return;
    response.href = url.path(QUrl::FullyDecoded);
    result.responses.append(response);
}

QString Reader::read(Multistatus &result)
{
    while (!m_xml.atEnd() && m_xml.readNext() != QXmlStreamReader::StartElement) {
        // A document type declaration is where entity expansion attacks live; no server needs
        // one.
        if (m_xml.tokenType() == QXmlStreamReader::DTD)
            return QStringLiteral("document type declarations are not accepted");
    }
    if (m_xml.hasError() || m_xml.tokenType() != QXmlStreamReader::StartElement)
        return QStringLiteral("not XML: %1")
            .arg(m_xml.hasError() ? m_xml.errorString() : QStringLiteral("no element"));
    if (!is(m_xml, dav, QLatin1String("multistatus")))
        return QStringLiteral("the root element is {%1}%2, not DAV:multistatus")
            .arg(m_xml.namespaceUri(), m_xml.name());
    while (m_xml.readNextStartElement()) {
        if (is(m_xml, dav, QLatin1String("response")))
            readResponse(result);
        else if (is(m_xml, dav, QLatin1String("sync-token")))
            result.syncToken = text();
        else
            m_xml.skipCurrentElement();
    }
    // The rest of the document must be well-formed too: a body cut short is no answer.
    while (!m_xml.atEnd())
        m_xml.readNext();
    if (m_xml.hasError())
        return QStringLiteral("not XML: %1 at line %2")
            .arg(m_xml.errorString())
            .arg(m_xml.lineNumber());
    return {};
}

} // namespace

bool DavResponse::supportsTodo() const
{
    return !components || components->contains(QLatin1String("VTODO"));
}

const DavResponse *Multistatus::find(const QString &path) const
{
    for (const DavResponse &response : responses) {
        if (isSamePath(response.href, path))
            return &response;
    }
    return nullptr;
}

bool Multistatus::isSamePath(const QString &a, const QString &b)
{
    return trimmedPath(a) == trimmedPath(b);
}

Multistatus Multistatus::parse(const QByteArray &body, const QUrl &requestUrl)
{
    Multistatus result;
    if (body.size() > maxBytes) {
        result.error = QStringLiteral("the body of %1 bytes is over the limit of %2")
                           .arg(body.size())
                           .arg(maxBytes);
        return result;
    }
    result.error = Reader(body, requestUrl).read(result);
    if (!result.isValid()) {
        result.responses.clear();
        result.syncToken.clear();
    }
    return result;
}
