#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

// The sync password in the desktop's secret store (Secret Service or KWallet, through
// QtKeychain), never in a file of Lorvane's. Without a secret store it is kept in memory for
// this session only, and isStoreMissing() says so.
class PasswordStore : public QObject
{
    Q_OBJECT

public:
    explicit PasswordStore(QObject *parent = nullptr);

    // The password for `account`; empty when none is known.
    void read(const QString &account, std::function<void(const QString &password)> done);
    void write(const QString &account, const QString &password);
    void remove(const QString &account);

    bool isStoreMissing() const { return m_storeMissing; }

signals:
    void storeMissingChanged(bool missing);

private:
    void setStoreMissing(bool missing);

    QHash<QString, QString> m_session;
    bool m_storeMissing = false;
};
