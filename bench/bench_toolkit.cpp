// Prints how long the animated column, culling far rows as the task list does, takes to lay
// out long lists of simple rows in a scroll area: the first layout (with the first paint), a
// relayout with nothing changed, a relayout after one visible row grew, a scroll by a
// screenful, and an animated removal near the top (setting up the animation, and one frame of
// it).

#include "toolkit/AnimatedColumn.h"
#include "toolkit/Motion.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVariantAnimation>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// A row like a task row: a label that wraps, in a layout with margins.
QWidget *makeRow(int index)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 8, 12, 8);
    auto *label = new QLabel(QStringLiteral("Task number %1 with a few words #tag").arg(index));
    label->setWordWrap(true);
    layout->addWidget(label);
    return row;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename F> double timeMs(F &&f)
{
    QElapsedTimer timer;
    timer.start();
    f();
    return timer.nsecsElapsed() / 1e6;
}

void run(int count)
{
    QScrollArea area;
    area.setWidgetResizable(true);
    area.resize(320, 720);
    auto *column = new AnimatedColumn;
    column->cullFarItems(); // as the task list does
    area.setWidget(column);
    area.show();
    QApplication::processEvents();

    QList<QWidget *> rows;
    for (int i = 0; i < count; ++i)
        rows.append(makeRow(i));

    const double first = timeMs([&] {
        column->setItems(rows);
        QApplication::processEvents();
    });

    std::vector<double> same;
    for (int i = 0; i < 9; ++i)
        same.push_back(timeMs([&] { column->relayout(); }));

    std::vector<double> grown;
    for (int i = 0; i < 9; ++i) {
        auto *label = rows[2]->findChild<QLabel *>();
        label->setText(label->text() + QStringLiteral(" and more words to wrap the line"));
        grown.push_back(timeMs([&] { QApplication::processEvents(); }));
    }

    std::vector<double> scrolls;
    for (int i = 0; i < 9; ++i) {
        scrolls.push_back(timeMs([&] {
            area.verticalScrollBar()->setValue(area.verticalScrollBar()->value() + 700);
            QApplication::processEvents();
        }));
    }
    area.verticalScrollBar()->setValue(0);
    QApplication::processEvents();

    std::vector<double> removals;
    std::vector<double> frames;
    for (int i = 0; i < 5; ++i) {
        QList<QWidget *> fewer = column->items();
        fewer.removeAt(1);
        removals.push_back(timeMs([&] {
            Motion::withAnimation(Animation::easeInOut(0.2), [&] { column->setItems(fewer); });
        }));
        auto *animation = column->findChild<QVariantAnimation *>();
        animation->pause();
        frames.push_back(timeMs([&] { animation->setCurrentTime(100); }));
        animation->resume();
        animation->setCurrentTime(animation->duration());
        QApplication::processEvents();
    }

    std::printf("%6d rows: first layout %8.2f ms, relayout %6.2f ms, one row grew %6.2f ms, "
                "scroll %6.2f ms, animated removal %6.2f ms + %5.2f ms per frame\n",
                count, first, median(same), median(grown), median(scrolls), median(removals),
                median(frames));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    for (const int count : {100, 1000, 10000})
        run(count);
    return 0;
}
