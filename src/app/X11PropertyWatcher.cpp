#include "app/X11PropertyWatcher.h"

#include <QCoreApplication>

#include <cstdint>

namespace {

// The PropertyNotify event as the X11 protocol lays it out (xcb_property_notify_event_t);
// spelled out here so that the build needs no XCB headers.
struct PropertyNotifyEvent {
    std::uint8_t responseType;
    std::uint8_t pad0;
    std::uint16_t sequence;
    std::uint32_t window;
    std::uint32_t atom;
    std::uint32_t time;
    std::uint8_t state;
    std::uint8_t pad1[3];
};
constexpr std::uint8_t propertyNotify = 28;
// The high bit marks events sent by another client (SendEvent).
constexpr std::uint8_t sentEventMask = 0x80;

} // namespace

X11PropertyWatcher::X11PropertyWatcher(QObject *parent) : QObject(parent)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11PropertyWatcher::~X11PropertyWatcher()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

bool X11PropertyWatcher::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (m_window == 0 || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const PropertyNotifyEvent *>(message);
    if ((event->responseType & ~sentEventMask) == propertyNotify && event->window == m_window)
        emit propertyChanged();
    return false;
}
