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
    "BEGIN:VTIMEZONE\nTZID:Europe/Madrid\nBEGIN:STANDARD\nTZOFFSETFROM:+0200\nTZOFFSETTO:+0100\n"
    "DTSTART:19961027T030000\nEND:STANDARD\nEND:VTIMEZONE\nBEGIN:VTODO\nUID:6F1C2A1E@phone\n"
    "DTSTAMP:20240301T080000Z\nLAST-MODIFIED:20240302T091500Z\nSEQUENCE:3\nSUMMARY:Comprar pan\n"
    "DUE;TZID=Europe/Madrid:20240310T180000\nDESCRIPTION:Integral\\, de centeno\\, o de espelta\n"
    "  si no queda otro\nRRULE:FREQ=WEEKLY;BYDAY=SA\nRELATED-TO;RELTYPE=PARENT:1111-2222\n"
    "X-APPLE-SORT-ORDER:732018845\nCATEGORIES:Casa nueva,to-do\nCATEGORIES:Trabajo\n"
    "STATUS:IN-PROCESS\nPERCENT-COMPLETE:40\nPRIORITY:5\n"
    "BEGIN:VALARM\nACTION:DISPLAY\nTRIGGER:-PT30M\nEND:VALARM\nEND:VTODO\n");

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
    const QString property = line.section(u'|', 1).section(u':', 0, 0).section(u';', 0, 0);
    return line.startsWith(QLatin1String("VCALENDAR/VTODO|")) && names.contains(property);
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
        const QByteArray todo = calendar("BEGIN:VTODO\nUID:u\nSUMMARY:x\nEND:VTODO\n");
        refused("garbage", "hello\r\nworld\r\n");
        refused("an event only", QByteArray(todo).replace("VTODO", "VEVENT"));
        refused("no UID", QByteArray(todo).replace("UID:u\r\n", ""));
        refused("a line libical drops", QByteArray(todo).replace("SUMMARY", "NONSENSE\r\nSUMMARY"));
        refused("a VTODO outside a VCALENDAR", "BEGIN:VTODO\r\nUID:u\r\nEND:VTODO\r\n");
        refused(
            "over the size cap",
            QByteArray(todo).replace("SUMMARY:x", "SUMMARY:" + QByteArray(VTodo::maxSize, 'a')));
        refused("a NUL before the rest", QByteArray(todo).insert(20, '\0'));
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
        const auto row = [](const char *name, Edit edit, const QStringList &touched,
                            const QStringList &written) {
            QTest::newRow(name) << edit << touched << written;
        };
        row("summary", [](VTodo &v) { return v.setSummary(u"Pan, y"_qs); }, {"SUMMARY"},
            {"SUMMARY:Pan\\, y"});
        // libical reads each value of a CATEGORIES line as a property of its own.
        row("categories",
            [](VTodo &v) {
                return v.setCategories({"Casa nueva", "Ocio"});
            },
            {"CATEGORIES"}, {"CATEGORIES:Casa nueva", "CATEGORIES:Ocio"});
        row("done", [](VTodo &v) { return v.setStatus(VTodo::Status::Completed, now); }, completion,
            {"COMPLETED:20240501T100000Z", "PERCENT-COMPLETE:100", "STATUS:COMPLETED"});
        row("done, then open again: no time of completion, 0 %",
            [](VTodo &v) {
                v.setStatus(VTodo::Status::Completed, now.addDays(-1));
                return v.setStatus(VTodo::Status::NeedsAction, now);
            },
            completion, {"PERCENT-COMPLETE:0", "STATUS:NEEDS-ACTION"});
        row("priority", [](VTodo &v) { return v.setPriority(1); }, {"PRIORITY"}, {"PRIORITY:1"});
        row("no priority", [](VTodo &v) { return v.setPriority(0); }, {"PRIORITY"}, {});
    }
    void editKeepsTheRest()
    {
        QFETCH(Edit, edit);
        QFETCH(QStringList, touched);
        const VTodo original = *VTodo::parse(phoneTodo);
        VTodo vtodo = original;
        QVERIFY(edit(vtodo));
        vtodo.markRevised(now);
        // Read back from text, as the server will.
        const VTodo again = *VTodo::parse(vtodo.serialize());
        QCOMPARE(again.sequence(), 4);
        QCOMPARE(again.lastModified(), now);

        QStringList before = lines(original.serialize());
        QStringList after = lines(again.serialize());
        QVERIFY(after.contains(u"VCALENDAR/VTODO|DTSTAMP:20240501T100000Z"_qs));
        QStringList changed;
        for (const QString &line : after) {
            if (isTodoProperty(line, touched))
                changed.append(line.section(u'|', 1));
        }
        changed.sort();
        QTEST(changed, "written");
        const auto ignored = [&](const QString &line) {
            return isTodoProperty(line,
                                  touched + QStringList{"LAST-MODIFIED", "DTSTAMP", "SEQUENCE"});
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

    // A task written as a new resource, open and then done with priority.
    void newResource()
    {
        TaskItem task(u"Llamar #casa a Ana #Trabajo"_qs);
        task.id = QUuid::fromString(u"0a1b2c3d-0000-4000-8000-00000000abcd"_qs);
        const QString common =
            u"PRODID:-//Lorvane//Lorvane//ES\nVERSION:2.0\n"
            "UID:0A1B2C3D-0000-4000-8000-00000000ABCD\nDTSTAMP:20240501T100000Z\n"
            "CREATED:20240501T100000Z\nLAST-MODIFIED:20240501T100000Z\n"
            "SEQUENCE:0\nSUMMARY:Llamar a Ana\nCATEGORIES:casa\nCATEGORIES:Trabajo\n"_qs;
        for (const QString &end :
             {u"STATUS:NEEDS-ACTION"_qs, u"STATUS:COMPLETED\nCOMPLETED:20240501T100000Z\n"
                                         "PERCENT-COMPLETE:100\nPRIORITY:1"_qs}) {
            QStringList written;
            for (const QString &line : lines(TaskFields::newVTodo(task, now).serialize())) {
                if (!line.contains(QLatin1String("|BEGIN:")))
                    written.append(line.section(u'|', 1));
            }
            QCOMPARE(written.join(u'\n'), common + end);
            task.isDone = task.isPriority = true;
        }
    }
};

QTEST_GUILESS_MAIN(VTodoTest)
#include "tst_vtodo.moc"
