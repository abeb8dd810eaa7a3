#pragma once

#include <QObject>
#include <QPointer>

class ContentView;
class QWidget;

// Loads the sync module when sync is on (a sync state file exists) once the first frame is
// shown, or when the settings line asks for it; until then nothing of sync is in the process.
class SyncLoader : public QObject
{
    Q_OBJECT

public:
    SyncLoader(ContentView &content, QWidget *window, QObject *parent = nullptr);

    // Starts the service if the user has sync on.
    void startIfOn();
    // Starts the service if needed and opens its dialog.
    void openDialog();

private:
    bool load();

    ContentView &m_content;
    QWidget *m_window;
    QPointer<QObject> m_service;
    bool m_tried = false;
};
