#include "preferences/PreferencesFolder.h"

#include "preferences/DurableFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>

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

QString PreferencesFolder::stateFolder()
{
    const QString configured = qEnvironmentVariable("XDG_STATE_HOME");
    const QString home = QDir::isAbsolutePath(configured)
                             ? configured
                             : QDir::homePath() + QStringLiteral("/.local/state");
    return home + QStringLiteral("/lorvane");
}

PreferencesFolder::PreferencesFolder(const QString &filePath) : m_filePath(filePath) {}

QString PreferencesFolder::path() const
{
    return QFileInfo(m_filePath).absolutePath();
}

bool PreferencesFolder::makePrivate() const
{
    return makePrivateFolders(path()) || makeOwnerOnly(path());
}

void PreferencesFolder::makeFilePrivate() const
{
    const QFile::Permissions permissions = QFile::permissions(m_filePath);
    if (permissions & groupAndOthers)
        QFile::setPermissions(m_filePath, permissions & ~groupAndOthers);
}

QString PreferencesFolder::keepUnreadableCopy(const QByteArray &bytes, SaveError *error) const
{
    makePrivate();
    // A list that stays unreadable is copied once, not again at every start.
    const QDir folder(path());
    for (const QString &name : folder.entryList({QStringLiteral("unreadable-tasks-*.json")},
                                                QDir::Files, QDir::Name | QDir::Reversed)) {
        QFile earlier(folder.filePath(name));
        if (!QFileInfo(earlier).isSymLink() && earlier.size() == bytes.size() &&
            earlier.open(QIODevice::ReadOnly) && earlier.readAll() == bytes)
            return earlier.fileName();
    }
    const QString stem =
        path() + QStringLiteral("/unreadable-tasks-") +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const QString copy = attempt == 1 ? stem + QStringLiteral(".json")
                                          : stem + QStringLiteral("-%1.json").arg(attempt);
        // An earlier copy with the same name is never touched (nor a link by that name).
        if (QFileInfo(copy).exists() || QFileInfo(copy).isSymLink())
            continue;
        const std::optional<SaveError> failure = DurableFile::replace(copy, bytes);
        if (failure && error)
            *error = *failure;
        return failure ? QString() : copy;
    }
    if (error)
        *error = SaveError{QStringLiteral("create"), EEXIST, stem + QStringLiteral("*.json")};
    return QString();
}

// Only names under the temporary files' own prefix: "lorvane.conf.backup" may well be the
// user's. The names of earlier versions' staging file and Qt's lock for it go too.
void PreferencesFolder::removeLeftoversOfInterruptedSave() const
{
    const QString target = DurableFile::finalTarget(m_filePath);
    const QFileInfo info(target);
    QDir folder = info.dir();
    if (!folder.exists())
        return;
    const QRegularExpression leftover(
        QStringLiteral("^%1\\.next(\\.lock(\\.rmlock)?|\\.[A-Za-z0-9]{6})?$")
            .arg(QRegularExpression::escape(info.fileName())));
    for (const QString &entry : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (leftover.match(entry).hasMatch())
            folder.remove(entry);
    }
}
