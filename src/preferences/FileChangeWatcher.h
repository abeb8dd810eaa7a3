#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

// Tells when a file may have changed on disk: written in place, replaced by a rename (a sync
// tool's or an editor's atomic save), or made anew; where the file is a symbolic link, also
// when what it points to is replaced, or the link itself changes. A change of its folder
// (made writable again, say) is told too. A burst of changes is told once, shortly
// after it ends, so that a program that writes in steps is read when it is done.
class FileChangeWatcher : public QObject
{
    Q_OBJECT

public:
    explicit FileChangeWatcher(const QString &filePath, QObject *parent = nullptr);

    // Watches the file, its folder and the folder of what it points to, where they exist and
    // are not watched yet (they may have been made since).
    void watch();

signals:
    void changed();

private:
    QString m_filePath;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    bool m_isArmed = false;
};
