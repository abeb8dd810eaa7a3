#include "sync/SyncState.h"

#include "preferences/DurableFile.h"
#include "preferences/PreferencesFolder.h"
#include "sync/TaskFields.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace {

constexpr int currentVersion = 1;

struct StringMember {
    QLatin1String name;
    QString SyncState::*member;
};
const StringMember stringMembers[] = {
    {QLatin1String("serverUrl"), &SyncState::serverUrl},
    {QLatin1String("userName"), &SyncState::userName},
    {QLatin1String("collectionUrl"), &SyncState::collectionUrl},
    {QLatin1String("syncToken"), &SyncState::syncToken},
    {QLatin1String("trustedCertificate"), &SyncState::trustedCertificate},
};

std::nullopt_t refuse(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return std::nullopt;
}

// A string member, or the empty string when absent or null; nullopt for any other type.
std::optional<QString> optionalString(const QJsonObject &object, QLatin1String name)
{
    const QJsonValue value = object.value(name);
    if (value.isUndefined() || value.isNull())
        return QString();
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<SyncedTask> taskFromJson(const QJsonValue &value, QString *error)
{
    if (!value.isObject())
        return refuse(error, QStringLiteral("a task that is not an object"));
    const QJsonObject object = value.toObject();
    const QJsonValue uid = object.value(QLatin1String("uid"));
    const QJsonValue localId = object.value(QLatin1String("localId"));
    const QJsonValue href = object.value(QLatin1String("href"));
    const QJsonValue ics = object.value(QLatin1String("ics"));
    const std::optional<QString> etag = optionalString(object, QLatin1String("etag"));
    if (!uid.isString() || !localId.isString() || !href.isString() || !ics.isString() || !etag)
        return refuse(error, QStringLiteral("a task member missing or of the wrong type"));
    const std::optional<QUuid> id = TaskFields::uuidFromUid(localId.toString());
    if (!id)
        return refuse(error, QStringLiteral("a local id that is not a UUID"));
    QString icsError;
    std::optional<VTodo> vtodo = VTodo::parse(ics.toString().toUtf8(), &icsError);
    if (!vtodo)
        return refuse(error, QStringLiteral("a synced copy that does not read: ") + icsError);
    if (vtodo->uid() != uid.toString())
        return refuse(error, QStringLiteral("a synced copy of another UID"));
    return SyncedTask{uid.toString(), *id, href.toString(), *etag, std::move(*vtodo)};
}

} // namespace

QByteArray SyncState::toJson() const
{
    QJsonObject object;
    object.insert(QLatin1String("version"), currentVersion);
    for (const StringMember &string : stringMembers)
        object.insert(string.name, this->*string.member);
    QJsonArray array;
    for (const SyncedTask &task : tasks) {
        QJsonObject entry;
        entry.insert(QLatin1String("uid"), task.uid);
        entry.insert(QLatin1String("localId"), TaskFields::uidFor(task.localId));
        entry.insert(QLatin1String("href"), task.href);
        entry.insert(QLatin1String("etag"), task.etag);
        entry.insert(QLatin1String("ics"), QString::fromUtf8(task.vtodo.serialize()));
        array.append(entry);
    }
    object.insert(QLatin1String("tasks"), array);
    QJsonObject changes;
    for (auto it = changedHere.cbegin(); it != changedHere.cend(); ++it)
        changes.insert(TaskFields::uidFor(it.key()), it.value().toString(Qt::ISODateWithMs));
    object.insert(QLatin1String("changedHere"), changes);
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

std::optional<SyncState> SyncState::fromJson(QByteArrayView json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray(), &parseError);
    if (!document.isObject())
        return refuse(error, QStringLiteral("not a JSON object"));
    const QJsonObject object = document.object();
    const QJsonValue version = object.value(QLatin1String("version"));
    if (!version.isDouble() || version.toDouble() != currentVersion)
        return refuse(error, QStringLiteral("not version %1").arg(currentVersion));

    SyncState state;
    for (const StringMember &string : stringMembers) {
        const std::optional<QString> value = optionalString(object, string.name);
        if (!value)
            return refuse(error, string.name + QStringLiteral(" is not a string"));
        state.*string.member = *value;
    }
    const QJsonValue tasks = object.value(QLatin1String("tasks"));
    if (!tasks.isArray() && !tasks.isUndefined())
        return refuse(error, QStringLiteral("tasks is not an array"));
    QSet<QString> uids;
    QSet<QUuid> localIds;
    for (const QJsonValue value : tasks.toArray()) {
        std::optional<SyncedTask> task = taskFromJson(value, error);
        if (!task)
            return std::nullopt;
        if (uids.contains(task->uid) || localIds.contains(task->localId))
            return refuse(error, QStringLiteral("one task twice"));
        uids.insert(task->uid);
        localIds.insert(task->localId);
        state.tasks.append(std::move(*task));
    }
    // Times only order conflicts: one that does not read is passed over, not refused.
    const QJsonObject changes = object.value(QLatin1String("changedHere")).toObject();
    for (auto it = changes.constBegin(); it != changes.constEnd(); ++it) {
        const std::optional<QUuid> id = TaskFields::uuidFromUid(it.key());
        const QDateTime time = QDateTime::fromString(it.value().toString(), Qt::ISODateWithMs);
        if (id && time.isValid())
            state.changedHere.insert(*id, time.toUTC());
    }
    return state;
}

QString SyncState::defaultPath()
{
    return PreferencesFolder::stateFolder() + QStringLiteral("/sync.json");
}

std::optional<SyncState> SyncState::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return SyncState();
    if (!file.open(QIODevice::ReadOnly))
        return refuse(error, file.errorString());
    return fromJson(file.readAll(), error);
}

std::optional<SaveError> SyncState::save(const QString &path) const
{
    PreferencesFolder(path).makePrivate();
    return DurableFile::replace(path, toJson());
}
