#include "platform/Preferences.h"

#include <QStandardPaths>
#include <QStringList>

namespace {

// $XDG_CONFIG_HOME/lorvane/lorvane.conf, read from the environment each time: QSettings'
// organisation/application constructor resolves the folder once per process, which would
// pin every later Preferences to the first folder.
QString preferencesFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/lorvane/lorvane.conf");
}

} // namespace

Preferences::Preferences()
    : m_folder(preferencesFilePath()), m_settings(m_folder.filePath(), QSettings::NativeFormat)
{
    m_folder.removeLeftoversOfInterruptedSave();
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
    m_folder.makePrivate();

    // Qt writes the file whole to a temporary file, flushes it to disk and renames it over
    // the old one. A write that fails stays pending in the shared copy of the file, so the
    // next successful write carries it too.
    QSettings writer(filePath(), QSettings::NativeFormat);
    writer.setValue(key, value);
    writer.sync();
    // A malformed file is reported as FormatError when it is read; only AccessError means
    // the new file did not reach the disk.
    const bool isWritten = writer.status() != QSettings::AccessError;
    if (isWritten)
        m_folder.sync();
    return isWritten;
}
