#pragma once

#include "model/TaskItem.h"

#include <QList>

// A task list changed both here and by another program since both last agreed, brought
// together record by record, matched by id.
namespace TaskListMerge {

// `base` is the list as last read from or written to the file, `ours` that list with the
// changes made here since, `theirs` the list the file holds now. The result keeps every
// change that does not contradict another:
// - a record added on either side is kept; those added here go at the end;
// - a record deleted on either side stays deleted, also when the other side changed it;
// - of a record changed on both sides, each field takes the side that changed it (the text
//   and its tags count as one field); a field both sides changed takes this side's value.
// The order is that of `theirs`, then the records added here.
QList<TaskItem> merge(const QList<TaskItem> &base, const QList<TaskItem> &ours,
                      const QList<TaskItem> &theirs);

} // namespace TaskListMerge
