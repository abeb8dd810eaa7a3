#include "sync/TaskFields.h"

#include "model/Tags.h"
#include "model/TaskItem.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {

// A run of characters that end a tag: the complement of the tag word class.
const QRegularExpression &nonWordRun()
{
    static const QRegularExpression pattern(
        QStringLiteral("[^") + QString::fromUtf16(tagWordClass + 1) + QStringLiteral("+"),
        QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

QSet<QString> tagKeys(const QStringList &tags)
{
    QSet<QString> keys;
    for (const QString &tag : tags)
        keys.insert(tagKey(tag));
    return keys;
}

// The categories for `tags`: a tag the server already has a category for (under the
// underscore rule) keeps the server's spellings of it, a new tag goes as written.
QStringList categoriesFor(const QStringList &tags, const QStringList &serverCategories)
{
    QStringList result;
    for (const QString &tag : tags) {
        bool known = false;
        for (const QString &category : serverCategories) {
            const QString shown = TaskFields::tagForCategory(category);
            if (!shown.isEmpty() && sameTag(shown, tag)) {
                result.append(category);
                known = true;
            }
        }
        if (!known)
            result.append(tag);
    }
    return result;
}

} // namespace

namespace TaskFields {

QString uidFor(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> uuidFromUid(const QString &uid)
{
    // QUuid::fromString also takes braces, and gives the nil id for text it cannot read;
    // the nil id is no task's.
    if (uid.size() != 36 || uid.startsWith(u'{'))
        return std::nullopt;
    const QUuid id = QUuid::fromString(uid);
    if (id.isNull())
        return std::nullopt;
    return id;
}

QUuid localIdFor(const QString &uid,
                 const std::function<std::optional<QUuid>(const QString &)> &known)
{
    if (const std::optional<QUuid> id = known(uid))
        return *id;
    if (const std::optional<QUuid> id = uuidFromUid(uid))
        return *id;
    return QUuid::createUuid();
}

QString tagForCategory(const QString &category)
{
    const QString trimmed = category.trimmed();
    if (trimmed.isEmpty())
        return {};
    return QString(trimmed).replace(nonWordRun(), QStringLiteral("_"));
}

SyncedFields fromTask(const TaskItem &task)
{
    return {task.text, task.isDone, task.isPriority};
}

SyncedFields fromVTodo(const VTodo &vtodo)
{
    SyncedFields fields;
    fields.text = vtodo.summary();
    QStringList shown = extractTags(fields.text);
    for (const QString &category : vtodo.categories()) {
        const QString tag = tagForCategory(category);
        if (tag.isEmpty() || std::any_of(shown.cbegin(), shown.cend(),
                                         [&](const QString &other) { return sameTag(other, tag); }))
            continue;
        shown.append(tag);
        if (!fields.text.isEmpty())
            fields.text += u' ';
        fields.text += u'#' + tag;
    }
    fields.isDone = vtodo.status() == VTodo::Status::Completed;
    const int priority = vtodo.priority();
    fields.isPriority = priority >= 1 && priority <= 4;
    return fields;
}

bool sameText(const QString &textA, const QString &textB)
{
    if (textA == textB)
        return true;
    const QString a = VTodo::writableText(textA);
    const QString b = VTodo::writableText(textB);
    const QStringList tagsA = extractTags(a);
    const QStringList tagsB = extractTags(b);
    return displayText(a, tagsA) == displayText(b, tagsB) && tagKeys(tagsA) == tagKeys(tagsB);
}

VTodo newVTodo(const TaskItem &task, const QDateTime &now)
{
    VTodo vtodo = VTodo::create(uidFor(task.id), now);
    vtodo.setSummary(task.displayText());
    vtodo.setCategories(task.tags);
    vtodo.setStatus(task.isDone ? VTodo::Status::Completed : VTodo::Status::NeedsAction, now);
    if (task.isPriority)
        vtodo.setPriority(1);
    return vtodo;
}

bool apply(VTodo &vtodo, const SyncedFields &fields, const QDateTime &now)
{
    const SyncedFields current = fromVTodo(vtodo);
    bool changed = false;
    if (fields.text != current.text) {
        const QStringList tags = extractTags(fields.text);
        const QString summary = displayText(fields.text, tags);
        if (summary != displayText(current.text, extractTags(current.text)))
            changed |= vtodo.setSummary(summary);
        // Taken after the SUMMARY: "#" words it held before may be gone from it now.
        const QStringList shown = extractTags(fromVTodo(vtodo).text);
        if (tagKeys(tags) != tagKeys(shown))
            changed |= vtodo.setCategories(categoriesFor(tags, vtodo.categories()));
    }
    if (fields.isDone != current.isDone) {
        changed |= vtodo.setStatus(
            fields.isDone ? VTodo::Status::Completed : VTodo::Status::NeedsAction, now);
    }
    if (fields.isPriority != current.isPriority)
        changed |= vtodo.setPriority(fields.isPriority ? 1 : 0);
    if (changed)
        vtodo.markRevised(now);
    return changed;
}

} // namespace TaskFields
