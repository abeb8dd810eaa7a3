#include "model/TaskListMerge.h"

#include <QHash>

#include <utility>

namespace {

// A record's id and how many records before it have the same id, so that copies of one id
// (a hand-edited file may hold them) pair up in order.
using Key = std::pair<QUuid, int>;

// Where each key stands in the list; the keys in list order go to `keys`.
QHash<Key, qsizetype> positions(const QList<TaskItem> &tasks, QList<Key> *keys = nullptr)
{
    QHash<QUuid, int> copies;
    QHash<Key, qsizetype> result;
    for (qsizetype i = 0; i < tasks.size(); ++i) {
        const Key key{tasks.at(i).id, copies[tasks.at(i).id]++};
        result.insert(key, i);
        if (keys)
            keys->append(key);
    }
    return result;
}

template <typename T> T changedSide(const T &base, const T &ours, const T &theirs)
{
    return ours == base ? theirs : ours;
}

TaskItem mergeRecord(const TaskItem &base, const TaskItem &ours, const TaskItem &theirs)
{
    TaskItem merged = theirs;
    merged.isDone = changedSide(base.isDone, ours.isDone, theirs.isDone);
    merged.isPriority = changedSide(base.isPriority, ours.isPriority, theirs.isPriority);
    if (ours.text != base.text || ours.tags != base.tags) {
        merged.text = ours.text;
        merged.tags = ours.tags;
    }
    return merged;
}

} // namespace

namespace TaskListMerge {

QList<TaskItem> merge(const QList<TaskItem> &base, const QList<TaskItem> &ours,
                      const QList<TaskItem> &theirs)
{
    QList<Key> ourKeys;
    QList<Key> theirKeys;
    const QHash<Key, qsizetype> inBase = positions(base);
    const QHash<Key, qsizetype> inOurs = positions(ours, &ourKeys);
    const QHash<Key, qsizetype> inTheirs = positions(theirs, &theirKeys);

    QList<TaskItem> merged;
    merged.reserve(theirs.size() + ours.size());
    for (qsizetype i = 0; i < theirs.size(); ++i) {
        const auto atBase = inBase.constFind(theirKeys.at(i));
        const auto atOurs = inOurs.constFind(theirKeys.at(i));
        if (atOurs == inOurs.cend()) {
            if (atBase == inBase.cend()) // added there
                merged.append(theirs.at(i));
        } else if (atBase == inBase.cend()) { // added on both sides
            merged.append(ours.at(*atOurs));
        } else {
            merged.append(mergeRecord(base.at(*atBase), ours.at(*atOurs), theirs.at(i)));
        }
    }
    for (qsizetype i = 0; i < ours.size(); ++i) {
        if (!inBase.contains(ourKeys.at(i)) && !inTheirs.contains(ourKeys.at(i)))
            merged.append(ours.at(i)); // added here
    }
    return merged;
}

QList<TaskItem> restore(const QList<TaskItem> &current, const QList<TaskItem> &kept)
{
    QList<Key> currentKeys;
    positions(current, &currentKeys);
    const QHash<Key, qsizetype> inKept = positions(kept);
    QList<TaskItem> restored = kept;
    for (qsizetype i = 0; i < current.size(); ++i) {
        if (!inKept.contains(currentKeys.at(i)))
            restored.append(current.at(i));
    }
    return restored;
}

} // namespace TaskListMerge
