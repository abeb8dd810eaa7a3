#pragma once

#include "model/RecoveryOffer.h"

#include <QList>
#include <QObject>

#include <optional>

class NoticeBanner;
class Preferences;
class QWidget;
class TaskStore;

// What the window tells about keeping the list: a change that could not be stored (shown
// until a save succeeds), and at start a stored list that could not be read or changes the
// last quit could not store, with the action that takes the kept list back.
class StorageNotices : public QObject
{
    Q_OBJECT

public:
    StorageNotices(TaskStore &store, const Preferences &preferences, QWidget *bannerParent);

    // The banners to show now, top to bottom.
    QList<QWidget *> banners() const;

    NoticeBanner *saveBanner() const { return m_saveBanner; }
    NoticeBanner *recoveryBanner() const { return m_recoveryBanner; }

    // The texts, by situation.
    static QString saveProblemText(const TaskStore &store);
    static QString recoveryText(const RecoveryOffer &offer, const QString &storedFile);

signals:
    // banners() or a banner's text changed.
    void changed();

private:
    void update();
    void restore();

    TaskStore &m_store;
    const Preferences &m_preferences;
    std::optional<RecoveryOffer> m_offer;
    // A copy of unsaved changes, taken back, that goes once the list holding it is stored.
    QString m_copyToRemove;
    QList<QWidget *> m_shown;
    NoticeBanner *m_saveBanner = nullptr;
    NoticeBanner *m_recoveryBanner = nullptr;
};
