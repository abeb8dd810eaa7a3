#include "preferences/Preferences.h"

#include "preferences/DurableFile.h"
#include "preferences/SaveLock.h"
#include "preferences/SettingsText.h"

#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

// $XDG_CONFIG_HOME/lorvane/lorvane.conf, read from the environment each time, so that every
// Preferences made follows the environment as it is then.
QString preferencesFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/lorvane/lorvane.conf");
}

struct FileBytes {
    QByteArray bytes;
    int error = 0; // 0, or why the file exists and cannot be read
};

// The whole file; empty when there is none.
FileBytes readWhole(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {{}, errno == ENOENT ? 0 : errno};
    FileBytes result;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            result.error = errno;
        if (count <= 0)
            break;
        result.bytes.append(buffer, count);
    }
    ::close(fd);
    return result;
}

std::optional<QByteArray> tasksValue(const SettingsText &text)
{
    const QVariant value = text.value(QLatin1StringView(Preferences::tasksKey));
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

} // namespace

Preferences::Preferences(FileSystemCalls &calls) : m_calls(calls), m_folder(preferencesFilePath())
{
    // Under the lock, so that a save another process is making is not taken for a leftover.
    const SaveLock lock(m_folder.lockPath(), m_lockPatience, m_calls);
    if (lock.state() == SaveLock::State::Held)
        m_folder.removeLeftoversOfInterruptedSave();
}

QByteArray Preferences::bytesOnDisk() const
{
    return readWhole(filePath()).bytes;
}

std::optional<QByteArray> Preferences::tasksDocument() const
{
    return tasksValue(SettingsText(bytesOnDisk()));
}

bool Preferences::setTasksDocument(const QByteArray &document)
{
    return updateTasksDocument([&document](const std::optional<QByteArray> &) { return document; });
}

bool Preferences::updateTasksDocument(const TasksUpdate &update)
{
    return rewrite([&update](SettingsText &text) {
        const std::optional<QByteArray> document = update(tasksValue(text));
        if (document)
            text.setValue(QLatin1StringView(tasksKey), *document);
        return document.has_value();
    });
}

// Read as 64-bit integers: a value stored outside the range of int is what it is, never
// wrapped round to another number.
qint64 Preferences::timerMinutes() const
{
    bool isInteger = false;
    const qint64 minutes = SettingsText(bytesOnDisk())
                               .value(QLatin1StringView(timerMinutesKey))
                               .toString()
                               .toLongLong(&isInteger);
    return isInteger ? minutes : defaultTimerMinutes;
}

qint64 Preferences::storedTimerMinutes() const
{
    return SettingsText(bytesOnDisk())
        .value(QLatin1StringView(timerMinutesKey))
        .toString()
        .toLongLong();
}

bool Preferences::setTimerMinutes(int minutes)
{
    return rewrite([minutes](SettingsText &text) {
        text.setValue(QLatin1StringView(timerMinutesKey), minutes);
        return true;
    });
}

bool Preferences::rewrite(const std::function<bool(SettingsText &)> &change)
{
    m_lastError.reset();
    // A folder that cannot be made or made private tells of itself at the steps below.
    m_folder.makePrivate();
    const SaveLock lock(m_folder.lockPath(), m_lockPatience, m_calls);
    if (lock.state() == SaveLock::State::Busy) {
        m_lastError = SaveError{QStringLiteral("lock"), EWOULDBLOCK, m_folder.lockPath()};
        return false;
    }
    // A file that exists but cannot be read is not replaced by one without its values.
    const FileBytes stored = readWhole(filePath());
    if (stored.error) {
        m_lastError = SaveError{QStringLiteral("read"), stored.error, filePath()};
        return false;
    }
    SettingsText text(stored.bytes);
    if (!change(text))
        return false;
    if (text.bytes() == stored.bytes && !stored.bytes.isEmpty()) {
        m_folder.makeFilePrivate();
        return true;
    }
    m_lastError =
        DurableFile::replace(filePath(), text.bytes(), DurableFile::Durability::Flushed, m_calls);
    return !m_lastError;
}
