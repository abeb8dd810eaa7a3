#include "views/StorageNotices.h"

#include "model/TaskStore.h"
#include "preferences/Preferences.h"
#include "views/NoticeBanner.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

namespace {

// A path as the user knows it: the home folder as "~".
QString shownPath(const QString &path)
{
    const QString home = QDir::homePath();
    if (path.startsWith(home + u'/'))
        return u'~' + path.mid(home.size());
    return path;
}

} // namespace

StorageNotices::StorageNotices(TaskStore &store, const Preferences &preferences,
                               QWidget *bannerParent)
    : QObject(bannerParent), m_store(store), m_preferences(preferences),
      m_offer(RecoveryOffer::atStart(store))
{
    m_saveBanner = new NoticeBanner(bannerParent);
    m_saveBanner->hide();
    m_recoveryBanner = new NoticeBanner(bannerParent);
    m_recoveryBanner->setClosable(true);
    m_recoveryBanner->hide();
    connect(m_recoveryBanner, &NoticeBanner::actionClicked, this, &StorageNotices::restore);
    connect(m_recoveryBanner, &NoticeBanner::closeClicked, this, [this] {
        m_offer.reset();
        update();
    });
    connect(&m_store, &TaskStore::saveProblemChanged, this, &StorageNotices::update);
    // A copy made of the unreadable list after start changes what the offer says.
    connect(&m_store, &TaskStore::tasksChanged, this, &StorageNotices::update);
    update();
}

QList<QWidget *> StorageNotices::banners() const
{
    return m_shown;
}

QString StorageNotices::saveProblemText(const TaskStore &store)
{
    const std::optional<SaveError> &problem = store.saveProblem();
    if (!problem)
        return QString();
    switch (problem->reason()) {
    case SaveError::Reason::DiskFull:
        return tr("No se pudo guardar: el disco está lleno. Los cambios se guardarán en cuanto "
                  "haya espacio.");
    case SaveError::Reason::ReadOnly:
        return tr("No se pudo guardar: el disco es de solo lectura. Los cambios se guardarán en "
                  "cuanto se pueda escribir en él.");
    case SaveError::Reason::NoPermission:
        return tr("No se pudo guardar: no hay permiso para escribir en %1. Los cambios se "
                  "guardarán en cuanto lo haya.")
            .arg(shownPath(problem->path));
    case SaveError::Reason::Busy:
        return tr("No se pudo guardar: otra copia de Lorvane está guardando la lista. Se "
                  "volverá a intentar en unos segundos.");
    case SaveError::Reason::Other:
        break;
    }
    return tr("No se pudo guardar la lista. Los cambios se guardarán en cuanto sea posible; se "
              "vuelve a intentar cada pocos segundos.");
}

QString StorageNotices::recoveryText(const RecoveryOffer &offer, const QString &storedFile)
{
    if (offer.situation == RecoveryOffer::Situation::UnsavedChanges) {
        return tr("Los últimos cambios no se pudieron guardar al salir. Se guardaron en %1.")
            .arg(shownPath(offer.unsavedCopy));
    }
    if (offer.unreadableCopy.isEmpty()) {
        return tr("No se pudo leer la lista guardada. Queda tal cual en %1 hasta que se pueda "
                  "hacer una copia de ella.")
            .arg(shownPath(storedFile));
    }
    return tr("No se pudo leer la lista guardada. Se guardó una copia en %1.")
        .arg(shownPath(offer.unreadableCopy));
}

void StorageNotices::update()
{
    if (!m_copyToRemove.isEmpty() && !m_store.saveProblem()) {
        QFile::remove(m_copyToRemove);
        m_copyToRemove.clear();
    }
    // Every change of the list passes here; the column is laid out again only when what
    // the notices show has changed.
    QList<QWidget *> shown;
    if (m_offer)
        shown.append(m_recoveryBanner);
    if (m_store.saveProblem())
        shown.append(m_saveBanner);
    const QString saveText = m_saveBanner->message();
    const QString recoveryBefore = m_recoveryBanner->message();
    m_saveBanner->setMessage(saveProblemText(m_store));
    if (m_offer) {
        m_offer->unreadableCopy = m_store.unreadableCopy();
        m_recoveryBanner->setMessage(recoveryText(*m_offer, m_preferences.filePath()),
                                     m_offer->restorable ? tr("Restaurar") : QString());
    }
    if (std::exchange(m_shown, shown) != shown || m_saveBanner->message() != saveText ||
        m_recoveryBanner->message() != recoveryBefore)
        emit changed();
}

void StorageNotices::restore()
{
    if (!m_offer || !m_offer->restorable)
        return;
    const RecoveryOffer offer = *std::exchange(m_offer, std::nullopt);
    m_copyToRemove = offer.unsavedCopy;
    m_store.restore(*offer.restorable);
    update();
}
