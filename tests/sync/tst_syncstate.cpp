// The sync state on disk: a real round trip through the file, and a reader that refuses
// every kind of damaged state instead of syncing from half of it.
#include "sync/SyncState.h"
#include "sync/TaskFields.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

const QString uid = u"0A1B2C3D-0000-4000-8000-00000000ABCD"_qs;

QByteArray ics(const QString &ofUid)
{
    return VTodo::create(ofUid, QDateTime::currentDateTimeUtc()).serialize();
}

// A state of a good task, with one member changed, or taken out when `value` is undefined.
QByteArray stateWith(const QString &name = {}, const QJsonValue &value = {}, int copies = 1)
{
    QJsonObject task{{"uid", uid}, {"localId", uid}, {"href", "/t.ics"}, {"etag", "\"1\""}};
    task.insert("ics", QString::fromUtf8(ics(uid)));
    if (value.isUndefined())
        task.remove(name);
    else if (!name.isEmpty())
        task.insert(name, value);
    QJsonArray tasks;
    while (copies-- > 0)
        tasks.append(task);
    return QJsonDocument(QJsonObject{{"version", 1}, {"tasks", tasks}}).toJson();
}

} // namespace

class SyncStateTest : public QObject
{
    Q_OBJECT

private slots:
    void fromJson_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("read");
        QTest::newRow("a task") << stateWith() << true;
        QTest::newRow("no tasks, unknown members")
            << QByteArray(R"({"version":1,"password":"x","syncToken":null})") << true;
        QTest::newRow("not JSON") << QByteArray("{\"version\":1,") << false;
        QTest::newRow("an array") << QByteArray("[1]") << false;
        QTest::newRow("a later version") << QByteArray(R"({"version":2})") << false;
        QTest::newRow("a number for a string")
            << QByteArray(R"({"version":1,"userName":7})") << false;
        QTest::newRow("a task not an object")
            << QByteArray(R"({"version":1,"tasks":[3]})") << false;
        QTest::newRow("a local id not a UUID") << stateWith("localId", "x") << false;
        QTest::newRow("no copy") << stateWith("ics", QJsonValue::Undefined) << false;
        QTest::newRow("a copy that does not read") << stateWith("ics", "BEGIN:VCALENDAR") << false;
        QTest::newRow("a copy of another UID") << stateWith("uid", "other") << false;
        QTest::newRow("one task twice") << stateWith({}, {}, 2) << false;
    }
    void fromJson()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, read);
        QString error;
        QCOMPARE(SyncState::fromJson(json, &error).has_value(), read);
        QCOMPARE(error.isEmpty(), read);
    }

    void roundTrip()
    {
        const QString path = SyncState::defaultPath();
        QVERIFY(path.startsWith(qEnvironmentVariable("XDG_STATE_HOME") + u"/lorvane/"_qs));
        QFile::remove(path);
        QCOMPARE(SyncState::load(path)->tasks.size(), 0);

        SyncState state;
        state.serverUrl = u"https://dav.example/"_qs;
        state.userName = u"ana"_qs;
        state.collectionUrl = u"https://dav.example/ana/tareas/"_qs;
        state.syncToken = u"http://dav.example/sync/42"_qs;
        state.tasks.append({u"cita@phone"_qs, QUuid::createUuid(), u"/a.ics"_qs, u"\"7\""_qs,
                            *VTodo::parse(ics(u"cita@phone"_qs))});
        state.changedHere.insert(QUuid::createUuid(),
                                 QDateTime(QDate(2026, 3, 1), QTime(9, 30, 0, 250), Qt::UTC));
        QVERIFY(!state.save(path));
        QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                 QFile::ReadOwner | QFile::WriteOwner);
        const std::optional<SyncState> loaded = SyncState::load(path);
        QVERIFY(loaded);
        QCOMPARE(loaded->toJson(), state.toJson());
        QCOMPARE(loaded->tasks.at(0).localId, state.tasks.at(0).localId);
        QCOMPARE(loaded->changedHere, state.changedHere);
    }
};

QTEST_GUILESS_MAIN(SyncStateTest)
#include "tst_syncstate.moc"
