#pragma once

#include "caldav/RetryPolicy.h"
#include "sync/SyncState.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <memory>

class CalDavClient;
class ContentView;
class PasswordStore;
class QNetworkAccessManager;
class SyncDialog;
class SyncEngine;
struct Discovery;
struct SyncError;

// Sync as the user sees it: the dialog that connects an account and chooses a task list,
// the settings line and the gear's mark, and when to sync: about two seconds after the last
// change here, every few minutes, when the network comes back, on request, and after a
// failure with a growing pause. Runs after the first frame only.
class SyncService : public QObject
{
    Q_OBJECT

public:
    static constexpr int quietSeconds = 2;
    static constexpr int periodSeconds = 5 * 60;

    SyncService(ContentView &content, QWidget *window, QObject *parent = nullptr);
    ~SyncService() override;

public slots:
    void openDialog();

private:
    void connectAccount(const QString &server, const QString &user, const QString &password);
    void takeDiscovery(const Discovery &found);
    void chooseCollection(const QUrl &collection, const QString &name);
    void disconnectAccount();
    void startEngine(const QString &password);
    void syncNow();
    void takeResult(const SyncError &error);
    void showStatus();
    QString account() const;

    ContentView &m_content;
    QPointer<QWidget> m_window;
    QString m_statePath;
    SyncState m_state;
    QNetworkAccessManager *m_network = nullptr;
    CalDavClient *m_client = nullptr;
    PasswordStore *m_passwords = nullptr;
    std::unique_ptr<SyncEngine> m_engine;
    QPointer<SyncDialog> m_dialog;
    RetryPolicy m_retry;
    QTimer m_quiet;
    QTimer m_period;
    QTimer m_backoff;
    // Between a successful discovery and the choice of a list.
    QString m_pendingPassword;
    QUrl m_home;
    QString m_lastErrorText;
};
