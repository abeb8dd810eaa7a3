// One CalDAV to-do through libical: which resources are read at all, and that changing one
// synced field of a to-do a phone made leaves every other line of it exactly as it was,
// with the revision stamps and the completion properties right.
#include "model/TaskItem.h"
#include "sync/TaskFields.h"
#include "sync/VTodo.h"

#include <QTest>

#include <functional>

namespace {

QByteArray calendar(const QByteArray &body)
{
    QByteArray text =
        "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Test//EN\n" + body + "END:VCALENDAR\n";
    return text.replace("\n", "\r\n");
}

// As an iPhone writes one: a due time in a time zone, a folded description with commas,
// repetition, an alarm, a parent, Apple's sort order and two CATEGORIES lines.
const QByteArray phoneTodo = calendar(
    "BEGIN:VTIMEZONE\nTZID:Europe/Madrid\nBEGIN:DAYLIGHT\nTZOFFSETFROM:+0100\n"
    "TZOFFSETTO:+0200\nDTSTART:19810329T020000\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\n"
    "TZNAME:CEST\nEND:DAYLIGHT\nBEGIN:STANDARD\nTZOFFSETFROM:+0200\nTZOFFSETTO:+0100\n"
    "DTSTART:19961027T030000\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\nTZNAME:CET\n"
    "END:STANDARD\nEND:VTIMEZONE\n"
    "BEGIN:VTODO\nUID:6F1C2A1E-3B4D-4E5F-8A9B-0C1D2E3F4A5B\nDTSTAMP:20240301T080000Z\n"
    "CREATED:20240301T080000Z\nLAST-MODIFIED:20240302T091500Z\nSEQUENCE:3\n"
    "SUMMARY:Comprar pan\nDUE;TZID=Europe/Madrid:20240310T180000\n"
    "DESCRIPTION:Integral\\, de centeno\\, o de espelta si no queda otro; preguntar en la\n"
    "  panadería de la esquina antes de las seis\n"
    "RRULE:FREQ=WEEKLY;BYDAY=SA\nRELATED-TO;RELTYPE=PARENT:11111111-2222-3333-4444-555555555555\n"
    "X-APPLE-SORT-ORDER:732018845\nCATEGORIES:Casa nueva,to-do\nCATEGORIES:Trabajo\n"
    "STATUS:IN-PROCESS\nPERCENT-COMPLETE:40\nPRIORITY:5\n"
    "BEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:Recordatorio\nTRIGGER:-PT30M\nEND:VALARM\n"
    "END:VTODO\n");

const QDateTime now(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC);

using Edit = std::function<bool(VTodo &)>;

// The unfolded lines, each after the components it is in: "VCALENDAR/VTODO|SUMMARY:x".
QStringList lines(const QByteArray &ics)
{
    QStringList result;
    QStringList path;
    const QString text = QString::fromUtf8(ics).replace(QLatin1String("\r\n "), QString());
    for (const QString &line : text.split(QLatin1String("\r\n"), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("END:")))
            path.removeLast();
        else
            result.append(path.join(u'/') + u'|' + line);
        if (line.startsWith(QLatin1String("BEGIN:")))
            path.append(line.mid(6));
    }
    return result;
}

bool isTodoProperty(const QString &line, const QStringList &names)
{
    const QString prefix = QStringLiteral("VCALENDAR/VTODO|");
    for (const QString &name : names) {
        const qsizetype end = prefix.size() + name.size();
        if (line.startsWith(prefix + name) && line.size() > end &&
            (line.at(end) == u':' || line.at(end) == u';'))
            return true;
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(Edit)

class VTodoTest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("ics");
        QTest::addColumn<QString>("summary"); // empty: refused
        QTest::addColumn<QStringList>("categories");
        QTest::newRow("a phone's to-do")
            << phoneTodo << "Comprar pan" << QStringList{"Casa nueva", "to-do", "Trabajo"};
        QTest::newRow("the to-do that is not an override of one occurrence")
            << calendar("BEGIN:VTODO\nUID:r\nRECURRENCE-ID:20240310T180000Z\nSUMMARY:one\n"
                        "END:VTODO\nBEGIN:VTODO\nUID:r\nSUMMARY:all\nEND:VTODO\n")
            << "all" << QStringList{};
        const auto refused = [](const char *name, const QByteArray &ics) {
            QTest::newRow(name) << ics << QString() << QStringList{};
        };
        refused("garbage", "hello\r\nworld\r\n");
        refused("an event only", calendar("BEGIN:VEVENT\nUID:e\nSUMMARY:x\nEND:VEVENT\n"));
        refused("no UID", calendar("BEGIN:VTODO\nSUMMARY:x\nEND:VTODO\n"));
        refused("a line libical drops",
                calendar("BEGIN:VTODO\nUID:u\nSUMMARY:x\nNONSENSE\nEND:VTODO\n"));
        refused("a VTODO outside a VCALENDAR", "BEGIN:VTODO\r\nUID:u\r\nEND:VTODO\r\n");
        refused("over the size cap", calendar("BEGIN:VTODO\nUID:u\nDESCRIPTION:" +
                                              QByteArray(VTodo::maxSize, 'a') + "\nEND:VTODO\n"));
        refused("a NUL before the rest",
                calendar("BEGIN:VTODO\nUID:u\nSUMMARY:x\nEND:VTODO\n").insert(20, '\0'));
    }
    void parse()
    {
        QFETCH(QByteArray, ics);
        QFETCH(QString, summary);
        QString error;
        const std::optional<VTodo> vtodo = VTodo::parse(ics, &error);
        QCOMPARE(vtodo.has_value(), !summary.isEmpty());
        QCOMPARE(error.isEmpty(), !summary.isEmpty());
        if (vtodo) {
            QCOMPARE(vtodo->summary(), summary);
            QTEST(vtodo->categories(), "categories");
        }
    }

    // Each edit of the phone's to-do: the lines of the properties it touches, and every
    // other line of the resource byte for byte as libical wrote it before the edit.
    void editKeepsTheRest_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QStringList>("touched");
        QTest::addColumn<QStringList>("written");
        const QStringList completion{"STATUS", "PERCENT-COMPLETE", "COMPLETED"};
        QTest::newRow("summary") << Edit([](VTodo &v) { return v.setSummary(u"Pan, y"_qs); })
                                 << QStringList{"SUMMARY"} << QStringList{"SUMMARY:Pan\\, y"};
        // libical reads each value of a CATEGORIES line as a property of its own.
        QTest::newRow("categories") << Edit([](VTodo &v) {
            return v.setCategories({"Casa nueva", "Ocio"});
        }) << QStringList{"CATEGORIES"}
                                    << QStringList{"CATEGORIES:Casa nueva", "CATEGORIES:Ocio"};
        QTest::newRow("done") << Edit([](VTodo &v) {
            return v.setStatus(VTodo::Status::Completed, now);
        }) << completion
                              << QStringList{"COMPLETED:20240501T100000Z", "PERCENT-COMPLETE:100",
                                             "STATUS:COMPLETED"};
        QTest::newRow("done, then open again: no time of completion, 0 %") << Edit([](VTodo &v) {
            v.setStatus(VTodo::Status::Completed, now.addDays(-1));
            return v.setStatus(VTodo::Status::NeedsAction, now);
        }) << completion << QStringList{"PERCENT-COMPLETE:0", "STATUS:NEEDS-ACTION"};
        QTest::newRow("priority") << Edit([](VTodo &v) { return v.setPriority(1); })
                                  << QStringList{"PRIORITY"} << QStringList{"PRIORITY:1"};
        QTest::newRow("no priority") << Edit([](VTodo &v) { return v.setPriority(0); })
                                     << QStringList{"PRIORITY"} << QStringList{};
    }
    void editKeepsTheRest()
    {
        QFETCH(Edit, edit);
        QFETCH(QStringList, touched);
        QFETCH(QStringList, written);
        const VTodo original = *VTodo::parse(phoneTodo);
        VTodo vtodo = original;
        const bool changed = edit(vtodo);
        QVERIFY(changed);
        vtodo.markRevised(now);
        // Read back from text, as the server will.
        const VTodo again = *VTodo::parse(vtodo.serialize());
        QCOMPARE(again.sequence(), 4);
        QCOMPARE(again.lastModified(), now);

        const QStringList stamps{"LAST-MODIFIED", "DTSTAMP", "SEQUENCE"};
        QStringList before = lines(original.serialize());
        QStringList after = lines(again.serialize());
        QVERIFY(after.contains(u"VCALENDAR/VTODO|DTSTAMP:20240501T100000Z"_qs));
        QStringList changedLines;
        for (const QString &line : after) {
            if (isTodoProperty(line, touched))
                changedLines.append(line.section(u'|', 1));
        }
        changedLines.sort();
        QCOMPARE(changedLines, written);
        const auto ignored = [&](const QString &line) {
            return isTodoProperty(line, touched + stamps);
        };
        before.removeIf(ignored);
        after.removeIf(ignored);
        QCOMPARE(after, before);
    }

    // Setting what a field already holds is no change, so an untouched task is no write.
    void sameValueIsNoChange()
    {
        VTodo vtodo = *VTodo::parse(phoneTodo);
        QVERIFY(!vtodo.setSummary(u"Comprar pan"_qs));
        QVERIFY(!vtodo.setCategories({"Casa nueva", "to-do", "Trabajo"}));
        QVERIFY(!vtodo.setStatus(VTodo::Status::InProcess, now));
        QVERIFY(!vtodo.setPriority(5));
        QVERIFY(!TaskFields::apply(vtodo, TaskFields::fromVTodo(vtodo), now));
        QCOMPARE(vtodo.serialize(), VTodo::parse(phoneTodo)->serialize());
    }

    void newResource_data()
    {
        QTest::addColumn<bool>("isDone");
        QTest::addColumn<QString>("expected");
        const QString common =
            u"PRODID:-//Lorvane//Lorvane//"
            u"ES\nVERSION:2.0\nUID:0A1B2C3D-0000-4000-8000-00000000ABCD\n"
            "DTSTAMP:20240501T100000Z\nCREATED:20240501T100000Z\nLAST-MODIFIED:20240501T100000Z\n"
            "SEQUENCE:0\nSUMMARY:Llamar a Ana\nCATEGORIES:casa\nCATEGORIES:Trabajo\n"_qs;
        QTest::newRow("open") << false << common + u"STATUS:NEEDS-ACTION"_qs;
        QTest::newRow("done priority") << true
                                       << common + u"STATUS:COMPLETED\nCOMPLETED:20240501T100000Z\n"
                                                   "PERCENT-COMPLETE:100\nPRIORITY:1"_qs;
    }
    void newResource()
    {
        QFETCH(bool, isDone);
        TaskItem task(u"Llamar #casa a Ana #Trabajo"_qs);
        task.id = QUuid::fromString(u"0a1b2c3d-0000-4000-8000-00000000abcd"_qs);
        task.isDone = task.isPriority = isDone;
        QStringList written;
        for (const QString &line : lines(TaskFields::newVTodo(task, now).serialize())) {
            if (!line.contains(QLatin1String("|BEGIN:")))
                written.append(line.section(u'|', 1));
        }
        QTEST(written.join(u'\n'), "expected");
    }
};

QTEST_GUILESS_MAIN(VTodoTest)
#include "tst_vtodo.moc"
