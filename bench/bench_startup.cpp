// The real start-up: from exec of the lorvane binary to its first frame on an X server (Xvfb
// with openbox), and resident memory once started, with 0 and 1,000 stored tasks and with sync
// on, against a bare Qt Widgets window started the same way in the same run; then the capture
// key (a second launch, `lorvane --add`). Prints figures only; never fails on a timing. Skips
// when Xvfb or openbox is missing.
#include "model/TaskListCodec.h"
#include "preferences/Preferences.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr int runsPerCase = 7;
// Resident memory is read once the window has been on screen this long, so that what
// start-up touches lazily (fonts, glyph caches) is counted.
constexpr int settleMsec = 500;

qint64 monotonicNsec()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

QString lorvaneBinary()
{
    const QString fromEnvironment = qEnvironmentVariable("LORVANE_BINARY");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    // The program, reporting its first frame.
    return QStringLiteral(LORVANE_TIMED);
}

QString bareWindowBinary()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("bare_window"));
}

// Kilobytes of a field of /proc/<pid>/status ("VmRSS", "VmHWM").
std::optional<qint64> statusKib(qint64 pid, const QByteArray &field)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return std::nullopt;
}

class XServer
{
public:
    bool start()
    {
        m_xvfb.setProgram(QStringLiteral("Xvfb"));
        // -displayfd 1: the server picks a free display and writes its number to stdout.
        // -noreset: otherwise it resets whenever its last client leaves, and refuses the
        // clients that connect meanwhile.
        m_xvfb.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                             QStringLiteral("-screen"), QStringLiteral("0"),
                             QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                             QStringLiteral("tcp"), QStringLiteral("-noreset")});
        m_xvfb.setProcessChannelMode(QProcess::SeparateChannels);
        m_xvfb.start();
        QDeadlineTimer deadline(20000);
        while (!m_xvfb.canReadLine() && !deadline.hasExpired()) {
            if (!m_xvfb.waitForReadyRead(int(deadline.remainingTime())))
                break;
        }
        if (!m_xvfb.canReadLine())
            return false;
        m_display = QStringLiteral(":") + QString::fromLatin1(m_xvfb.readLine().trimmed());

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_display);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path());
        m_openbox.setProcessEnvironment(environment);
        m_openbox.setProgram(QStringLiteral("openbox"));
        m_openbox.setArguments({QStringLiteral("--sm-disable")});
        m_openbox.setStandardErrorFile(QProcess::nullDevice());
        m_openbox.start();
        while (!deadline.hasExpired()) {
            if (windowManagerRunning())
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    ~XServer()
    {
        for (QProcess *process : {&m_openbox, &m_xvfb}) {
            process->terminate();
            if (!process->waitForFinished(3000))
                process->kill();
        }
    }

    QString display() const { return m_display; }

private:
    bool windowManagerRunning()
    {
        QProcess xprop;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_display);
        xprop.setProcessEnvironment(environment);
        xprop.start(QStringLiteral("xprop"),
                    {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        xprop.waitForFinished();
        return xprop.readAllStandardOutput().contains("window id");
    }

    QTemporaryDir m_home;
    QProcess m_xvfb;
    QProcess m_openbox;
    QString m_display;
};

struct Run {
    double firstFrameMsec = 0;
    double residentMib = 0;
    double peakMib = 0;
};

void storeTasks(const QString &configHome, int count)
{
    qputenv("XDG_CONFIG_HOME", configHome.toLocal8Bit());
    Preferences preferences;
    QList<TaskItem> tasks;
    tasks.reserve(count);
    for (int i = 0; i < count; ++i) {
        TaskItem task(
            QStringLiteral("Tarea número %1 para revisar #casa #grupo%2").arg(i).arg(i % 12));
        task.isDone = i % 4 == 0;
        task.isPriority = i % 9 == 0;
        tasks.append(task);
    }
    preferences.setTasksDocument(TaskListCodec::encode(tasks));
}

// Sync turned on, with a task list on a loopback port where nothing listens: the sync module
// loads after the first frame and its first sync fails at once, as when offline.
void storeSyncState(const QString &stateHome)
{
    QDir().mkpath(stateHome + QStringLiteral("/lorvane"));
    QFile state(stateHome + QStringLiteral("/lorvane/sync.json"));
    if (state.open(QIODevice::WriteOnly))
        state.write(R"({"version":1,"serverUrl":"http://127.0.0.1:9/","userName":"ana",)"
                    R"("collectionUrl":"http://127.0.0.1:9/ana/tareas/"})");
}

std::optional<Run> runOnce(const XServer &server, const QString &binary, int taskCount,
                           const QStringList &arguments = {}, bool syncOn = false)
{
    QTemporaryDir configHome;
    const QString stateHome = configHome.filePath(QStringLiteral("state"));
    if (syncOn)
        storeSyncState(stateHome);
    // A desktop session's runtime folder is a tmpfs (/run/user/<uid>), where the lock file
    // costs no disk write.
    const QString shm = QStringLiteral("/dev/shm");
    QTemporaryDir runtimeDir((QFileInfo(shm).isDir() ? shm : QDir::tempPath()) +
                             QStringLiteral("/lorvane-runtime-XXXXXX"));
    if (taskCount > 0)
        storeTasks(configHome.path(), taskCount);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), server.display());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome.path());
    environment.insert(QStringLiteral("XDG_STATE_HOME"), stateHome);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    environment.insert(QStringLiteral("LORVANE_REPORT_FIRST_FRAME"), QStringLiteral("1"));
    environment.remove(QStringLiteral("LORVANE_TEST_SOCKET"));

    QProcess lorvane;
    lorvane.setProcessEnvironment(environment);
    lorvane.setProgram(binary);
    lorvane.setArguments(arguments);
    const qint64 started = monotonicNsec();
    lorvane.start();

    std::optional<qint64> firstFrame;
    QDeadlineTimer deadline(20000);
    while (!firstFrame && !deadline.hasExpired()) {
        if (!lorvane.canReadLine()) {
            lorvane.setReadChannel(QProcess::StandardError);
            lorvane.waitForReadyRead(int(deadline.remainingTime()));
        }
        while (lorvane.canReadLine()) {
            const QList<QByteArray> words = lorvane.readLine().trimmed().split(' ');
            if (words.size() == 3 && words[0] == "lorvane-time" && words[1] == "first-frame")
                firstFrame = words[2].toLongLong();
        }
        if (lorvane.state() == QProcess::NotRunning)
            break;
    }

    std::optional<Run> run;
    if (firstFrame) {
        QThread::msleep(settleMsec);
        const auto resident = statusKib(lorvane.processId(), "VmRSS");
        const auto peak = statusKib(lorvane.processId(), "VmHWM");
        if (resident && peak)
            run = Run{(*firstFrame - started) / 1e6, *resident / 1024.0, *peak / 1024.0};
    }
    lorvane.terminate();
    if (!lorvane.waitForFinished(5000))
        lorvane.kill();
    lorvane.waitForFinished();
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void printFigures(const char *name, const std::vector<double> &values)
{
    if (values.empty()) {
        std::printf("  %-44s not measured\n", name);
        return;
    }
    std::printf("  %-44s %6.1f ms median (%.1f to %.1f, %zu runs)\n", name, median(values),
                *std::min_element(values.begin(), values.end()),
                *std::max_element(values.begin(), values.end()), values.size());
}

// Runs `program` to its end; the milliseconds it took, or nothing when it failed.
std::optional<double> timedRun(const QProcessEnvironment &environment, const QString &program,
                               const QStringList &arguments)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    const qint64 started = monotonicNsec();
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return (monotonicNsec() - started) / 1e6;
}

// The capture key: with another window active, a second launch until the running window is
// active with its input line focused; `lorvane --add` until it has exited, which it does once
// the task is stored (by the running copy, or by itself when none runs). On a session bus of
// its own.
void benchCapture(const XServer &server)
{
    std::printf("capture from anywhere, under the same X server\n");
    for (const char *tool : {"dbus-daemon", "xlogo", "xdotool"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            std::printf("  skipped: %s is not installed\n", tool);
            return;
        }
    }
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"),
               QStringLiteral("--print-address=1")});
    if (!bus.waitForReadyRead(5000)) {
        std::printf("  skipped: no session bus\n");
        return;
    }
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QString::fromLatin1(bus.readLine().trimmed()));
    environment.insert(QStringLiteral("DISPLAY"), server.display());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
    QDir(home.path()).mkdir(QStringLiteral("runtime"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    environment.remove(QStringLiteral("LORVANE_TEST_SOCKET"));

    QProcess other;
    other.setProcessEnvironment(environment);
    other.start(QStringLiteral("xlogo"), {});
    QProcess running;
    running.setProcessEnvironment(environment);
    running.setReadChannel(QProcess::StandardError);
    running.start(lorvaneBinary(), {});
    const auto nextReport = [&running](const QByteArray &event) -> std::optional<qint64> {
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            while (running.canReadLine()) {
                const QList<QByteArray> words = running.readLine().trimmed().split(' ');
                if (words.size() == 3 && words[0] == "lorvane-time" && words[1] == event)
                    return words[2].toLongLong();
            }
            running.waitForReadyRead(int(deadline.remainingTime()));
        }
        return std::nullopt;
    };
    std::vector<double> focused, secondExits, addedRunning, addedAlone;
    if (nextReport("first-frame")) {
        QProcess xdotool;
        xdotool.setProcessEnvironment(environment);
        for (int i = 0; i < runsPerCase; ++i) {
            // Another window takes the focus, as when the user works elsewhere.
            xdotool.start(QStringLiteral("xdotool"),
                          {QStringLiteral("search"), QStringLiteral("--sync"),
                           QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                           QStringLiteral("xlogo"), QStringLiteral("windowactivate"),
                           QStringLiteral("--sync")});
            xdotool.waitForFinished(5000);
            QThread::msleep(100);
            while (running.canReadLine())
                running.readLine();
            const qint64 started = monotonicNsec();
            if (const auto exited = timedRun(environment, lorvaneBinary(), {}))
                secondExits.push_back(*exited);
            if (const auto at = nextReport("input-focused"))
                focused.push_back((*at - started) / 1e6);
            if (const auto added =
                    timedRun(environment, lorvaneBinary(),
                             {QStringLiteral("--add"), QStringLiteral("Tarea %1 #atajo").arg(i)}))
                addedRunning.push_back(*added);
        }
    }
    running.terminate();
    running.waitForFinished(5000);
    for (int i = 0; i < runsPerCase; ++i) {
        if (const auto added =
                timedRun(environment, lorvaneBinary(),
                         {QStringLiteral("--add"), QStringLiteral("Sin ventana %1 #atajo").arg(i)}))
            addedAlone.push_back(*added);
    }
    other.terminate();
    other.waitForFinished(3000);
    bus.terminate();
    bus.waitForFinished(3000);
    printFigures("second launch to input line focused", focused);
    printFigures("second launch to its exit", secondExits);
    printFigures("--add to stored, through the running copy", addedRunning);
    printFigures("--add to stored, none running", addedAlone);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("start-up of the lorvane binary under Xvfb 1280x800 with openbox\n");

    for (const char *tool : {"Xvfb", "openbox", "xprop"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            std::printf("  skipped: %s is not installed\n", tool);
            return 0;
        }
    }
    if (!QFileInfo(lorvaneBinary()).isExecutable()) {
        std::printf("  skipped: no lorvane binary at %s (set LORVANE_BINARY)\n",
                    qPrintable(lorvaneBinary()));
        return 0;
    }
    XServer server;
    if (!server.start()) {
        std::printf("  skipped: the X server or the window manager did not start\n");
        return 0;
    }

    // One run of each first that is not counted: it brings the binaries, Qt and the fonts
    // into the page cache, as for every launch but the first after boot.
    runOnce(server, bareWindowBinary(), 0);
    runOnce(server, lorvaneBinary(), 0);

    // The cases take turns, so that whatever else the machine does falls on all of them.
    struct Case {
        const char *name;
        QString binary;
        int taskCount;
        QStringList arguments;
        bool syncOn = false;
        std::vector<double> frames{}, resident{}, peak{};
    };
    std::vector<Case> cases{
        {"bare Qt window", bareWindowBinary(), 0, {}},
        {"Qt window with text", bareWindowBinary(), 0, {QStringLiteral("--text")}},
        {"lorvane, 0 tasks", lorvaneBinary(), 0, {}},
        {"lorvane, 1000 tasks", lorvaneBinary(), 1000, {}},
        {"lorvane, sync on", lorvaneBinary(), 0, {}, true}};
    for (int i = 0; i < runsPerCase; ++i) {
        for (Case &c : cases) {
            if (const std::optional<Run> run =
                    runOnce(server, c.binary, c.taskCount, c.arguments, c.syncOn)) {
                c.frames.push_back(run->firstFrameMsec);
                c.resident.push_back(run->residentMib);
                c.peak.push_back(run->peakMib);
            }
        }
    }
    for (const Case &c : cases) {
        if (c.frames.empty()) {
            std::printf("  %-20s no first frame reported\n", c.name);
            return 0;
        }
        std::printf("  %-20s exec to first frame %6.1f ms median (%.1f to %.1f, %zu runs);"
                    " resident %.1f MiB, peak %.1f MiB\n",
                    c.name, median(c.frames), *std::min_element(c.frames.begin(), c.frames.end()),
                    *std::max_element(c.frames.begin(), c.frames.end()), c.frames.size(),
                    median(c.resident), median(c.peak));
    }
    for (const std::size_t floor : {0, 1}) {
        std::printf("  lorvane with 0 tasks against the %s: first frame %.2f times, "
                    "resident memory %.2f times\n",
                    cases[floor].name, median(cases[2].frames) / median(cases[floor].frames),
                    median(cases[2].resident) / median(cases[floor].resident));
    }
    benchCapture(server);
    return 0;
}
