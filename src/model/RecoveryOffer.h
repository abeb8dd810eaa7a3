#pragma once

#include "model/TaskItem.h"

#include <QList>
#include <QString>

#include <optional>

class TaskStore;

// What the window tells at start when the stored list is not all the user had: the list
// could not be read (and was copied aside), or the last quit left changes that could not be
// stored. With it comes the list to take back, where one is kept: those changes, else the
// last list that was stored in a readable form.
struct RecoveryOffer {
    enum class Situation { UnreadableList, UnsavedChanges };

    Situation situation = Situation::UnreadableList;
    // Where the unreadable list was copied; empty when no copy could be made yet.
    QString unreadableCopy;
    std::optional<QList<TaskItem>> restorable;
    // Where `restorable` came from when it is the copy of unsaved changes, which goes once
    // it is stored.
    QString unsavedCopy;

    // Nothing when the store started from a readable list and no newer unsaved copy is kept.
    static std::optional<RecoveryOffer> atStart(const TaskStore &store);
};
