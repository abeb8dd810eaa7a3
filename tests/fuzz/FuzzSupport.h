#pragma once

#include "model/TaskItem.h"

#include <QByteArray>
#include <QList>

#include <cstdio>
#include <cstdlib>

// A failed check ends the run the way a sanitizer would, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Records have no equality of their own; two lists hold the same tasks when every field of
// every record matches, in order.
inline bool sameTasks(const QList<TaskItem> &a, const QList<TaskItem> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].id != b[i].id || a[i].text != b[i].text || a[i].isDone != b[i].isDone ||
            a[i].isPriority != b[i].isPriority || a[i].tags != b[i].tags)
            return false;
    }
    return true;
}

// Prints the first record where two lists part, for the log of a failed run.
inline void describeDifference(const QList<TaskItem> &a, const QList<TaskItem> &b)
{
    std::fprintf(stderr, "lists of %lld and %lld tasks\n", qlonglong(a.size()),
                 qlonglong(b.size()));
    for (qsizetype i = 0; i < qMin(a.size(), b.size()); ++i) {
        QByteArray left;
        QByteArray right;
        a[i].appendJson(left);
        b[i].appendJson(right);
        if (left != right || a[i].text != b[i].text) {
            std::fprintf(stderr, "record %lld:\n  %s\n  %s\n", qlonglong(i),
                         left.toHex(' ').constData(), right.toHex(' ').constData());
            return;
        }
    }
}
