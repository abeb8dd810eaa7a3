#pragma once

#include <QtPlugin>

class ContentView;
class QObject;
class QWidget;

// Sync with a task server lives in a module of its own (lorvane-sync.so), loaded only once
// the user turns it on or has it on: the network, the secret store and iCalendar stay out
// of every other start.
class SyncPlugin
{
public:
    virtual ~SyncPlugin() = default;
    // The running service for this window's list; it has a slot openDialog().
    virtual QObject *start(ContentView &content, QWidget *window, QObject *parent) = 0;
};

#define SyncPlugin_iid "io.github.lorvane.Lorvane.SyncPlugin/1"
Q_DECLARE_INTERFACE(SyncPlugin, SyncPlugin_iid)
