// Prints how long the task list takes to build and show, and to handle one done-flag click
// up to the end of the resulting redraw, for 100, 1,000 and 10,000 tasks.

#include "model/TaskItem.h"
#include "toolkit/Motion.h"
#include "views/TaskListSection.h"
#include "views/TaskRow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

QList<TaskItem> sampleTasks(int count)
{
    static const QStringList texts{
        QStringLiteral("Comprar pan #casa"),
        QStringLiteral("Llamar al banco por la tarjeta #finanzas #urgente"),
        QStringLiteral("Preparar la presentación del jueves con los datos del trimestre y "
                       "las cifras que pidió el equipo #trabajo"),
        QStringLiteral("Regar las plantas"),
        QStringLiteral("Revisar el informe"),
    };
    QList<TaskItem> tasks;
    tasks.reserve(count);
    for (int i = 0; i < count; ++i) {
        TaskItem task(texts[i % texts.size()] + QStringLiteral(" %1").arg(i));
        task.isPriority = i % 7 == 0;
        task.isDone = i % 3 == 0;
        tasks.append(task);
    }
    return tasks;
}

QList<int> priorityFirst(const QList<TaskItem> &tasks)
{
    QList<int> order(tasks.size());
    for (int i = 0; i < tasks.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return tasks[a].isPriority && !tasks[b].isPriority; });
    return order;
}

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096 / (1024 * 1024) : 0;
}

// Processor time of this process, which other work on the machine does not inflate.
double cpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Counts the rows painted, to show that a click redraws the one row it changed.
class RowPaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && qobject_cast<TaskRow *>(watched))
            ++paints;
        return false;
    }
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

void run(int count)
{
    const QList<TaskItem> initial = sampleTasks(count);
    const QList<int> order = priorityFirst(initial);
    const double memoryBefore = residentMegabytes();

    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuMilliseconds();
    auto *window = new QWidget;
    window->resize(320, 720);
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *section = new TaskListSection(window);
    layout->addWidget(section);
    section->setState(initial, order);
    window->show();
    QCoreApplication::processEvents();
    window->repaint();
    const double shownMs = timer.nsecsElapsed() / 1e6;
    const double shownCpuMs = cpuMilliseconds() - cpuStart;
    const double memory = residentMegabytes() - memoryBefore;

    // One click on a visible row's mark, as the window handles it: the store flips the
    // flag inside the spring transaction, the list is brought up to date, and the event
    // loop runs the layout and the repaint that follow.
    QList<TaskItem> tasks = initial;
    QList<double> clicks;
    QList<double> clickCpu;
    RowPaintCounter counter;
    qApp->installEventFilter(&counter);
    constexpr int clickCount = 31;
    for (int i = 0; i < clickCount; ++i) {
        const int position = order[i % std::min<int>(10, int(order.size()))];
        timer.restart();
        const double clickCpuStart = cpuMilliseconds();
        Motion::withAnimation(Animation::spring(0.2), [&] {
            tasks[position].isDone = !tasks[position].isDone;
            section->setState(tasks, priorityFirst(tasks));
        });
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        clicks.append(timer.nsecsElapsed() / 1e6);
        clickCpu.append(cpuMilliseconds() - clickCpuStart);
    }
    qApp->removeEventFilter(&counter);

    // A full redraw of the window, for scale.
    QList<double> repaints;
    for (int i = 0; i < 11; ++i) {
        timer.restart();
        window->repaint();
        repaints.append(timer.nsecsElapsed() / 1e6);
    }

    std::printf("list %6d tasks: build+show %7.1f ms (cpu %7.1f)   click to redrawn median "
                "%6.2f ms (cpu %6.2f, max %6.2f, rows painted per click %.1f)   "
                "full repaint %5.2f ms   memory +%.1f MB\n",
                count, shownMs, shownCpuMs, median(clicks), median(clickCpu),
                *std::max_element(clicks.begin(), clicks.end()),
                double(counter.paints) / clickCount, median(repaints), memory);
    std::fflush(stdout);

    timer.restart();
    delete window;
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Warm up fonts and the style once, so the first size does not pay for them.
    run(10);
    for (const int count : {100, 1000, 10000})
        run(count);
    return 0;
}
