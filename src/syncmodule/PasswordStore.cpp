#include "syncmodule/PasswordStore.h"

#include <qt6keychain/keychain.h>

namespace {

const QString service = QStringLiteral("io.github.lorvane.Lorvane");

// No daemon, a locked or refused store: the password cannot be kept past this session.
bool storeUnavailable(QKeychain::Error error)
{
    return error == QKeychain::NoBackendAvailable || error == QKeychain::NotImplemented ||
           error == QKeychain::AccessDenied || error == QKeychain::AccessDeniedByUser ||
           error == QKeychain::OtherError;
}

} // namespace

PasswordStore::PasswordStore(QObject *parent) : QObject(parent) {}

void PasswordStore::read(const QString &account, std::function<void(const QString &)> done)
{
    if (const auto kept = m_session.constFind(account); kept != m_session.cend()) {
        done(*kept);
        return;
    }
    auto *job = new QKeychain::ReadPasswordJob(service, this);
    job->setAutoDelete(true);
    job->setKey(account);
    connect(job, &QKeychain::Job::finished, this, [this, job, done = std::move(done)] {
        if (job->error() == QKeychain::NoError) {
            done(job->textData());
            return;
        }
        if (job->error() != QKeychain::EntryNotFound)
            setStoreMissing(storeUnavailable(job->error()));
        done(QString());
    });
    job->start();
}

void PasswordStore::write(const QString &account, const QString &password)
{
    auto *job = new QKeychain::WritePasswordJob(service, this);
    job->setAutoDelete(true);
    job->setKey(account);
    job->setTextData(password);
    connect(job, &QKeychain::Job::finished, this, [this, job, account, password] {
        const bool missing = job->error() != QKeychain::NoError;
        // Kept in memory either way until the store answers a read itself.
        if (missing)
            m_session.insert(account, password);
        else
            m_session.remove(account);
        setStoreMissing(missing);
    });
    job->start();
}

void PasswordStore::remove(const QString &account)
{
    m_session.remove(account);
    auto *job = new QKeychain::DeletePasswordJob(service, this);
    job->setAutoDelete(true);
    job->setKey(account);
    job->start();
}

void PasswordStore::setStoreMissing(bool missing)
{
    if (missing == m_storeMissing)
        return;
    m_storeMissing = missing;
    emit storeMissingChanged(missing);
}
