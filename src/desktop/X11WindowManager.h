#pragma once

#include <QPoint>
#include <QtGlobal>

#include <optional>

// Requests to the X11 window manager that Qt has no API for, on Qt's own connection to the X
// server. Every function does nothing (and says so) when the program does not run on X11.
namespace X11WindowManager {

// Whether the program runs on an X server (Qt's xcb platform).
bool isAvailable();

// The atom of that name; 0 when not on X11.
quint32 atom(const char *name);

// Whether a compositing manager runs, so that windows may have clear pixels; true when not
// on X11 (Wayland compositors always composite).
bool compositingActive();

// Asks the window manager to put `window` in front of the other windows of its layer without
// activating it, as a pager would (_NET_RESTACK_WINDOW, source indication 2, Above). Window
// managers with focus-stealing prevention (mutter, kwin) refuse a plain XRaiseWindow from a
// program that is not active, but follow this request. False, and nothing sent, when the
// window manager does not list the request in _NET_SUPPORTED.
bool restackAbove(quintptr window);

// Asks the window manager to activate `window` (raise it and give it the keyboard focus), as
// a pager or a task bar would (_NET_ACTIVE_WINDOW, source indication 2): the user asked for
// the window from outside it (a launcher, a keyboard shortcut), which focus-stealing
// prevention must not refuse the way it refuses a program's own request. `timestamp` is
// the X server time of the user's action when known, else 0. False, and nothing sent, when
// the window manager does not list the request in _NET_SUPPORTED.
bool activate(quintptr window, quint32 timestamp);

// Takes moving and resizing out of the functions that the Motif hints Qt wrote on `window`
// offer (_MOTIF_WM_HINTS), so that window managers which honour them (mutter, kwin) start no
// move or resize by the title bar, the keyboard or the window menu. Qt always offers both;
// it writes the hints (and the window type, which kwin weighs against them) when the native
// window is made and when its flags change, so this is applied again after each. False when
// there are no hints to change.
bool withholdMoveAndResize(quintptr window);

// Where the top-left corner of `window` really is on the X server, in device pixels of the
// root window. Qt's own idea of the geometry goes stale when the window manager silently
// refuses a configure request (mutter does during an interactive move).
std::optional<QPoint> rootPosition(quintptr window);

} // namespace X11WindowManager
