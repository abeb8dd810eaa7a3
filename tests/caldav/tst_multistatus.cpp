// Multi-Status bodies as Radicale and Nextcloud write them, and bodies no server should send.
#include "caldav/Multistatus.h"

#include <QTest>

class TestMultistatus : public QObject
{
    Q_OBJECT

    // One line per response with the fields it has, then the top-level token, if any.
    static QStringList summary(const Multistatus &parsed)
    {
        QStringList lines;
        for (const DavResponse &r : parsed.responses) {
            const QString type =
                QString(r.isCollection ? "collection " : "") + (r.isCalendar ? "calendar" : "");
            const QString comps = r.components ? r.components->join(u',') + u';' : QString();
            QStringList fields;
            fields << r.href << "status=" + (r.status ? QString::number(r.status) : QString())
                   << "etag=" + r.etag << "name=" + r.displayName << "type=" + type
                   << "comps=" + comps << "principal=" + r.principal.toString()
                   << "home=" + r.calendarHome.toString() << "token=" + r.syncToken
                   << "ctag=" + r.ctag << "data=" + r.calendarData;
            fields.removeIf([](const QString &field) { return field.endsWith(u'='); });
            lines << fields.join(u' ');
        }
        if (!parsed.syncToken.isEmpty())
            lines << "sync-token=" + parsed.syncToken;
        return lines;
    }

private slots:
    void parse_data();
    void parse()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        const Multistatus parsed =
            Multistatus::parse(body, QUrl(QStringLiteral("http://127.0.0.1:5232/alice/tasks/")));
        QTEST(summary(parsed), "expected");
        if (error.isEmpty())
            QVERIFY2(parsed.isValid(), qPrintable(parsed.error));
        else
            QVERIFY2(parsed.error.contains(error), qPrintable(parsed.error));
    }
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
        << QByteArray(R"(<d:multistatus xmlns:d="DAV:" xmlns:cal="urn:ietf:params:xml:ns:caldav"
 xmlns:cs="http://calendarserver.org/ns/" xmlns:x1="http://apple.com/ns/ical/"><d:response>
<d:href>/dav/ana/</d:href><d:propstat><d:prop><d:resourcetype><d:collection/></d:resourcetype>
</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response><d:response>
<d:href>/dav/ana/p/</d:href><d:propstat><d:prop><d:displayname>P &amp; w</d:displayname>
<d:resourcetype><d:collection/><cal:calendar/></d:resourcetype><cs:getctag>c1</cs:getctag>
<cal:supported-calendar-component-set><cal:comp name="vtodo"/><cal:comp name="VEVENT"/>
</cal:supported-calendar-component-set><x1:calendar-color>#0082c9</x1:calendar-color>
<cal:calendar-home-set><d:href>
/dav/ana/</d:href></cal:calendar-home-set><d:sync-token>http://sabre.io/ns/sync/7</d:sync-token>
</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response></d:multistatus>)")
        << QStringList{"/dav/ana/ type=collection ",
                       "/dav/ana/p/ name=P & w type=collection calendar comps=VTODO,VEVENT; "
                       "home=http://127.0.0.1:5232/dav/ana/ token=http://sabre.io/ns/sync/7 "
                       "ctag=c1"}
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
<displayname xmlns="urn:other">fake</displayname><resourcetype><calendar/></resourcetype>
</prop><status>HTTP/1.1 200 OK</status></propstat></response></multistatus>)")
        << QStringList{"/alice/tasks/t.ics etag=\"e2\" data=BEGIN:VCALENDAR<&>"} << QString();

    const auto refused = [](const char *name, const QByteArray &body, const char *error) {
        QTest::newRow(name) << body << QStringList() << QString(error);
    };
    refused("empty", {}, "not XML");
    refused("garbage", QByteArray("\x00\xff<<>&", 6), "not XML");
    refused("cut short", R"(<multistatus xmlns="DAV:"><response><href>/a</href>)", "not XML");
    refused("an HTML error page", "<html><body>502</body></html>", "not DAV:multistatus");
    refused("outside DAV:", R"(<multistatus xmlns="urn:other"/>)", "not DAV:multistatus");
    refused("document type with entities",
            R"(<!DOCTYPE m [<!ENTITY a "aaaa">]><multistatus xmlns="DAV:"/>)", "document type");
    refused("over the size limit",
            QByteArray(R"(<multistatus xmlns="DAV:"/>)").append(Multistatus::maxBytes, ' '),
            "over the limit");
}

QTEST_GUILESS_MAIN(TestMultistatus)
#include "tst_multistatus.moc"
