#pragma once

#include "preferences/SaveError.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <optional>

// The XDG autostart entry that has the session start Lorvane at login:
// $XDG_CONFIG_HOME/autostart/io.github.lorvane.Lorvane.desktop. It holds the installed desktop
// entry's fields with Exec naming `program`. Everything is read from the disk at each call,
// since the user may change or remove the file at any time.
class AutostartEntry
{
public:
    explicit AutostartEntry(const QString &program = QCoreApplication::applicationFilePath());

    // Under $XDG_CONFIG_HOME when that is an absolute path, else under ~/.config.
    static QString path();

    // The file is there and neither hidden (Hidden=true) nor switched off
    // (X-GNOME-Autostart-enabled=false).
    bool isEnabled() const;

    // Writes the entry durably (its missing folders 0700), or removes it. Returns why that
    // failed, or nothing.
    std::optional<SaveError> setEnabled(bool enabled) const;

private:
    QByteArray contents() const;

    QString m_program;
};
