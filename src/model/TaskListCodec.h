#pragma once

#include "model/TaskItem.h"

#include <QByteArray>
#include <QList>

#include <optional>

// The stored task list: one JSON array of records, UTF-8, compact.
namespace TaskListCodec {

QByteArray encode(const QList<TaskItem> &tasks);

// The whole document or nothing: any bad record, a non-array top level or invalid JSON
// gives nullopt. There is no partial result.
std::optional<QList<TaskItem>> decode(const QByteArray &document);

} // namespace TaskListCodec
