#pragma once

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class CollectionRow;
class QLabel;
class QLineEdit;
class QScrollArea;
class QVBoxLayout;
class RoundedButton;
class Theme;

// Where the user connects Lorvane to a CalDAV server, picks the server's task list to keep
// in step with, and reads how the last sync went. The dialog knows nothing of the connection
// itself: its owner drives it through the show...() calls and hears what the user asks for
// through the signals. It never keeps the password: the field is cleared as soon as
// connectRequested() has carried it, or the dialog is hidden. Escape and "Cerrar" hide it
// (reject()).
class SyncDialog : public QDialog
{
    Q_OBJECT

public:
    struct Collection {
        QString href;
        QString displayName;
    };

    explicit SyncDialog(QWidget *parent = nullptr);
    ~SyncDialog() override;

    // Fields editable; "Conectar" enabled once server and user are filled in.
    void showDisconnected(const QString &server, const QString &user);
    // While a connection is tried: fields and "Conectar" disabled.
    void showConnecting();
    // The server's task lists to choose from, and a row that creates one for Lorvane.
    void showCollections(const QList<Collection> &collections);
    // Fields read-only; "Sincronizar ahora" and "Desconectar" in place of "Conectar".
    void showConnected(const QString &server, const QString &user, const QString &collectionName);
    // An invalid `lastSync` reads "nunca"; an empty `error` shows no error line.
    void showStatus(const QDateTime &lastSync, const QString &error);
    // The SHA-256 fingerprint of a certificate the system does not trust, for the user to
    // trust or not; an empty one hides the area.
    void showCertificateProblem(const QString &fingerprint);
    void showSecretStoreMissing(bool missing);

    // "Última sincronización: hoy a las 14:05", the day told relative to `now`.
    static QString lastSyncText(const QDateTime &lastSync, const QDateTime &now);

signals:
    void connectRequested(const QString &server, const QString &user, const QString &password);
    void collectionChosen(const QString &href);
    void createCollectionRequested();
    void syncNowRequested();
    void disconnectRequested();
    void certificateTrusted(const QString &fingerprint);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    enum class State { Disconnected, Connecting, Collections, Connected };
    using ColorRole = std::function<QColor(const Theme &)>;

    QLabel *makeLabel(const QString &text, const QFont &font, ColorRole color, bool wrapped);
    QLineEdit *makeField(const QString &name);
    void setState(State state);
    void setMainButton(RoundedButton *button);
    void updateConnectButton();
    void requestConnect();
    void updateTabOrder();
    void applyTheme();
    void fitHeight();
    // The error line shows unless the certificate box, which says what is wrong, is up.
    void updateErrorLine();

    State m_state = State::Disconnected;
    std::vector<std::pair<QLabel *, ColorRole>> m_labelColors;

    QLineEdit *m_server = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QLabel *m_passwordLabel = nullptr;
    QLabel *m_passwordHint = nullptr;
    QLabel *m_secretStoreNote = nullptr;

    QWidget *m_certificate = nullptr;
    QLabel *m_fingerprintLabel = nullptr;
    RoundedButton *m_trust = nullptr;
    QString m_fingerprint;

    QWidget *m_collections = nullptr;
    QScrollArea *m_collectionScroll = nullptr;
    QVBoxLayout *m_collectionLayout = nullptr;
    QList<CollectionRow *> m_collectionRows;
    CollectionRow *m_createRow = nullptr;

    QWidget *m_status = nullptr;
    QLabel *m_collectionLine = nullptr;
    QLabel *m_lastSync = nullptr;
    QLabel *m_error = nullptr;

    RoundedButton *m_disconnect = nullptr;
    RoundedButton *m_close = nullptr;
    RoundedButton *m_connect = nullptr;
    RoundedButton *m_syncNow = nullptr;
};
