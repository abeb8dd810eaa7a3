#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

// One task as the user wrote it. A plain value: copies are independent, identity is `id`.
struct TaskItem {
    QUuid id;
    QString text;
    bool isDone = false;
    bool isPriority = false;
    QStringList tags;

    // A new open, non-priority task with a fresh random id and the tags of its text.
    explicit TaskItem(const QString &text);

    QString displayText() const;

    bool operator==(const TaskItem &other) const = default;

    // Appends the stored form to `out`: a compact JSON object with the members
    // id, text, isDone, isPriority, tags in that order, the id in upper case.
    void appendJson(QByteArray &out) const;

    // Reads one stored record; nullopt when a required member is missing, a member has
    // the wrong type or the id is not a UUID. "isPriority" and "tags" may be absent or null.
    static std::optional<TaskItem> fromJson(const QJsonObject &object);

private:
    TaskItem() = default;
};
