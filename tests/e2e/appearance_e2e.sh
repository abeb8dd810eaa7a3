#!/bin/bash
# End-to-end check that the window is light or dark, and animates or not, as the desktop's
# XDG portal says, at start and live, with a stand-in portal on a private session bus.
#   usage: appearance_e2e.sh /path/to/lorvane-testing
# With LORVANE_SCREENSHOT_DIR set, the last grab of each appearance is kept there.
set -euo pipefail

LORVANE=${1:?usage: $0 /path/to/lorvane-testing}
PYTHON=/usr/bin/python3 # Debian's, for which python3-dbus and python3-gi are installed
source "$(dirname "$0")/common.sh"
begin_e2e appearance
SHOTS=${LORVANE_SCREENSHOT_DIR:-$WORK}
mkdir -p "$SHOTS"
for tool in dbus-daemon dbus-send; do command -v $tool >/dev/null || skip "$tool is missing"; done
"$PYTHON" -c 'import dbus, gi' 2>/dev/null || skip "python3-dbus or python3-gi is missing"

# start_portal SCHEME [ANIMATIONS]: Read answers SCHEME in two nested variants, as
# xdg-desktop-portal does, and GNOME's enable-animations when given (else it has no such
# key); org.lorvane.TestPortal.Set changes the scheme and announces it in one, as
# SettingChanged is, and SetPlasmaSpeed announces Plasma's animation speed.
start_portal() {
    "$PYTHON" - "$@" >"$WORK/portal.log" 2>&1 <<'EOF' &
import sys, dbus, dbus.service, dbus.mainloop.glib
from gi.repository import GLib
SETTINGS, GROUP, KEY = "org.freedesktop.portal.Settings", "org.freedesktop.appearance", "color-scheme"
class Portal(dbus.service.Object):
    @dbus.service.method(SETTINGS, in_signature="ss", out_signature="v")
    def Read(self, group, key):
        if key == KEY:
            return dbus.UInt32(self.scheme, variant_level=2)
        if key == "enable-animations" and len(sys.argv) > 2:
            return dbus.Boolean(sys.argv[2] == "on", variant_level=2)
        raise dbus.exceptions.DBusException("no such key",
                                            name="org.freedesktop.portal.Error.NotFound")
    @dbus.service.signal(SETTINGS, signature="ssv")
    def SettingChanged(self, group, key, value): pass
    @dbus.service.method("org.lorvane.TestPortal", in_signature="u")
    def Set(self, scheme):
        self.scheme = scheme
        self.SettingChanged(GROUP, KEY, dbus.UInt32(scheme, variant_level=1))
    @dbus.service.method("org.lorvane.TestPortal", in_signature="d")
    def SetPlasmaSpeed(self, factor):
        self.SettingChanged("org.kde.kdeglobals.KDE", "AnimationDurationFactor",
                            dbus.Double(factor, variant_level=1))
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
portal = Portal(dbus.SessionBus(), "/org/freedesktop/portal/desktop")
portal.scheme = int(sys.argv[1])
name = dbus.service.BusName("org.freedesktop.portal.Desktop", dbus.SessionBus())
print("ready", flush=True)
GLib.MainLoop().run()
EOF
    PORTAL_PID=$!
    PIDS+=($!)
    wait_for "the stand-in portal" 10 grep -qs ready "$WORK/portal.log"
}

set_scheme() {
    dbus-send --print-reply --dest=org.freedesktop.portal.Desktop \
        /org/freedesktop/portal/desktop org.lorvane.TestPortal.Set "uint32:$1" >/dev/null
}

# level NAME: grabs the window as NAME.png (to look at) and NAME.ppm (to read), prints the
# grey level of a background pixel near the left edge, halfway down.
level() {
    "$PYTHON" - "$WORK/hooks" "$SHOTS/$1" <<'EOF'
import re, socket, sys
client = socket.socket(socket.AF_UNIX); client.settimeout(10); client.connect(sys.argv[1])
answers = client.makefile("rb")
for path in (sys.argv[2] + ".png", sys.argv[2] + ".ppm"):
    client.sendall(b"grab " + path.encode() + b"\n")
    assert answers.readline().strip() == b"ok", "could not grab the window"
data = open(sys.argv[2] + ".ppm", "rb").read()
header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+\d+\s", data)
width, height = int(header[1]), int(header[2])
print(data[header.end() + (height // 2 * width + 4) * 3])
EOF
}

# expect dark|light: waits for the background of white level 0.07 (18) or 0.98 (250), ± 3.
is_level() {
    local grey
    grey=$(level "$1") && ((grey >= $2 - 3 && grey <= $2 + 3))
}
expect() {
    wait_for "a $1 window" 10 is_level "$1" "$([[ $1 == dark ]] && echo 18 || echo 250)"
}
start_x 1280 800
start_session_bus

step "the portal prefers dark at start"
start_portal 1
start_lorvane
expect dark
step "the desktop switches to light, to dark, to no preference (the palette's own: light)"
set_scheme 2; expect light
set_scheme 1; expect dark
set_scheme 0; expect light
animations_are() { [[ $(hook animations) == "$1" ]]; }
animations_are on || fail "animations off without a desktop asking"
stop_lorvane

step "GNOME's reduce-animation choice at start, then Plasma's speed live"
kill "$PORTAL_PID"; wait "$PORTAL_PID" 2>/dev/null || true
start_portal 1 off
start_lorvane
expect dark
wait_for "animations off as GNOME says" 10 animations_are off
dbus-send --print-reply --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
    org.lorvane.TestPortal.SetPlasmaSpeed "double:0" >/dev/null
animations_are off || fail "Plasma's speed 0 turned animations on"
stop_lorvane
kill "$PORTAL_PID"; wait "$PORTAL_PID" 2>/dev/null || true
start_portal 2 on
start_lorvane
expect light
animations_are on || fail "animations off with GNOME's on"
dbus-send --print-reply --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
    org.lorvane.TestPortal.SetPlasmaSpeed "double:0" >/dev/null
wait_for "animations off at Plasma's speed 0" 10 animations_are off
dbus-send --print-reply --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
    org.lorvane.TestPortal.SetPlasmaSpeed "double:1" >/dev/null
wait_for "animations back at Plasma's speed 1" 10 animations_are on
stop_lorvane
echo "PASS"
