#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

// Reports when the window manager changes the decoration sizes of one X11 window
// (_NET_FRAME_EXTENTS). Qt turns that into no event of its own. Does nothing on other
// platforms.
class FrameExtentsWatcher : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit FrameExtentsWatcher(QObject *parent = nullptr);
    ~FrameExtentsWatcher() override;

    void setWindow(quintptr windowId) { m_window = windowId; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    void frameExtentsChanged();

private:
    quintptr m_window = 0;
    quint32 m_atom = 0;
};
