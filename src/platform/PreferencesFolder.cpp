#include "platform/PreferencesFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr QFile::Permissions privateFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions privateFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions groupAndOthers = QFile::ReadGroup | QFile::WriteGroup |
                                              QFile::ExeGroup | QFile::ReadOther |
                                              QFile::WriteOther | QFile::ExeOther;

// Takes away every access of group and others from a folder. The owner's own bits stay: a
// folder the user made read-only stays read-only. (Qt's "User" bits say what this process may
// do, which for root is everything; they are not part of the mode.)
bool makeOwnerOnly(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.isDir())
        return false;
    return !(info.permissions() & groupAndOthers) ||
           QFile::setPermissions(folder, info.permissions() & privateFolder);
}

// Creates the missing folders of `path` with mode 0700, as the XDG base directory rules ask
// for a configuration home that does not exist yet, whatever the umask. True when `path` was
// created here.
bool makePrivateFolders(const QString &path)
{
    if (QFileInfo::exists(path))
        return false;
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path)
        makePrivateFolders(parent);
    return QDir().mkdir(path, privateFolder) && QFile::setPermissions(path, privateFolder);
}

} // namespace

PreferencesFolder::PreferencesFolder(const QString &filePath) : m_filePath(filePath) {}

QString PreferencesFolder::path() const
{
    return QFileInfo(m_filePath).absolutePath();
}

bool PreferencesFolder::makePrivate() const
{
    return makePrivateFolders(path()) || makeOwnerOnly(path());
}

bool PreferencesFolder::prepareStaging() const
{
    QFile::remove(stagingPath());
    QFile staging(stagingPath());
    return makePrivate() && staging.open(QIODevice::WriteOnly | QIODevice::NewOnly, privateFile) &&
           staging.setPermissions(privateFile);
}

bool PreferencesFolder::replaceFileWithStaging() const
{
    // QFile::rename() never replaces an existing file; rename(2) does, in one step.
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(stagingPath()).toStdString(),
                            QFile::encodeName(m_filePath).toStdString(), error);
    if (error)
        return false;
    syncFolder();
    return true;
}

// A rename is only durable once the folder that holds the name is on disk. Qt has no way to
// flush a folder.
void PreferencesFolder::syncFolder() const
{
    const int fd =
        ::open(QFile::encodeName(path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

QString PreferencesFolder::keepUnreadableCopy(const QByteArray &bytes, QString *errorMessage) const
{
    const auto fail = [errorMessage](const QString &reason) {
        if (errorMessage)
            *errorMessage = reason;
        return QString();
    };

    makePrivate();
    if (!QFileInfo(path()).isDir())
        return fail(QStringLiteral("%1 is not a folder").arg(path()));

    const QString stem =
        path() + QStringLiteral("/unreadable-tasks-") +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        QFile copy(attempt == 1 ? stem + QStringLiteral(".json")
                                : stem + QStringLiteral("-%1.json").arg(attempt));
        // NewOnly: an earlier copy with the same name is never touched.
        if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly, privateFile)) {
            if (copy.exists())
                continue;
            return fail(
                QStringLiteral("cannot create %1: %2").arg(copy.fileName(), copy.errorString()));
        }
        const bool isWritten = copy.setPermissions(privateFile) &&
                               copy.write(bytes) == bytes.size() && copy.flush() &&
                               ::fsync(copy.handle()) == 0;
        if (!isWritten) {
            // QFile::remove() would give up when closing flushes in vain.
            const QString reason = copy.errorString();
            QFile::remove(copy.fileName());
            return fail(QStringLiteral("cannot write %1: %2").arg(copy.fileName(), reason));
        }
        syncFolder();
        return copy.fileName();
    }
    return fail(QStringLiteral("too many earlier copies named %1*.json").arg(stem));
}

// Only one Lorvane runs per user, and a save holds the staging file, Qt's lock file for it and
// Qt's temporary file only while it runs. Any of them found when the preferences are opened
// was left by a process that died in the middle of a save. An empty lock file in particular
// would make Qt wait 30 s before it counts the lock as abandoned, stalling the first save.
// Only names under the staging file's own: "lorvane.conf.backup" may well be the user's.
void PreferencesFolder::removeLeftoversOfInterruptedSave() const
{
    QDir folder(path());
    if (!folder.exists())
        return;
    const QRegularExpression leftover(
        QStringLiteral("^%1(\\.lock(\\.rmlock)?|\\.[A-Za-z0-9]{6})?$")
            .arg(QRegularExpression::escape(QFileInfo(stagingPath()).fileName())));
    for (const QString &entry : folder.entryList(QDir::Files | QDir::Hidden)) {
        if (leftover.match(entry).hasMatch())
            folder.remove(entry);
    }
}
