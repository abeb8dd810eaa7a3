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

// A list kept aside (a copy of what could not be stored, or of the last list stored) taken
// back into the list as it is now, so that nothing in either is lost: every record of `kept`
// in its order, then the records of `current` it does not have. A record in both is taken as
// kept. Records deleted since the copy was made come back; deleting them again is better than
// losing one.
QList<TaskItem> restore(const QList<TaskItem> &current, const QList<TaskItem> &kept);

} // namespace TaskListMerge
