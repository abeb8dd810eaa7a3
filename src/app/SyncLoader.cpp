#include "app/SyncLoader.h"

#include "app/SyncPlugin.h"
#include "preferences/PreferencesFolder.h"
#include "views/ContentView.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPluginLoader>

#include <cstdio>

namespace {

// The state file the sync module keeps while sync is on (SyncState::defaultPath(), which
// lives in the module).
QString stateFile()
{
    return PreferencesFolder::stateFolder() + QStringLiteral("/sync.json");
}

// Beside the program in a build, else where it is installed, relative to the program.
QStringList moduleCandidates()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    return {programDir + QStringLiteral("/lorvane-sync.so"),
            programDir + QStringLiteral("/" LORVANE_MODULE_DIR "/lorvane-sync.so")};
}

} // namespace

SyncLoader::SyncLoader(ContentView &content, QWidget *window, QObject *parent)
    : QObject(parent), m_content(content), m_window(window)
{
}

void SyncLoader::startIfOn()
{
    if (QFileInfo::exists(stateFile()))
        load();
}

void SyncLoader::openDialog()
{
    if (load())
        QMetaObject::invokeMethod(m_service, "openDialog");
}

bool SyncLoader::load()
{
    if (m_service)
        return true;
    if (m_tried)
        return false;
    m_tried = true;
    QString why;
    for (const QString &path : moduleCandidates()) {
        if (!QFileInfo::exists(path))
            continue;
        QPluginLoader loader(path);
        if (auto *plugin = qobject_cast<SyncPlugin *>(loader.instance())) {
            m_service = plugin->start(m_content, m_window, this);
            return true;
        }
        why = loader.errorString();
    }
    std::fprintf(stderr, "lorvane: the sync module could not be loaded%s%s\n",
                 why.isEmpty() ? "" : ": ", qPrintable(why));
    m_content.setSyncStatus(QStringLiteral("La sincronización no está instalada"));
    return false;
}
