#include "preferences/DurableFile.h"

#include <QFile>

#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <unistd.h>

namespace {

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.first(slash);
}

// fsync() where the file system cannot flush (some FUSE and special file systems) is no
// failure of the save: there is nothing more to be done.
bool isFlushUnsupported(int code)
{
    return code == EINVAL || code == ENOTSUP || code == EOPNOTSUPP;
}

} // namespace

namespace DurableFile {

QString temporaryPrefix(const QString &target)
{
    return target + QStringLiteral(".next.");
}

QString finalTarget(const QString &path)
{
    QString current = path;
    // The system's own limit on links followed in one lookup.
    for (int hop = 0; hop < 40; ++hop) {
        char buffer[PATH_MAX];
        const ssize_t size = ::readlink(QFile::encodeName(current).constData(), buffer, PATH_MAX);
        if (size < 0 || size == PATH_MAX)
            break;
        const QString link = QFile::decodeName(QByteArray(buffer, size));
        // Not cleaned: "folder/.." is only what it says where "folder" is no link itself.
        current = link.startsWith(u'/') ? link : folderOf(current) + u'/' + link;
    }
    return current;
}

std::optional<SaveError> replace(const QString &path, const QByteArray &bytes,
                                 Durability durability, FileSystemCalls &calls)
{
    const QString target = finalTarget(path);
    const QByteArray targetName = QFile::encodeName(target);
    const auto error = [](const char *step, const QString &about, int code) {
        return SaveError{QString::fromLatin1(step), code, about};
    };

    // A file the user made read-only is left alone, as an editor leaves it.
    if (::access(targetName.constData(), W_OK) != 0 && errno != ENOENT)
        return error("write", target, errno);

    QByteArray staged = QFile::encodeName(temporaryPrefix(target)) + "XXXXXX";
    const int fd = calls.createUnique(staged.data());
    if (fd < 0)
        return error("create", QFile::decodeName(staged), errno);
    const QString stagedPath = QFile::decodeName(staged);
    // Each failure's number is taken before the clean-up, which may set another.
    const auto discard = [&](const char *step, int code, bool isOpen) {
        if (isOpen)
            calls.close(fd);
        calls.unlink(staged.constData());
        return error(step, stagedPath, code);
    };

    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t count =
            calls.write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return discard("write", count == 0 ? EIO : errno, true);
        written += count;
    }
    if (durability == Durability::Flushed && calls.fsync(fd) != 0 && !isFlushUnsupported(errno))
        return discard("flush", errno, true);
    // close() reports what a network file system could not write back; never retried, as
    // the descriptor is gone either way.
    if (calls.close(fd) != 0)
        return discard("close", errno, false);
    if (calls.rename(staged.constData(), targetName.constData()) != 0)
        return discard("replace", errno, false);

    if (durability == Durability::Flushed) {
        // The new name is only durable once the folder that holds it is flushed. The file is
        // already replaced, so a failure here cannot undo anything; it is told all the same,
        // and the next save writes the list again.
        const QString folder = folderOf(target);
        const int folderFd =
            ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderFd >= 0) {
            const bool isFlushed = calls.fsync(folderFd) == 0 || isFlushUnsupported(errno);
            const int code = errno;
            ::close(folderFd);
            if (!isFlushed)
                return error("flush", folder, code);
        }
    }
    return std::nullopt;
}

} // namespace DurableFile
