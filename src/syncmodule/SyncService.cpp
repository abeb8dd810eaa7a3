#include "syncmodule/SyncService.h"

#include "caldav/CalDavClient.h"
#include "caldav/ServerAddress.h"
#include "syncmodule/PasswordStore.h"
#include "syncservice/SyncEngine.h"
#include "views/ContentView.h"
#include "views/SyncDialog.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkInformation>

namespace {

QString pendingText(int pending)
{
    return pending == 1 ? QStringLiteral("1 cambio pendiente")
                        : QStringLiteral("%1 cambios pendientes").arg(pending);
}

// A list's name where the server gives none: the last part of its address.
QString nameOf(const QUrl &collection)
{
    const QStringList parts = collection.path().split(u'/', Qt::SkipEmptyParts);
    return parts.isEmpty() ? collection.host() : parts.constLast();
}

} // namespace

SyncService::SyncService(ContentView &content, QWidget *window, QObject *parent)
    : QObject(parent), m_content(content), m_window(window), m_statePath(SyncState::defaultPath()),
      m_network(new QNetworkAccessManager(this)), m_client(new CalDavClient(m_network, this)),
      m_passwords(new PasswordStore(this))
{
    QString error;
    if (std::optional<SyncState> state = SyncState::load(m_statePath, &error))
        m_state = std::move(*state);
    else
        m_lastErrorText = QStringLiteral("No se pudo leer el estado de la sincronización");

    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietSeconds * 1000);
    m_period.setInterval(periodSeconds * 1000);
    m_backoff.setSingleShot(true);
    for (QTimer *timer : {&m_quiet, &m_period, &m_backoff})
        connect(timer, &QTimer::timeout, this, &SyncService::syncNow);
    connect(m_passwords, &PasswordStore::storeMissingChanged, this, [this](bool missing) {
        if (m_dialog)
            m_dialog->showSecretStoreMissing(missing);
    });

    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
                [this](QNetworkInformation::Reachability reachability) {
                    if (reachability == QNetworkInformation::Reachability::Online && m_engine) {
                        m_retry = RetryPolicy();
                        syncNow();
                    }
                });
    }

    if (!m_state.collectionUrl.isEmpty()) {
        m_passwords->read(account(), [this](const QString &password) { startEngine(password); });
    }
    showStatus();
}

SyncService::~SyncService() = default;

QString SyncService::account() const
{
    return m_state.userName + u'@' + m_state.serverUrl;
}

void SyncService::openDialog()
{
    if (!m_dialog) {
        m_dialog = new SyncDialog(m_window);
        m_dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_dialog, &SyncDialog::connectRequested, this, &SyncService::connectAccount);
        connect(m_dialog, &SyncDialog::collectionChosen, this,
                [this](const QString &href) { chooseCollection(QUrl(href), QString()); });
        connect(m_dialog, &SyncDialog::createCollectionRequested, this, [this] {
            m_client->createCollection(m_home, QStringLiteral("Lorvane"),
                                       [this](const Written &made) {
                                           if (!made.error.isOk()) {
                                               m_dialog->showStatus({}, made.error.message);
                                               return;
                                           }
                                           chooseCollection(made.url, QStringLiteral("Lorvane"));
                                       });
        });
        connect(m_dialog, &SyncDialog::syncNowRequested, this, [this] {
            m_retry = RetryPolicy();
            syncNow();
        });
        connect(m_dialog, &SyncDialog::disconnectRequested, this, &SyncService::disconnectAccount);
        connect(m_dialog, &SyncDialog::certificateTrusted, this,
                [this](const QString &fingerprint) {
                    m_state.trustedCertificate = fingerprint;
                    m_client->setTrustedFingerprint(fingerprint);
                    if (m_engine) {
                        m_engine->setTrustedCertificate(fingerprint);
                        m_retry = RetryPolicy();
                        syncNow();
                    }
                    m_dialog->showCertificateProblem(QString());
                    m_dialog->showStatus({}, QString());
                });
        if (m_state.collectionUrl.isEmpty())
            m_dialog->showDisconnected(m_state.serverUrl, m_state.userName);
        else
            m_dialog->showConnected(m_state.serverUrl, m_state.userName,
                                    nameOf(QUrl(m_state.collectionUrl)));
        m_dialog->showSecretStoreMissing(m_passwords->isStoreMissing());
    }
    showStatus();
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void SyncService::connectAccount(const QString &server, const QString &user,
                                 const QString &password)
{
    const ServerAddress::Parsed address = ServerAddress::fromUserInput(server);
    if (!address.isValid()) {
        m_dialog->showStatus({}, address.error);
        return;
    }
    m_state.serverUrl = server.trimmed();
    m_state.userName = user;
    m_pendingPassword = password;
    m_client->setCredentials(user, password);
    m_client->setTrustedFingerprint(m_state.trustedCertificate);
    m_dialog->showConnecting();
    m_client->discover(address.url, [this](const Discovery &found) { takeDiscovery(found); });
}

void SyncService::takeDiscovery(const Discovery &found)
{
    if (!m_dialog)
        return;
    if (!found.error.isOk()) {
        m_dialog->showDisconnected(m_state.serverUrl, m_state.userName);
        m_dialog->showStatus({}, found.error.message);
        if (found.error.kind == SyncError::Kind::TlsUntrusted)
            m_dialog->showCertificateProblem(found.error.fingerprint);
        return;
    }
    m_passwords->write(account(), m_pendingPassword);
    m_home = found.home;
    // An address that was a task list itself is that list.
    if (found.principal.isEmpty() && found.calendars.size() == 1) {
        chooseCollection(found.calendars.at(0).url, found.calendars.at(0).displayName);
        return;
    }
    QList<SyncDialog::Collection> collections;
    for (const CalendarInfo &calendar : found.calendars)
        collections.append({calendar.url.toString(), calendar.displayName});
    m_dialog->showCollections(collections);
}

void SyncService::chooseCollection(const QUrl &collection, const QString &name)
{
    m_state.collectionUrl = collection.toString();
    m_state.syncToken.clear();
    m_state.tasks.clear();
    m_state.save(m_statePath);
    if (m_dialog)
        m_dialog->showConnected(m_state.serverUrl, m_state.userName,
                                name.isEmpty() ? nameOf(collection) : name);
    startEngine(m_pendingPassword);
    m_pendingPassword.clear();
}

void SyncService::disconnectAccount()
{
    m_engine.reset();
    m_passwords->remove(account());
    m_quiet.stop();
    m_period.stop();
    m_backoff.stop();
    QFile::remove(m_statePath);
    const QString server = m_state.serverUrl;
    const QString user = m_state.userName;
    m_state = SyncState();
    m_lastErrorText.clear();
    if (m_dialog) {
        m_dialog->showDisconnected(server, user);
        m_dialog->showStatus({}, QString());
    }
    m_content.setSyncStatus(QString());
    m_content.setSyncProblem(false);
}

void SyncService::startEngine(const QString &password)
{
    m_client->setCredentials(m_state.userName, password);
    m_client->setTrustedFingerprint(m_state.trustedCertificate);
    m_retry = RetryPolicy();
    m_engine = std::make_unique<SyncEngine>(m_content.store(), *m_client, m_state, m_statePath);
    connect(m_engine.get(), &SyncEngine::localChangeMade, this, [this] {
        m_quiet.start();
        showStatus();
    });
    connect(m_engine.get(), &SyncEngine::syncFinished, this, &SyncService::takeResult);
    m_period.start();
    syncNow();
}

void SyncService::syncNow()
{
    if (!m_engine || m_retry.isStopped())
        return;
    m_backoff.stop();
    m_engine->syncNow();
}

void SyncService::takeResult(const SyncError &error)
{
    m_state = m_engine->state();
    m_lastErrorText = error.isOk() ? QString() : error.message;
    if (const std::optional<int> delay = m_retry.next(error))
        m_backoff.start(*delay * 1000);
    if (m_dialog && error.kind == SyncError::Kind::TlsUntrusted)
        m_dialog->showCertificateProblem(error.fingerprint);
    showStatus();
}

void SyncService::showStatus()
{
    const QString host = QUrl::fromUserInput(m_state.serverUrl).host();
    const int pending = m_engine ? m_engine->pendingChanges() : 0;
    QString line;
    if (!m_lastErrorText.isEmpty())
        line = pending > 0 ? m_lastErrorText + QStringLiteral(" · ") + pendingText(pending)
                           : m_lastErrorText;
    else if (m_engine && m_engine->lastSuccess().isValid())
        line = QStringLiteral("Sincronizado con %1").arg(host);
    m_content.setSyncStatus(line);
    m_content.setSyncProblem(!m_lastErrorText.isEmpty());
    if (m_dialog)
        m_dialog->showStatus(m_engine ? m_engine->lastSuccess() : QDateTime(), m_lastErrorText);
}
