// The entry point of lorvane-sync.so.
#include "app/SyncPlugin.h"
#include "syncmodule/SyncService.h"

#include <QObject>

class SyncModule : public QObject, public SyncPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SyncPlugin_iid)
    Q_INTERFACES(SyncPlugin)

public:
    QObject *start(ContentView &content, QWidget *window, QObject *parent) override
    {
        return new SyncService(content, window, parent);
    }
};

#include "SyncModule.moc"
