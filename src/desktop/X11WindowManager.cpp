#include "desktop/X11WindowManager.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QHash>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// The Motif hints as window managers read them: five 32-bit words.
struct MotifHints {
    quint32 flags;
    quint32 functions;
    quint32 decorations;
    qint32 inputMode;
    quint32 status;
};
constexpr quint32 motifHasFunctions = 1 << 0;
constexpr quint32 motifHasDecorations = 1 << 1;
constexpr quint32 motifFunctionAll = 1 << 0;
constexpr quint32 motifFunctionResize = 1 << 1;
constexpr quint32 motifFunctionMove = 1 << 2;
constexpr quint32 motifDecorationResizeHandles = 1 << 2;

// A pager's request, in _NET_RESTACK_WINDOW's source indication.
constexpr quint32 sourcePager = 2;

struct FreeDeleter {
    void operator()(void *reply) const { std::free(reply); }
};
template <typename Reply> using ReplyPointer = std::unique_ptr<Reply, FreeDeleter>;

xcb_connection_t *connection()
{
    const auto *x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Atoms are the X server's for its lifetime, so each name is asked for once.
xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    static QHash<QByteArray, xcb_atom_t> known;
    const QByteArray key(name);
    if (const auto found = known.constFind(key); found != known.cend())
        return *found;
    const ReplyPointer<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, false, quint16(key.size()), name), nullptr));
    if (!reply)
        return XCB_ATOM_NONE;
    known.insert(key, reply->atom);
    return reply->atom;
}

xcb_window_t rootOf(xcb_connection_t *connection, xcb_window_t window)
{
    const ReplyPointer<xcb_get_geometry_reply_t> reply(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    return reply ? reply->root : xcb_window_t(XCB_WINDOW_NONE);
}

bool listsAtom(xcb_connection_t *connection, xcb_window_t root, xcb_atom_t wanted)
{
    const xcb_atom_t supported = internAtom(connection, "_NET_SUPPORTED");
    constexpr quint32 maxAtoms = 4096;
    const ReplyPointer<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, false, root, supported, XCB_ATOM_ATOM, 0, maxAtoms), nullptr));
    if (!reply || reply->format != 32)
        return false;
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(xcb_atom_t));
    return std::find(atoms, atoms + count, wanted) != atoms + count;
}

} // namespace

namespace X11WindowManager {

bool isAvailable()
{
    return connection() != nullptr;
}

quint32 atom(const char *name)
{
    xcb_connection_t *x = connection();
    return x ? internAtom(x, name) : 0;
}

bool compositingActive()
{
    xcb_connection_t *x = connection();
    if (!x)
        return true;
    // A compositing manager owns the selection _NET_WM_CM_S<n> of the screen it composites;
    // X servers with more than one screen are rare enough to ask of any.
    const int screens = xcb_setup_roots_length(xcb_get_setup(x));
    for (int screen = 0; screen < screens; ++screen) {
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
        const xcb_atom_t selection = internAtom(x, name.constData());
        const ReplyPointer<xcb_get_selection_owner_reply_t> reply(
            xcb_get_selection_owner_reply(x, xcb_get_selection_owner(x, selection), nullptr));
        if (reply && reply->owner != XCB_WINDOW_NONE)
            return true;
    }
    return false;
}

namespace {

// Sends the window manager a request about `window` as a pager would (source indication 2,
// then `first` and `second`), when it lists the request in _NET_SUPPORTED.
bool sendPagerRequest(quintptr window, const char *request, quint32 first, quint32 second)
{
    xcb_connection_t *x = connection();
    if (!x)
        return false;
    const xcb_window_t root = rootOf(x, xcb_window_t(window));
    const xcb_atom_t type = internAtom(x, request);
    if (root == XCB_WINDOW_NONE || type == XCB_ATOM_NONE || !listsAtom(x, root, type))
        return false;

    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = xcb_window_t(window);
    message.type = type;
    message.data.data32[0] = sourcePager;
    message.data.data32[1] = first;
    message.data.data32[2] = second;
    xcb_send_event(x, false, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(x);
    return true;
}

} // namespace

bool restackAbove(quintptr window)
{
    // No sibling: above every window of the layer.
    return sendPagerRequest(window, "_NET_RESTACK_WINDOW", XCB_WINDOW_NONE, XCB_STACK_MODE_ABOVE);
}

bool activate(quintptr window, quint32 timestamp)
{
    // The requester's own active window: none.
    return sendPagerRequest(window, "_NET_ACTIVE_WINDOW", timestamp, XCB_WINDOW_NONE);
}

bool withholdMoveAndResize(quintptr window)
{
    xcb_connection_t *x = connection();
    if (!x)
        return false;
    const xcb_atom_t hintsAtom = internAtom(x, "_MOTIF_WM_HINTS");
    constexpr quint32 words = sizeof(MotifHints) / 4;
    const ReplyPointer<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        x, xcb_get_property(x, false, xcb_window_t(window), hintsAtom, hintsAtom, 0, words),
        nullptr));
    if (!reply || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < 4 * int(words))
        return false;
    MotifHints hints;
    std::memcpy(&hints, xcb_get_property_value(reply.get()), sizeof hints);

    // "All functions" inverts the meaning of the other bits; Qt never writes it for a window
    // with a title bar, and such hints are left alone rather than guessed at.
    if (!(hints.flags & motifHasFunctions) || (hints.functions & motifFunctionAll))
        return false;
    const MotifHints before = hints;
    hints.functions &= ~(motifFunctionMove | motifFunctionResize);
    if (hints.flags & motifHasDecorations)
        hints.decorations &= ~motifDecorationResizeHandles;
    if (std::memcmp(&hints, &before, sizeof hints) != 0) {
        xcb_change_property(x, XCB_PROP_MODE_REPLACE, xcb_window_t(window), hintsAtom, hintsAtom,
                            32, words, &hints);
    }
    // kwin follows the Motif functions only for windows that carry no _NET_WM_WINDOW_TYPE.
    // A window without one and without WM_TRANSIENT_FOR is a normal window to every window
    // manager, exactly what the "normal" type Qt writes says.
    xcb_delete_property(x, xcb_window_t(window), internAtom(x, "_NET_WM_WINDOW_TYPE"));
    xcb_flush(x);
    return true;
}

std::optional<QPoint> rootPosition(quintptr window)
{
    xcb_connection_t *x = connection();
    if (!x)
        return std::nullopt;
    const xcb_window_t root = rootOf(x, xcb_window_t(window));
    if (root == XCB_WINDOW_NONE)
        return std::nullopt;
    const ReplyPointer<xcb_translate_coordinates_reply_t> reply(xcb_translate_coordinates_reply(
        x, xcb_translate_coordinates(x, xcb_window_t(window), root, 0, 0), nullptr));
    if (!reply)
        return std::nullopt;
    return QPoint(reply->dst_x, reply->dst_y);
}

} // namespace X11WindowManager
