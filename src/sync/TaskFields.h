#pragma once

#include "sync/VTodo.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

struct TaskItem;

// The part of a task that is kept in step with the server: its text with its tags, whether
// it is done and whether it is a priority. Everything else in a VTODO is the server's.
struct SyncedFields {
    QString text;
    bool isDone = false;
    bool isPriority = false;

    bool operator==(const SyncedFields &other) const = default;
};

// How a task and a VTODO stand for each other:
// - UID: the task's id in upper case without braces. A UID that is not a UUID (made by
//   another program) is kept for the server, and the task gets an id of its own.
// - SUMMARY: the text without its tags; CATEGORIES: the tags.
// - STATUS COMPLETED is done; anything else, or none, is not.
// - PRIORITY 1 to 4 is a priority; 0, none or 5 to 9 is not. A priority set here is 1.
// A category that cannot be a "#" word (it holds a space, a hyphen or another character
// that ends a tag) shows here with each run of such characters as "_", and a tag of that
// form goes back to the server spelled as the server had it.
namespace TaskFields {

QString uidFor(const QUuid &id);
// The id a UID stands for when it is the 36-character form of a UUID, in either case.
std::optional<QUuid> uuidFromUid(const QString &uid);
// The local id of the task with this UID: the one `known` remembers for it, else the UUID
// the UID spells, else a fresh one (to be remembered by the caller).
QUuid localIdFor(const QString &uid,
                 const std::function<std::optional<QUuid>(const QString &)> &known);

// The tag a category shows as, without the "#"; empty for a category of nothing but
// spaces, which is not shown (and stays on the server until the tags change).
QString tagForCategory(const QString &category);

SyncedFields fromTask(const TaskItem &task);
// The text is the SUMMARY, then " #tag" for each category whose tag the SUMMARY does not
// already hold as a "#" word.
SyncedFields fromVTodo(const VTodo &vtodo);

// Whether two texts go to the server alike: the same text without tags, and the same tags
// in any order and spelling. The rule for "this text changed" in a sync.
bool sameText(const QString &a, const QString &b);

// A new resource for a task made here.
VTodo newVTodo(const TaskItem &task, const QDateTime &now);

// Writes into the server's copy only the fields in which `fields` differs from it, then
// marks the revision; returns false, leaving it untouched, when nothing differs. A field
// that did not change keeps the server's value exactly: IN-PROCESS, PRIORITY 3, the
// categories' spelling.
bool apply(VTodo &vtodo, const SyncedFields &fields, const QDateTime &now);

} // namespace TaskFields
