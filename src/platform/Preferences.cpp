#include "platform/Preferences.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t privateFolderMode = 0700;
constexpr mode_t privateFileMode = 0600;

// $XDG_CONFIG_HOME/lorvane/lorvane.conf, read from the environment each time: QSettings'
// organisation/application constructor resolves the folder once per process, which would
// pin every later Preferences to the first folder.
QString preferencesFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/lorvane/lorvane.conf");
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Takes away every access of group and others from a file or folder of the expected kind.
// The owner's own bits stay: a folder the user made read-only stays read-only.
bool makeOwnerOnly(const QByteArray &path, bool isFolder)
{
    struct stat info;
    if (::stat(path.constData(), &info) != 0 || S_ISDIR(info.st_mode) != isFolder)
        return false;
    if ((info.st_mode & 077) == 0)
        return true;
    return ::chmod(path.constData(), info.st_mode & 07700) == 0;
}

// Creates the missing folders of `path` with mode 0700, as the XDG base directory rules ask
// for a configuration home that does not exist yet. True when `path` was created here.
bool makeFolders(const QString &path)
{
    if (QFileInfo::exists(path))
        return false;
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path)
        makeFolders(parent);
    return ::mkdir(QFile::encodeName(path).constData(), privateFolderMode) == 0;
}

// A rename is only durable once the folder that holds the name is on disk.
void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, p, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += written;
        left -= written;
    }
    return true;
}

} // namespace

Preferences::Preferences() : m_settings(preferencesFilePath(), QSettings::NativeFormat)
{
    removeLeftoversOfInterruptedSave();
}

// Only one Lorvane runs per user, and a save holds Qt's lock file and its temporary file
// only while it runs. Either one found when the preferences are opened was left by a process
// that died in the middle of a save. An empty lock file in particular would make Qt wait 30 s
// before it counts the lock as abandoned, stalling the first save after start.
void Preferences::removeLeftoversOfInterruptedSave() const
{
    const QFileInfo file(filePath());
    QDir folder = file.absoluteDir();
    if (!folder.exists())
        return;
    QFile::remove(file.absoluteFilePath() + QStringLiteral(".lock"));
    const QRegularExpression temporaryName(
        QStringLiteral("^%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(file.fileName())));
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden)) {
        if (temporaryName.match(name).hasMatch())
            folder.remove(name);
    }
}

QString Preferences::filePath() const
{
    return m_settings.fileName();
}

std::optional<QByteArray> Preferences::tasksDocument() const
{
    const QVariant value = m_settings.value(QLatin1String(tasksKey));
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    // Not written by us (edited by hand, say): hand over its text so that the store can
    // keep a copy of it instead of dropping it.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).toUtf8();
    return value.toString().toUtf8();
}

bool Preferences::setTasksDocument(const QByteArray &document)
{
    return write(QLatin1String(tasksKey), document);
}

int Preferences::timerMinutes() const
{
    bool isInteger = false;
    const int minutes = m_settings.value(QLatin1String(timerMinutesKey)).toInt(&isInteger);
    return isInteger ? minutes : defaultTimerMinutes;
}

int Preferences::storedTimerMinutes() const
{
    return m_settings.value(QLatin1String(timerMinutesKey)).toInt();
}

bool Preferences::setTimerMinutes(int minutes)
{
    return write(QLatin1String(timerMinutesKey), minutes);
}

bool Preferences::write(const QString &key, const QVariant &value)
{
    // Best effort: when the folder cannot be made or changed, the write below fails too.
    makeLocationPrivate();

    // Qt writes the file whole to a temporary file, flushes it to disk and renames it over
    // the old one. A write that fails stays pending in the shared copy of the file, so the
    // next successful write carries it too.
    QSettings writer(filePath(), QSettings::NativeFormat);
    writer.setValue(key, value);
    writer.sync();
    // A malformed file is reported as FormatError when it is read; only AccessError means
    // the new file did not reach the disk.
    const bool isWritten = writer.status() != QSettings::AccessError;

    if (isWritten) {
        syncFolder(QFile::encodeName(QFileInfo(filePath()).absolutePath()));
        makeOwnerOnly(QFile::encodeName(filePath()), false);
    }
    return isWritten;
}

// The folder 0700 and the file 0600 before Qt writes anything: Qt's temporary file takes the
// mode of the file it replaces, and a file Qt creates itself would get 0666 minus the umask.
bool Preferences::makeLocationPrivate() const
{
    const QFileInfo fileInfo(filePath());
    const QString folder = fileInfo.absolutePath();

    // What this program creates gets exactly the private modes, whatever the umask; what
    // already exists only loses the access of group and others.
    const QByteArray folderName = QFile::encodeName(folder);
    if (makeFolders(folder))
        ::chmod(folderName.constData(), privateFolderMode);
    else if (!makeOwnerOnly(folderName, true))
        return false;

    const QByteArray fileName = QFile::encodeName(fileInfo.absoluteFilePath());
    const int fd =
        ::open(fileName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, privateFileMode);
    if (fd >= 0) {
        const bool isPrivate = ::fchmod(fd, privateFileMode) == 0;
        ::close(fd);
        return isPrivate;
    }
    return errno == EEXIST && makeOwnerOnly(fileName, false);
}

QString Preferences::keepUnreadableTasksDocument(const QByteArray &document,
                                                 QString *errorMessage) const
{
    const auto fail = [errorMessage](const QString &reason) {
        if (errorMessage)
            *errorMessage = reason;
        return QString();
    };

    makeLocationPrivate();
    const QString folder = QFileInfo(filePath()).absolutePath();
    if (!QFileInfo(folder).isDir())
        return fail(QStringLiteral("%1 is not a folder").arg(folder));

    const QString stem =
        QStringLiteral("unreadable-tasks-") +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const QString name = attempt == 1 ? stem + QStringLiteral(".json")
                                          : stem + QStringLiteral("-%1.json").arg(attempt);
        const QString path = folder + QLatin1Char('/') + name;
        const QByteArray encodedPath = QFile::encodeName(path);

        // O_EXCL: an earlier copy with the same name is never touched.
        const int fd = ::open(encodedPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              privateFileMode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return fail(QStringLiteral("cannot create %1: %2").arg(path, systemError(errno)));
        }
        const bool isWritten =
            ::fchmod(fd, privateFileMode) == 0 && writeAll(fd, document) && ::fsync(fd) == 0;
        const int writeError = errno;
        ::close(fd);
        if (!isWritten) {
            ::unlink(encodedPath.constData());
            return fail(QStringLiteral("cannot write %1: %2").arg(path, systemError(writeError)));
        }
        syncFolder(QFile::encodeName(folder));
        return path;
    }
    return fail(QStringLiteral("too many earlier copies named %1*.json").arg(stem));
}
