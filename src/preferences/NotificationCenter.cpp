#include "preferences/NotificationCenter.h"

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::post(const QString &name)
{
    emit posted(name);
}

void NotificationCenter::observe(const QString &name, QObject *context,
                                 std::function<void()> handler)
{
    // Queued: the handler runs from the event loop of the context's thread (the main thread
    // for every observer in the program), never inside post(). Qt drops the connection when
    // the context is destroyed.
    connect(
        this, &NotificationCenter::posted, context ? context : this,
        [name, handler = std::move(handler)](const QString &postedName) {
            if (postedName == name)
                handler();
        },
        Qt::QueuedConnection);
}
