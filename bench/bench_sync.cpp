// Sync against a Radicale of its own on loopback: the first sync of 1,000 tasks made on the
// server, then a sync after one change there, with the requests each makes. Prints figures
// only; skips when radicale is missing.
#include "caldav/CalDavClient.h"
#include "model/TaskStore.h"
#include "preferences/Preferences.h"
#include "support/Radicale.h"
#include "syncservice/SyncEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int serverTasks = 1000;

QByteArray todo(int i, const QByteArray &summary)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//EN\r\nBEGIN:VTODO\r\nUID:bench-" +
           QByteArray::number(i) + "\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:" + summary +
           "\r\nCATEGORIES:bench\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.filePath("state")));
    QCoreApplication app(argc, argv);
    if (QStandardPaths::findExecutable("radicale").isEmpty()) {
        std::printf("sync: skipped, radicale is missing\n");
        return 0;
    }
    Radicale server;
    if (!server.start(home.path(), {})) {
        std::printf("sync: skipped, radicale does not start\n");
        return 0;
    }
    QNetworkAccessManager network;
    int requests = 0;
    QObject::connect(&network, &QNetworkAccessManager::finished, [&requests] { ++requests; });
    CalDavClient client(&network);
    client.setCredentials("alice", "secret");
    const QUrl collection = await<Written>([&](auto done) {
                                client.createCollection(server.url("/alice/"), "Bench", done);
                            }).url;
    // The server's tasks in one write of the whole collection, as a phone's import would.
    QByteArray calendar = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//EN\r\n";
    for (int i = 0; i < serverTasks; ++i)
        calendar += "BEGIN:VTODO\r\nUID:bench-" + QByteArray::number(i) +
                    "\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Tarea " + QByteArray::number(i) +
                    "\r\nCATEGORIES:bench\r\nEND:VTODO\r\n";
    calendar += "END:VCALENDAR\r\n";
    QNetworkRequest upload(collection);
    upload.setHeader(QNetworkRequest::ContentTypeHeader, "text/calendar");
    upload.setRawHeader("Authorization", "Basic " + QByteArray("alice:secret").toBase64());
    QNetworkReply *made = network.put(upload, calendar);
    QTest::qWaitFor([made] { return made->isFinished(); }, 600000);
    if (made->error() != QNetworkReply::NoError) {
        std::printf("sync: skipped, the server's tasks could not be made: %s\n",
                    qPrintable(made->errorString()));
        return 0;
    }

    Preferences preferences;
    TaskStore store(preferences);
    SyncState state;
    state.collectionUrl = collection.toString();
    SyncEngine engine(store, client, state, home.filePath("sync.json"));
    const auto timedSync = [&](const char *what) {
        QSignalSpy finished(&engine, &SyncEngine::syncFinished);
        requests = 0;
        QElapsedTimer timer;
        timer.start();
        engine.syncNow();
        finished.wait(600000);
        std::printf("sync: %-36s %8.1f ms, %3d requests, %d tasks here\n", what,
                    timer.nsecsElapsed() / 1e6, requests, int(store.tasks().size()));
    };
    timedSync("first sync of 1,000 server tasks");
    await<Written>([&](auto done) {
        for (const SyncedTask &task : engine.state().tasks)
            if (task.uid == QLatin1String("bench-500"))
                client.put(QUrl(task.href).isRelative() ? collection.resolved(QUrl(task.href))
                                                        : QUrl(task.href),
                           todo(500, "Tarea cambiada"), task.etag.toUtf8(), done);
    });
    timedSync("sync after one change on the server");
    timedSync("sync with nothing changed");
    return 0;
}
