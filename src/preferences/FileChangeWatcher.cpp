#include "preferences/FileChangeWatcher.h"

#include "preferences/DurableFile.h"

#include <QDir>
#include <QFileInfo>

FileChangeWatcher::FileChangeWatcher(const QString &filePath, QObject *parent)
    : QObject(parent), m_filePath(filePath)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(100);
    connect(&m_settle, &QTimer::timeout, this, &FileChangeWatcher::changed);
    const auto noticed = [this] {
        // A watch follows the file it was set on: after a rename over it, that is the old
        // file, gone from the folder. So the file is watched anew; the folder tells of renames
        // and of the file being made.
        m_watcher.removePath(m_filePath);
        watch();
        m_settle.start();
    };
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, noticed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, noticed);
    // Setting a watch can take a millisecond of system time. Nothing can be told before the
    // event loop runs, and an owner that never gets there (a short-lived tool, a fuzzer)
    // pays nothing. What changed before the watch was set is told too.
    QTimer::singleShot(0, this, [this] {
        m_isArmed = true;
        watch();
        m_settle.start();
    });
}

void FileChangeWatcher::watch()
{
    if (!m_isArmed)
        return;
    // A file that is a symbolic link is replaced where the link points: that folder tells of
    // the replacement, the link's own folder of the link being changed. One folder is watched
    // once, however it is named.
    const QString folder = QFileInfo(m_filePath).absolutePath();
    const QString target = DurableFile::finalTarget(m_filePath);
    QStringList paths{folder, m_filePath};
    const QString targetFolder = QFileInfo(target).dir().canonicalPath();
    if (!targetFolder.isEmpty() && targetFolder != QFileInfo(folder).canonicalFilePath())
        paths.append(targetFolder);
    for (const QString &path : std::as_const(paths)) {
        if (!m_watcher.directories().contains(path) && !m_watcher.files().contains(path) &&
            QFileInfo::exists(path))
            m_watcher.addPath(path);
    }
}
