#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

// Reports X11 property changes on one window. Qt turns a window manager's change of the
// decoration sizes (_NET_FRAME_EXTENTS) into no event of its own, and the window only learns
// about it from the property change. Does nothing on other platforms.
class X11PropertyWatcher : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit X11PropertyWatcher(QObject *parent = nullptr);
    ~X11PropertyWatcher() override;

    void setWindow(quintptr windowId) { m_window = windowId; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    void propertyChanged();

private:
    quintptr m_window = 0;
};
