// The list and the server merged three ways against the last synced copies. Tasks are
// written "key|text|flags|minutes" and separated by ";": the key A to F is a task whose UID
// is its id, "cita" and "nota" ones a phone made (UID not a UUID), "*" in a result a task
// with a fresh id; flags are x (done), ! (priority, PRIORITY 1), a digit (that PRIORITY),
// i (IN-PROCESS); minutes after 10:00 date a change. A server copy may end in
// "|categories" when they are not the text's tags; a write shows them, and "+" before it
// marks a new resource.
#include "model/Tags.h"
#include "sync/SyncMerge.h"

#include <QTest>

#include <algorithm>

namespace {

const QDateTime start(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC);
const QStringList phoneKeys{"cita", "nota"};
const QStringList keys = phoneKeys + QStringList{"A", "B", "C", "D", "E", "F"};

QUuid idOf(const QString &key)
{
    if (phoneKeys.contains(key))
        return QUuid::createUuidV5(QUuid(), key);
    return QUuid::fromString(QString(8, key.at(0)) + u"-0000-4000-8000-000000000000"_qs);
}

QString uidOf(const QString &key)
{
    return phoneKeys.contains(key) ? key + u"@phone.example"_qs : TaskFields::uidFor(idOf(key));
}

QString keyOf(const QUuid &id)
{
    const auto key = std::find_if(keys.begin(), keys.end(), [&](auto &k) { return idOf(k) == id; });
    return key == keys.end() ? u"*"_qs : *key;
}

QDateTime timeOf(const QStringList &parts)
{
    return start.addSecs(60 * parts.value(3).toInt());
}

VTodo resource(const QString &written)
{
    const QStringList parts = written.split(u'|');
    VTodo vtodo = VTodo::create(uidOf(parts.at(0)), timeOf(parts));
    const QStringList tags = extractTags(parts.at(1));
    vtodo.setSummary(displayText(parts.at(1), tags));
    vtodo.setCategories(parts.size() > 4 ? parts.at(4).split(u',') : tags);
    for (const QChar flag : parts.value(2)) {
        if (flag == u'x' || flag == u'i')
            vtodo.setStatus(flag == u'x' ? VTodo::Status::Completed : VTodo::Status::InProcess,
                            start);
        else
            vtodo.setPriority(flag == u'!' ? 1 : flag.digitValue());
    }
    return vtodo;
}

QString describe(const QUuid &id, const QString &text, bool isDone, bool isPriority)
{
    return keyOf(id) + u'|' + text + u'|' + (isDone ? "x" : "") + (isPriority ? "!" : "");
}

QString describe(const SyncedTask &upload)
{
    const VTodo &vtodo = upload.vtodo;
    const SyncedFields fields = TaskFields::fromVTodo(vtodo);
    QString text = (upload.href.isEmpty() ? u"+"_qs : QString()) +
                   describe(upload.localId, fields.text, fields.isDone, fields.isPriority);
    if (vtodo.priority() > 1)
        text += QString::number(vtodo.priority());
    if (vtodo.status() == VTodo::Status::InProcess)
        text += u'i';
    if (!vtodo.categories().isEmpty())
        text += u'|' + vtodo.categories().join(u',');
    return text;
}

void row(const char *name, const QString &columns)
{
    QTestData &data = QTest::newRow(name);
    for (const QString &column : columns.split(u'/'))
        data << column.trimmed();
}

} // namespace

class SyncMergeTest : public QObject
{
    Q_OBJECT

private slots:
    // Each row: base / local / remote / the merged list / the writes / the deletes.
    void merge_data()
    {
        for (const char *column : {"base", "local", "remote", "tasks", "uploads", "deletes"})
            QTest::addColumn<QString>(column);
        row("text changed here",
            "A|Pan / A|Pan #casa / A|Pan / A|Pan #casa| / A|Pan #casa||casa /");
        row("done here", "A|Pan / A|Pan|x / A|Pan / A|Pan|x / A|Pan|x / ");
        row("priority here", "A|Pan / A|Pan|! / A|Pan / A|Pan|! / A|Pan|! / ");
        row("text changed on the server", "A|Pan / A|Pan / A|Pan #casa / A|Pan #casa| / / ");
        row("done on the server", "A|Pan / A|Pan / A|Pan|x / A|Pan|x / / ");
        row("priority on the server", "A|Pan / A|Pan / A|Pan|! / A|Pan|! / / ");
        row("different fields on the two sides",
            "A|Pan / A|Pan 2||5 / A|Pan|x!|1 / A|Pan 2|x! / A|Pan 2|x! / ");
        row("one text on both sides, here later: theirs kept after",
            "A|Pan / B|Té;A|Pan 1||20;C|Sal / A|Pan 2|x|10;B|Té;C|Sal / "
            "B|Té|;A|Pan 1|x;*|Pan 2|x;C|Sal| / A|Pan 1|x;+*|Pan 2|x / ");
        row("one text on both sides, server later: ours kept after",
            "A|Pan / A|Pan 1|!|10 / A|Pan 2||20 / A|Pan 2|!;*|Pan 1|! / A|Pan 2|!;+*|Pan 1|! / ");
        row("a tie goes here",
            "A|Pan / A|Pan 1||10 / A|Pan 2||10 / A|Pan 1|;*|Pan 2| / A|Pan 1|;+*|Pan 2| / ");
        row("the same change on both sides, tags in another order",
            "A|Pan / A|#a Pan #b|x|20 / A|Pan #b #a|x|10 / A|#a Pan #b|x / / ");
        row("deleted here, changed on the server", "A|Pan / / A|Pan 2|x|30 / / / A");
        row("deleted on the server, changed here", "A|Pan / A|Pan 2|x|30 / / / / ");
        row("deleted on both sides", "A|Pan / / / / / ");
        row("new on both sides, the server's in its order",
            "A|Pan / A|Pan;B|Té|! / E|Sal;A|Pan;C|Ajo|x;D|Col / "
            "A|Pan|;B|Té|!;E|Sal|;C|Ajo|x;D|Col| / +B|Té|! / ");
        row("made on both sides before any sync: one task", " / B|Té|! / B|Té|! / B|Té|! / / ");
        row("UIDs that are not UUIDs, synced before and new",
            "cita|Cita / cita|Cita a las 5 / cita|Cita;B|Pan|1;nota|Té / "
            "cita|Cita a las 5|;B|Pan|!;*|Té| / cita|Cita a las 5| / ");
        row("categories that are no tag word, from the server",
            " / / C|Ir||0|Casa nueva,  , to-do / C|Ir #Casa_nueva #to_do| / / ");
        row("categories that are no tag word, back in the server's spelling",
            "C|Ir||0|Casa nueva,to-do / C|Ir #CASA_NUEVA #ya #to_do / C|Ir||0|Casa nueva,to-do / "
            "C|Ir #CASA_NUEVA #ya #to_do| / C|Ir #Casa_nueva #ya #to_do||Casa nueva,ya,to-do / ");
        row("what did not change keeps the server's value",
            "A|Pan|i3|0|Casa nueva / A|Pan 2 #Casa_nueva|! / A|Pan|i3|0|Casa nueva / "
            "A|Pan 2 #Casa_nueva|! / A|Pan 2 #Casa_nueva|!3i|Casa nueva / ");
    }
    void merge()
    {
        QFETCH(QString, base);
        QFETCH(QString, local);
        QFETCH(QString, remote);
        QList<SyncedTask> synced;
        for (const QString &written : base.split(u';', Qt::SkipEmptyParts)) {
            const QString key = written.section(u'|', 0, 0);
            synced.append({uidOf(key), idOf(key), {}, {}, resource(written)});
        }
        QList<SyncMerge::LocalTask> tasks;
        for (const QString &written : local.split(u';', Qt::SkipEmptyParts)) {
            const QStringList parts = written.split(u'|');
            TaskItem task(parts.at(1));
            task.id = idOf(parts.at(0));
            task.isDone = parts.value(2).contains(u'x');
            task.isPriority = parts.value(2).contains(u'!');
            tasks.append({task, timeOf(parts)});
        }
        QList<SyncMerge::RemoteTask> server;
        for (const QString &written : remote.split(u';', Qt::SkipEmptyParts))
            server.append({u"/"_qs + written, u"etag "_qs + written, resource(written)});

        const SyncMerge::Result result = SyncMerge::merge(tasks, synced, server, start);
        QStringList merged, uploads, deletes;
        QSet<QUuid> ids;
        for (const TaskItem &task : result.tasks) {
            merged.append(describe(task.id, task.text, task.isDone, task.isPriority));
            QCOMPARE(task.tags, extractTags(task.text));
            ids.insert(task.id);
        }
        for (const SyncedTask &upload : result.uploads)
            uploads.append(describe(upload));
        for (const SyncedTask &gone : result.deletes)
            deletes.append(keyOf(gone.localId));
        QTEST(merged.join(u';'), "tasks");
        QTEST(uploads.join(u';'), "uploads");
        QTEST(deletes.join(u';'), "deletes");

        // Each task of the list is either written or known to agree with the server, and a
        // write or delete replaces the version the server holds now.
        QSet<QUuid> accounted;
        for (const SyncedTask &task : result.uploads + result.synced + result.deletes) {
            QVERIFY(!accounted.contains(task.localId));
            accounted.insert(task.localId);
            QCOMPARE(task.vtodo.uid(), task.uid);
            const auto current = std::find_if(server.cbegin(), server.cend(), [&](auto &copy) {
                return copy.vtodo.uid() == task.uid;
            });
            QCOMPARE(task.etag, current == server.cend() ? QString() : current->etag);
        }
        for (const SyncedTask &gone : result.deletes)
            accounted.remove(gone.localId);
        QCOMPARE(accounted, ids);
    }
};

QTEST_GUILESS_MAIN(SyncMergeTest)
#include "tst_syncmerge.moc"
