// Task data costs: tags and display text per task, encoding and decoding of the stored list,
// and one change (a done flag flipped) from the call to the durable save, at 100, 1,000 and
// 10,000 tasks. Prints figures only.
#include "model/Tags.h"
#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "preferences/Preferences.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QStringList sampleTexts = {
    u"Comprar pan y leche #casa #compras"_qs,
    u"Llamar a María por el informe trimestral #trabajo #urgente"_qs,
    u"Revisar la propuesta de diseño antes del jueves"_qs,
    u"#salud pedir cita con el médico de cabecera"_qs,
    u"Pagar la factura de la luz #casa #facturas #2024"_qs,
    u"Leer el capítulo 4 del libro de cocina #ocio #cocina"_qs,
    u"Preparar la reunión con el equipo de diseño #trabajo"_qs,
    u"Regar las plantas del balcón"_qs,
};

QList<TaskItem> makeTasks(int count)
{
    QList<TaskItem> tasks;
    tasks.reserve(count);
    for (int i = 0; i < count; ++i) {
        TaskItem task(sampleTexts.at(i % sampleTexts.size()) + u" %1"_qs.arg(i));
        task.isDone = i % 4 == 0;
        task.isPriority = i % 9 == 0;
        tasks.append(task);
    }
    return tasks;
}

struct Figures {
    double median = 0;
    double p90 = 0;
};

// Milliseconds per run of `work`.
Figures measure(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    times.reserve(runs);
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        work();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[std::min(times.size() - 1, times.size() * 9 / 10)]};
}

void perTask()
{
    const QList<TaskItem> tasks = makeTasks(10000);
    QElapsedTimer clock;

    int found = 0;
    clock.start();
    for (const TaskItem &task : tasks)
        found += int(extractTags(task.text).size());
    const double extractMicros = clock.nsecsElapsed() / 1e3 / tasks.size();

    qsizetype shown = 0;
    clock.restart();
    for (const TaskItem &task : tasks)
        shown += task.displayText().size();
    const double displayMicros = clock.nsecsElapsed() / 1e3 / tasks.size();

    std::printf("tags per task:          extraction %.2f us, display text %.2f us"
                " (%d tags, %lld characters shown)\n",
                extractMicros, displayMicros, found, qlonglong(shown));
}

void codec(int count)
{
    const QList<TaskItem> tasks = makeTasks(count);
    const QByteArray document = TaskListCodec::encode(tasks);
    const int runs = count >= 10000 ? 20 : 50;
    const Figures encode = measure(runs, [&] { TaskListCodec::encode(tasks); });
    const Figures decode = measure(runs, [&] { TaskListCodec::decode(document); });
    std::printf("%6d tasks (%7.1f KB): encode median %.2f ms p90 %.2f ms, "
                "decode median %.2f ms p90 %.2f ms\n",
                count, document.size() / 1024.0, encode.median, encode.p90, decode.median,
                decode.p90);
}

// `base` empty: the system's temporary folder, on disk. Otherwise a folder on a memory file
// system, where flushing costs nothing, which leaves the processor's share.
void storeChange(int count, const QString &base = QString())
{
    QTemporaryDir home(base.isEmpty() ? QString() : base + u"/lorvane-bench-XXXXXX"_qs);
    if (!home.isValid())
        return;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    Preferences preferences;
    TaskStore store(preferences);
    store.setTasks(makeTasks(count));

    int flips = 0;
    const Figures change = measure(50, [&] {
        TaskItem task = store.tasks().at(flips++ % count);
        task.isDone = !task.isDone;
        store.replaceTask(task);
    });
    const Figures write =
        measure(20, [&] { preferences.setTasksDocument(TaskListCodec::encode(store.tasks())); });
    std::printf("%6d tasks%s: one change to %s median %.2f ms p90 %.2f ms"
                " (the preferences write alone %.2f ms)\n",
                count, base.isEmpty() ? "" : " in memory", base.isEmpty() ? "durable save" : "save",
                change.median, change.p90, write.median);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::printf("== task data ==\n");
    perTask();
    for (int count : {100, 1000, 10000})
        codec(count);
    for (int count : {100, 1000, 10000})
        storeChange(count);
    if (QFileInfo(u"/dev/shm"_qs).isWritable()) {
        for (int count : {1000, 10000})
            storeChange(count, u"/dev/shm"_qs);
    }
    return 0;
}
