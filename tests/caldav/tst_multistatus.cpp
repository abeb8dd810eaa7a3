// Multi-Status bodies as Radicale and Nextcloud write them, and bodies no server should send.
#include "caldav/Multistatus.h"

#include <QTest>

namespace {

const QUrl requestUrl(QStringLiteral("http://127.0.0.1:5232/alice/tasks/"));

// One line per response with the fields it has, then the top-level token, if any.
QStringList summary(const Multistatus &parsed)
{
    QStringList lines;
    for (const DavResponse &r : parsed.responses) {
        QStringList f{r.href};
        const auto add = [&f](const char *name, const QString &value) {
            if (!value.isEmpty())
                f << QLatin1String(name) + u'=' + value;
        };
        add("status", r.status ? QString::number(r.status) : QString());
        add("etag", QString::fromUtf8(r.etag));
        add("name", r.displayName);
        add("type",
            QString(r.isCollection ? "collection " : "") + (r.isCalendar ? "calendar" : ""));
        add("comps", r.components ? r.components->join(u',') + u';' : QString());
        add("principal", r.principal.toString());
        add("home", r.calendarHome.toString());
        add("token", r.syncToken);
        add("ctag", r.ctag);
        add("data", QString::fromUtf8(r.calendarData));
        lines << f.join(u' ');
    }
    if (!parsed.syncToken.isEmpty())
        lines << QStringLiteral("sync-token=") + parsed.syncToken;
    return lines;
}

} // namespace

class TestMultistatus : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

void TestMultistatus::parse_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("error");

    QTest::newRow("radicale principal, unknown property under 404")
        << QByteArray(R"(<?xml version='1.0' encoding='utf-8'?>
<multistatus xmlns="DAV:"><response><href>/</href><propstat><prop><current-user-principal>
<href>/alice/</href></current-user-principal></prop><status>HTTP/1.1 200 OK</status></propstat>
<propstat><prop><sync-token>ignored</sync-token></prop><status>HTTP/1.1 404 Not Found</status>
</propstat></response></multistatus>)")
        << QStringList{"/ principal=http://127.0.0.1:5232/alice/"} << QString();

    QTest::newRow("nextcloud home with its own prefixes")
        << QByteArray(R"(<?xml version="1.0"?>
<d:multistatus xmlns:d="DAV:" xmlns:cal="urn:ietf:params:xml:ns:caldav"
 xmlns:cs="http://calendarserver.org/ns/" xmlns:x1="http://apple.com/ns/ical/">
<d:response><d:href>/remote.php/dav/calendars/alice/</d:href><d:propstat><d:prop>
<d:resourcetype><d:collection/></d:resourcetype></d:prop><d:status>HTTP/1.1 200 OK</d:status>
</d:propstat></d:response>
<d:response><d:href>/remote.php/dav/calendars/alice/personal/</d:href><d:propstat><d:prop>
<d:displayname>Personal &amp; work</d:displayname><d:resourcetype><d:collection/><cal:calendar/>
</d:resourcetype><cal:supported-calendar-component-set><cal:comp name="VEVENT"/>
</cal:supported-calendar-component-set><cs:getctag>ctag-1</cs:getctag>
<x1:calendar-color>#0082c9</x1:calendar-color><cal:calendar-home-set><d:href>
/remote.php/dav/calendars/alice/</d:href></cal:calendar-home-set></d:prop>
<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>
<d:response><d:href>/remote.php/dav/calendars/alice/tasks/</d:href><d:propstat><d:prop>
<d:resourcetype><d:collection/><cal:calendar/></d:resourcetype>
<cal:supported-calendar-component-set><cal:comp name="vtodo"/><cal:comp name="VEVENT"/>
</cal:supported-calendar-component-set><d:sync-token>http://sabre.io/ns/sync/7</d:sync-token>
</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response></d:multistatus>)")
        << QStringList{"/remote.php/dav/calendars/alice/ type=collection ",
                       "/remote.php/dav/calendars/alice/personal/ name=Personal & work "
                       "type=collection calendar comps=VEVENT; "
                       "home=http://127.0.0.1:5232/remote.php/dav/calendars/alice/ ctag=ctag-1",
                       "/remote.php/dav/calendars/alice/tasks/ type=collection calendar "
                       "comps=VTODO,VEVENT; token=http://sabre.io/ns/sync/7"}
        << QString();

    QTest::newRow("sync report with a deleted member")
        << QByteArray(R"(<multistatus xmlns="DAV:">
<response><href>/alice/tasks/new.ics</href><propstat><prop><getetag>"e1"</getetag></prop>
<status>HTTP/1.1 200 OK</status></propstat></response>
<response><href>/alice/tasks/gone.ics</href><status>HTTP/1.1 404 Not Found</status></response>
<sync-token>http://radicale.org/ns/sync/abc</sync-token></multistatus>)")
        << QStringList{"/alice/tasks/new.ics etag=\"e1\"", "/alice/tasks/gone.ics status=404",
                       "sync-token=http://radicale.org/ns/sync/abc"}
        << QString();

    QTest::newRow("percent-encoded, absolute, relative and foreign hrefs")
        << QByteArray(R"(<D:multistatus xmlns:D="DAV:">
<D:response><D:href>/alice/tasks/a%20b%C3%A9.ics</D:href></D:response>
<D:response><D:href>http://127.0.0.1:5232/alice/x.ics</D:href></D:response>
<D:response><D:href>c.ics</D:href></D:response>
<D:response><D:href>https://elsewhere.example/alice/y.ics</D:href></D:response>
<D:response><D:status>HTTP/1.1 200 OK</D:status></D:response></D:multistatus>)")
        << QStringList{"/alice/tasks/a bé.ics", "/alice/x.ics", "/alice/tasks/c.ics"} << QString();

    QTest::newRow("calendar data in CDATA, look-alikes in other namespaces")
        << QByteArray(R"(<multistatus xmlns="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav">
<response><href>/alice/tasks/t.ics</href><propstat><prop><getetag>"e2"</getetag>
<C:calendar-data><![CDATA[BEGIN:VCALENDAR<&>]]></C:calendar-data>
<I:getetag xmlns:I="http://apple.com/ns/ical/">"fake"</I:getetag>
<displayname xmlns="urn:other">fake</displayname>
<resourcetype><calendar/></resourcetype></prop>
<status>HTTP/1.1 200 OK</status></propstat></response></multistatus>)")
        << QStringList{"/alice/tasks/t.ics etag=\"e2\" data=BEGIN:VCALENDAR<&>"} << QString();

    QTest::newRow("empty") << QByteArray() << QStringList() << "not XML";
    QTest::newRow("garbage") << QByteArray("\x00\xff<<>&", 6) << QStringList() << "not XML";
    QTest::newRow("an HTML error page")
        << QByteArray(R"(<html xmlns="http://www.w3.org/1999/xhtml"><body>502</body></html>)")
        << QStringList() << "not DAV:multistatus";
    QTest::newRow("multistatus outside DAV:") << QByteArray(R"(<multistatus xmlns="urn:other"/>)")
                                              << QStringList() << "not DAV:multistatus";
    QTest::newRow("cut short") << QByteArray(
                                      R"(<multistatus xmlns="DAV:"><response><href>/a</href>)")
                               << QStringList() << "not XML";
    QTest::newRow("document type with entities")
        << QByteArray(R"(<!DOCTYPE m [<!ENTITY a "aaaa">]><multistatus xmlns="DAV:"/>)")
        << QStringList() << "document type";
    QTest::newRow("over the size limit") << QByteArray(R"(<multistatus xmlns="DAV:"/>)")
                                                .append(QByteArray(Multistatus::maxBytes, ' '))
                                         << QStringList() << "over the limit";
}

void TestMultistatus::parse()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, expected);
    QFETCH(QString, error);

    const Multistatus parsed = Multistatus::parse(body, requestUrl);
    QCOMPARE(summary(parsed), expected);
    if (error.isEmpty())
        QVERIFY2(parsed.isValid(), qPrintable(parsed.error));
    else
        QVERIFY2(parsed.error.contains(error), qPrintable(parsed.error));
}

QTEST_GUILESS_MAIN(TestMultistatus)
#include "tst_multistatus.moc"
