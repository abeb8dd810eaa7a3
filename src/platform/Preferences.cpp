#include "platform/Preferences.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QUuid>

#include <memory>

namespace {

// $XDG_CONFIG_HOME/lorvane/lorvane.conf, read from the environment each time: QSettings'
// organisation/application constructor resolves the folder once per process, which would
// pin every later Preferences to the first folder.
QString preferencesFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/lorvane/lorvane.conf");
}

// A QSettings on the file as it is on disk now. Qt keeps the last parsed copy of every file it
// read and trusts it while the file's size and modification time, in milliseconds, stay the
// same, so two versions written within a millisecond (saves come that fast) pass for one. A
// symbolic link with a name Qt has never seen makes it read the file; Qt has read it whole
// once the QSettings is made, so the link goes at once.
std::unique_ptr<QSettings> settingsOnDisk(const QString &path)
{
    const QString link = QDir::tempPath() + QStringLiteral("/lorvane-") +
                         QUuid::createUuid().toString(QUuid::WithoutBraces);
    const bool isLinked = QFile::link(path, link);
    auto settings = std::make_unique<QSettings>(isLinked ? link : path, QSettings::NativeFormat);
    if (isLinked)
        QFile::remove(link);
    return settings;
}

// The file's bytes, or nothing when it cannot be read. Comparing them costs far less than
// parsing them; a file's size and time say too little (Linux stamps times from a clock that
// moves by whole ticks, so two writes of the same size can share one).
std::optional<QByteArray> bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? std::optional<QByteArray>(file.readAll())
                                          : std::nullopt;
}

QVariantMap valuesOf(const QSettings &settings)
{
    QVariantMap values;
    for (const QString &key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}

std::optional<QByteArray> tasksValue(const QVariantMap &values)
{
    const QVariant value = values.value(QLatin1String(Preferences::tasksKey));
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

Preferences::Preferences() : m_folder(preferencesFilePath())
{
    m_folder.removeLeftoversOfInterruptedSave();
}

std::optional<QByteArray> Preferences::tasksDocument() const
{
    return tasksValue(valuesOnDisk().value_or(QVariantMap()));
}

bool Preferences::setTasksDocument(const QByteArray &document)
{
    return updateTasksDocument([&document](const std::optional<QByteArray> &) { return document; });
}

bool Preferences::updateTasksDocument(const TasksUpdate &update)
{
    return rewrite([&update](const QVariantMap &stored, QSettings &next) {
        const std::optional<QByteArray> document = update(tasksValue(stored));
        if (document)
            next.setValue(QLatin1String(tasksKey), *document);
        return document.has_value();
    });
}

int Preferences::timerMinutes() const
{
    bool isInteger = false;
    const int minutes = valuesOnDisk()
                            .value_or(QVariantMap())
                            .value(QLatin1String(timerMinutesKey))
                            .toInt(&isInteger);
    return isInteger ? minutes : defaultTimerMinutes;
}

int Preferences::storedTimerMinutes() const
{
    return valuesOnDisk().value_or(QVariantMap()).value(QLatin1String(timerMinutesKey)).toInt();
}

bool Preferences::setTimerMinutes(int minutes)
{
    return rewrite([minutes](const QVariantMap &, QSettings &next) {
        next.setValue(QLatin1String(timerMinutesKey), minutes);
        return true;
    });
}

std::optional<QVariantMap> Preferences::valuesOnDisk() const
{
    const std::optional<QByteArray> bytes = bytesOf(filePath());
    if (m_lastSeen && m_lastSeen->bytes == bytes)
        return m_lastSeen->values;
    const std::unique_ptr<QSettings> settings = settingsOnDisk(filePath());
    if (settings->status() == QSettings::AccessError)
        return std::nullopt;
    m_lastSeen = Snapshot{bytes, valuesOf(*settings)};
    return m_lastSeen->values;
}

// Writing through a QSettings on the file itself would be shorter, but a write that fails
// stays pending in Qt's shared copy of the file and goes out with the next write of any key,
// over whatever another program stored in the meantime. Here every value of the file as it is
// now goes into a staging file, which Qt writes whole and flushes, and which then replaces the
// file in one rename.
bool Preferences::rewrite(const std::function<bool(const QVariantMap &, QSettings &)> &change)
{
    // A file that exists but cannot be read is not replaced by one without its values.
    const std::optional<QVariantMap> stored = valuesOnDisk();
    if (!stored || !m_folder.prepareStaging())
        return false;
    // Read empty, so Qt forgets it with this object, also a failed write's pending values.
    QSettings next(m_folder.stagingPath(), QSettings::NativeFormat);
    for (auto value = stored->cbegin(); value != stored->cend(); ++value)
        next.setValue(value.key(), value.value());
    if (!change(*stored, next))
        return false;
    next.sync();
    const std::optional<QByteArray> bytes = bytesOf(m_folder.stagingPath());
    if (next.status() != QSettings::NoError || !m_folder.replaceFileWithStaging())
        return false;
    m_lastSeen = Snapshot{bytes, valuesOf(next)};
    return true;
}
