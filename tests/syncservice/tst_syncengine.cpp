// The list kept in step with a real Radicale on loopback, with a second client standing in
// for a phone on the same collection.
#include "caldav/CalDavClient.h"
#include "model/TaskStore.h"
#include "preferences/Preferences.h"
#include "support/Radicale.h"
#include "sync/TaskFields.h"
#include "syncservice/SyncEngine.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <functional>

namespace {

// What the phone wrote: a to-do with a due date and a description Lorvane does not show.
QByteArray phoneTodo(const QByteArray &uid, const QByteArray &fields)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Phone//EN\r\nBEGIN:VTODO\r\nUID:" + uid +
           "\r\nDTSTAMP:20260101T000000Z\r\nDUE:20261224T180000Z\r\nDESCRIPTION:Traer el "
           "recibo\r\n" +
           fields + "END:VTODO\r\nEND:VCALENDAR\r\n";
}

} // namespace

// One collection of its own per test, the list, an engine over both, and the phone.
class Fixture
{
public:
    Fixture(Radicale &server, const QString &statePath)
        : m_statePath(statePath), m_store(m_preferences), m_client(&m_network), m_phone(&m_network)
    {
        m_client.setCredentials("alice", "secret");
        m_phone.setCredentials("alice", "secret");
        const Written made = await<Written>(
            [&](auto done) { m_phone.createCollection(server.url("/alice/"), "Lorvane", done); });
        collection = made.url;
        QVERIFY(made.error.isOk());
        m_store.setTasks({});
        restart();
    }

    // The engine as the next start makes it, from the saved state.
    void restart()
    {
        SyncState state = SyncState::load(m_statePath).value_or(SyncState());
        state.collectionUrl = collection.toString();
        engine.reset();
        engine = std::make_unique<SyncEngine>(m_store, m_client, state, m_statePath);
    }

    SyncError sync()
    {
        QSignalSpy finished(engine.get(), &SyncEngine::syncFinished);
        engine->syncNow();
        if (!finished.wait(30000))
            return SyncError::refused("no end");
        return finished.at(0).at(0).value<SyncError>();
    }

    // The phone's view of the collection: UID to VTODO.
    QHash<QString, VTodo> server()
    {
        QList<QUrl> urls;
        for (const RemoteItem &item :
             await<Changes>([&](auto done) { m_phone.listChanges(collection, {}, done); }).changed)
            urls.append(item.url);
        const Fetched fetched =
            await<Fetched>([&](auto done) { m_phone.fetch(collection, urls, done); });
        QHash<QString, VTodo> todos;
        for (const RemoteItem &item : fetched.items)
            if (std::optional<VTodo> todo = VTodo::parse(item.data))
                todos.insert(todo->uid(), *todo);
        return todos;
    }

    // The phone writes (or with no fields deletes) its to-do `uid`, whatever it holds now.
    void phoneWrites(const QByteArray &uid, const QByteArray &fields)
    {
        const QUrl url = collection.resolved(QUrl(QString::fromUtf8(uid) + ".ics"));
        if (fields.isEmpty()) {
            QVERIFY(await<SyncError>([&](auto done) { m_phone.remove(url, {}, done); }).isOk());
            return;
        }
        const auto listed =
            await<Changes>([&](auto done) { m_phone.listChanges(collection, {}, done); }).changed;
        const auto it = std::find_if(listed.cbegin(), listed.cend(),
                                     [&](const RemoteItem &item) { return item.url == url; });
        const QByteArray etag = it == listed.cend() ? QByteArray() : it->etag;
        QVERIFY(await<Written>([&](auto done) {
                    m_phone.put(url, phoneTodo(uid, fields), etag, done);
                }).error.isOk());
    }

    QStringList texts() const
    {
        QStringList texts;
        for (const TaskItem &task : m_store.tasks())
            texts.append(task.text + (task.isDone ? "[x]" : "") + (task.isPriority ? "[!]" : ""));
        return texts;
    }

    TaskStore &store() { return m_store; }

    QUrl collection;
    std::unique_ptr<SyncEngine> engine;

private:
    QString m_statePath;
    Preferences m_preferences;
    TaskStore m_store;
    QNetworkAccessManager m_network;
    CalDavClient m_client;
    CalDavClient m_phone;
};

using Step = std::function<void(Fixture &)>;
Q_DECLARE_METATYPE(Step)

class TestSyncEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable("radicale").isEmpty(), "radicale is missing");
        QVERIFY(m_server.start(m_folder.path(), {}));
    }
    void init() { QFile::remove(statePath()); }

    void twoDevices_data();
    void twoDevices();

private:
    QString statePath() const { return m_folder.filePath("sync.json"); }

    QTemporaryDir m_folder;
    Radicale m_server;
};

// Each row: whether the phone's task is synced first, what then happens on either side, the
// list after the next sync, and a check of the server.
void TestSyncEngine::twoDevices_data()
{
    QTest::addColumn<bool>("phoneFirst");
    QTest::addColumn<Step>("change");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<Step>("check");
    const auto edit = [](void (*change)(TaskItem &)) {
        return Step([change](Fixture &f) {
            TaskItem task = f.store().tasks().at(0);
            change(task);
            f.store().replaceTask(task);
        });
    };
    const auto phone = [](const char *fields) {
        return Step([fields](Fixture &f) { f.phoneWrites("cita-1", fields); });
    };
    const Step nothing = [](Fixture &) {};
    const Step serverEmpty = [](Fixture &f) { QCOMPARE(f.server().size(), 0); };

    QTest::newRow("added here") << false << Step([](Fixture &f) {
        f.store().append(TaskItem("Comprar pan #casa"));
    }) << QStringList{"Comprar pan #casa"}
                                << Step([](Fixture &f) {
                                       const QList<VTodo> todos = f.server().values();
                                       QCOMPARE(todos.size(), 1);
                                       QCOMPARE(todos.at(0).summary(), "Comprar pan");
                                       QCOMPARE(todos.at(0).categories(), QStringList{"casa"});
                                       QCOMPARE(todos.at(0).uid(),
                                                TaskFields::uidFor(f.store().tasks().at(0).id));
                                   });
    QTest::newRow("done here, the phone's fields kept")
        << true << edit([](TaskItem &task) { task.isDone = true; })
        << QStringList{"Pedir cita #salud #Casa_nueva[x]"} << Step([](Fixture &f) {
               const QHash<QString, VTodo> todos = f.server();
               QVERIFY(todos.contains("cita-1"));
               const QByteArray ics = todos.constFind("cita-1")->serialize();
               for (const char *kept : {"STATUS:COMPLETED", "DUE:20261224T180000Z",
                                        "DESCRIPTION:Traer el recibo", "Casa nueva"})
                   QVERIFY2(ics.contains(kept), kept); // the server's spelling of its category
           });
    QTest::newRow("flagged and renamed on the phone")
        << true << phone("SUMMARY:Pedir cita hoy\r\nPRIORITY:1\r\n")
        << QStringList{"Pedir cita hoy[!]"} << nothing;
    QTest::newRow("deleted on the phone") << true << phone("") << QStringList{} << nothing;
    QTest::newRow("deleted here") << true << Step([](Fixture &f) { f.store().setTasks({}); })
                                  << QStringList{} << serverEmpty;
    QTest::newRow("text changed on both sides: the later wins, the other is kept after it")
        << true << Step([](Fixture &f) {
               f.phoneWrites("cita-1", "SUMMARY:Pedir cita al médico\r\n"
                                       "LAST-MODIFIED:20260101T000000Z\r\n");
               TaskItem task = f.store().tasks().at(0);
               task.text = "Pedir cita el lunes";
               task.tags = {};
               f.store().replaceTask(task);
           })
        << QStringList{"Pedir cita el lunes", "Pedir cita al médico"}
        << Step([](Fixture &f) { QCOMPARE(f.server().size(), 2); });
}

void TestSyncEngine::twoDevices()
{
    QFETCH(bool, phoneFirst);
    QFETCH(Step, change);
    QFETCH(QStringList, texts);
    QFETCH(Step, check);
    Fixture f(m_server, statePath());
    if (phoneFirst)
        f.phoneWrites("cita-1", "SUMMARY:Pedir cita\r\nCATEGORIES:salud,Casa nueva\r\n");
    QVERIFY(f.sync().isOk());
    change(f);
    for (int run = 0; run < 2; ++run) { // the second run changes nothing on either side
        const QList<QString> before = f.server().keys();
        const SyncError error = f.sync();
        QVERIFY2(error.isOk(), qPrintable(error.message));
        QCOMPARE(f.texts(), texts);
        if (run == 1)
            QCOMPARE(f.server().keys(), before);
    }
    check(f);
    QCOMPARE(f.engine->pendingChanges(), 0);
}

QTEST_GUILESS_MAIN(TestSyncEngine)
#include "tst_syncengine.moc"
