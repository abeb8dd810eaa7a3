#include "desktop/FrameExtentsWatcher.h"

#include "desktop/X11WindowManager.h"

#include <QCoreApplication>

#include <xcb/xcb.h>

FrameExtentsWatcher::FrameExtentsWatcher(QObject *parent)
    : QObject(parent), m_atom(X11WindowManager::atom("_NET_FRAME_EXTENTS"))
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

FrameExtentsWatcher::~FrameExtentsWatcher()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

bool FrameExtentsWatcher::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (m_window == 0 || m_atom == 0 || eventType != "xcb_generic_event_t")
        return false;
    // The high bit of the response type marks events sent by another client.
    const auto *event = static_cast<const xcb_property_notify_event_t *>(message);
    if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && event->window == m_window &&
        event->atom == m_atom)
        emit frameExtentsChanged();
    return false;
}
