#include "model/RecoveryOffer.h"

#include "model/TaskListCodec.h"
#include "model/TaskStore.h"

std::optional<RecoveryOffer> RecoveryOffer::atStart(const TaskStore &store)
{
    RecoveryOffer offer;
    offer.unreadableCopy = store.unreadableCopy();
    const RecoveryCopies &copies = store.recoveryCopies();

    // A copy of unsaved changes counts while the stored list is older than it and differs
    // from it: a later save, by this or another process, took the place of those changes.
    if (const auto unsaved = copies.unsaved()) {
        const QDateTime &stored = store.storedTimeAtStart();
        const std::optional<QList<TaskItem>> tasks = TaskListCodec::decode(unsaved->document);
        const bool isNewer = !stored.isValid() || unsaved->written > stored;
        if (tasks && isNewer &&
            TaskListCodec::encode(*tasks) != TaskListCodec::encode(store.tasks())) {
            offer.restorable = tasks;
            offer.unsavedCopy = unsaved->path;
        }
    }
    if (!store.isUnreadableAtStart()) {
        if (!offer.restorable)
            return std::nullopt;
        offer.situation = Situation::UnsavedChanges;
        return offer;
    }
    if (!offer.restorable) {
        const std::optional<QByteArray> lastStored = copies.lastStored();
        if (const auto tasks = TaskListCodec::decode(lastStored.value_or(QByteArray()));
            tasks && !tasks->isEmpty())
            offer.restorable = tasks;
    }
    return offer;
}
