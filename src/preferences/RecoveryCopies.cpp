#include "preferences/RecoveryCopies.h"

#include "preferences/DurableFile.h"
#include "preferences/PreferencesFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr auto lastStoredName = "/last-stored-tasks.json";
constexpr auto unsavedName = "/unsaved-tasks.json";

std::optional<QByteArray> contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

std::optional<SaveError> writePrivately(const QString &path, const QByteArray &document,
                                        DurableFile::Durability durability)
{
    PreferencesFolder(path).makePrivate();
    return DurableFile::replace(path, document, durability);
}

} // namespace

RecoveryCopies::RecoveryCopies()
    : m_stateFolder(PreferencesFolder::stateFolder()),
      m_runtimeFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"))
{
}

void RecoveryCopies::keepLastStored(const QByteArray &document) const
{
    writePrivately(m_stateFolder + QLatin1String(lastStoredName), document,
                   DurableFile::Durability::Buffered);
}

std::optional<QByteArray> RecoveryCopies::lastStored() const
{
    return contents(m_stateFolder + QLatin1String(lastStoredName));
}

QStringList RecoveryCopies::unsavedPaths() const
{
    QStringList paths{m_stateFolder + QLatin1String(unsavedName)};
    if (QDir::isAbsolutePath(m_runtimeFolder))
        paths.append(m_runtimeFolder + QStringLiteral("/lorvane") + QLatin1String(unsavedName));
    return paths;
}

QString RecoveryCopies::keepUnsaved(const QByteArray &document, SaveError *error) const
{
    std::optional<SaveError> failure;
    for (const QString &path : unsavedPaths()) {
        failure = writePrivately(path, document, DurableFile::Durability::Flushed);
        if (!failure)
            return path;
    }
    if (error && failure)
        *error = *failure;
    return QString();
}

std::optional<RecoveryCopies::Copy> RecoveryCopies::unsaved() const
{
    std::optional<Copy> newest;
    for (const QString &path : unsavedPaths()) {
        const QDateTime written = QFileInfo(path).lastModified();
        const std::optional<QByteArray> document = contents(path);
        if (document && (!newest || written > newest->written))
            newest = Copy{path, *document, written};
    }
    return newest;
}

void RecoveryCopies::removeUnsaved() const
{
    for (const QString &path : unsavedPaths())
        QFile::remove(path);
}
