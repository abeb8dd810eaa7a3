#include "preferences/AutostartEntry.h"

#include "preferences/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The installed desktop entry, compiled in from packaging/io.github.lorvane.Lorvane.desktop.
constexpr auto installedEntry = ":/lorvane/io.github.lorvane.Lorvane.desktop";

// The value `key` last has in the [Desktop Entry] group; nothing when it has none.
std::optional<QByteArray> mainGroupValue(const QByteArray &bytes, const QByteArray &key)
{
    std::optional<QByteArray> value;
    bool inMainGroup = false;
    for (const QByteArray &raw : bytes.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (inMainGroup && equals > 0 && line.left(equals).trimmed() == key)
            value = line.mid(equals + 1).trimmed();
    }
    return value;
}

// The Exec rules: an argument holding a reserved character goes in double quotes, inside
// which `"`, `` ` ``, `$` and `\` take a backslash; `%` is doubled everywhere. The general
// escapes of string values (backslash, newline, tab, carriage return) apply on top.
QString execValue(const QString &program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    static const QString escapedInQuotes = QStringLiteral("\"`$\\");
    const bool quoted =
        std::any_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); });
    QString argument;
    for (const QChar c : program) {
        if (quoted && escapedInQuotes.contains(c))
            argument += u'\\';
        argument += c;
        if (c == u'%')
            argument += u'%';
    }
    if (quoted)
        argument = u'"' + argument + u'"';

    QString value;
    for (const QChar c : argument) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

// Makes the missing folders of `folder` 0700, as the base directory rules ask. A failure
// shows when the file is written there.
void makeMissingFolders(const QString &folder)
{
    if (QFileInfo::exists(folder))
        return;
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent != folder)
        makeMissingFolders(parent);
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
}

} // namespace

AutostartEntry::AutostartEntry(const QString &program) : m_program(program) {}

QString AutostartEntry::path()
{
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(configHome))
        configHome = QDir::homePath() + QStringLiteral("/.config");
    return configHome + QStringLiteral("/autostart/io.github.lorvane.Lorvane.desktop");
}

bool AutostartEntry::isEnabled() const
{
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    const QByteArray hidden = mainGroupValue(bytes, "Hidden").value_or("false");
    const QByteArray enabled = mainGroupValue(bytes, "X-GNOME-Autostart-enabled").value_or("true");
    return hidden != "true" && hidden != "1" && enabled != "false" && enabled != "0";
}

std::optional<SaveError> AutostartEntry::setEnabled(bool enabled) const
{
    const QString file = path();
    if (!enabled) {
        if (::unlink(QFile::encodeName(file).constData()) != 0 && errno != ENOENT)
            return SaveError{QStringLiteral("remove"), errno, file};
        return std::nullopt;
    }
    makeMissingFolders(QFileInfo(file).absolutePath());
    return DurableFile::replace(file, contents(), DurableFile::Durability::Flushed);
}

QByteArray AutostartEntry::contents() const
{
    QFile installed(QString::fromLatin1(installedEntry));
    installed.open(QIODevice::ReadOnly);
    QList<QByteArray> lines = installed.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QByteArray bytes;
    for (const QByteArray &line : std::as_const(lines)) {
        if (line.startsWith("Exec=")) {
            bytes += "Exec=" + execValue(m_program).toUtf8() + '\n';
            bytes += "X-GNOME-Autostart-enabled=true\n";
        } else {
            bytes += line + '\n';
        }
    }
    return bytes;
}
