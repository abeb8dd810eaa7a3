#pragma once

#include <QObject>
#include <QString>

#include <functional>

// Names of the notifications the program posts.
namespace Notifications {
inline const QString timerIntervalChanged = QStringLiteral("lorvane.timerIntervalChanged");
}

// Post by name, observe by name. Deliveries are queued on the main thread's event loop, so
// an observer runs after post() has returned. An observation lasts as long as its context.
class NotificationCenter : public QObject
{
    Q_OBJECT

public:
    static NotificationCenter &defaultCenter();

    void post(const QString &name);
    void observe(const QString &name, QObject *context, std::function<void()> handler);

signals:
    void posted(const QString &name);
};
