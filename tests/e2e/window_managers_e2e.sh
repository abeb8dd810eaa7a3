#!/bin/bash
# The column under real window managers: pinned in the work area's right edge; the reminder
# puts it in front of the active program while that program keeps the keyboard; a drag by
# the title bar never moves it (or, where the window manager moves it anyway, it is back at
# once).
#   usage: window_managers_e2e.sh openbox|mutter|kwin|mutter-wayland /path/to/lorvane-testing
set -euo pipefail

WM=${1:?usage: $0 window-manager /path/to/lorvane-testing}
LORVANE=${2:?usage: $0 window-manager /path/to/lorvane-testing}
source "$(dirname "$0")/common.sh"
begin_e2e "wm-$WM"

#      window manager   how it starts                                     a title-bar drag
case $WM in
openbox)        START=(openbox --sm-disable);                             DRAG=snaps-back ;;
mutter)         START=(mutter --x11 --replace --sm-disable);              DRAG=refused ;;
kwin)           START=(env KWIN_COMPOSE=N kwin_x11 --replace);            DRAG=refused ;;
mutter-wayland) START=(mutter --wayland --headless --virtual-monitor 1280x800
                       --wayland-display lorvane-e2e);                    DRAG=untested ;;
*) fail "unknown window manager $WM" ;;
esac
PROGRAM=${START[0]}
[[ $PROGRAM == env ]] && PROGRAM=${START[2]}
command -v "$PROGRAM" >/dev/null || skip "$PROGRAM is not installed (make deps installs it)"
command -v xlogo >/dev/null || skip "xlogo is not installed (make deps installs x11-apps)"

start_session_bus
if [[ $WM == mutter-wayland ]]; then
    # GNOME's Wayland session: X11 programs run on the XWayland server that mutter starts,
    # and Lorvane chooses it by itself.
    unset DISPLAY QT_QPA_PLATFORM
    "${START[@]}" >"$WORK/wm.log" 2>&1 &
    PIDS+=($!)
    xwayland_display() { sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$WORK/wm.log"; }
    for _ in $(seq 600); do [[ -n $(xwayland_display) ]] && break; sleep 0.05; done
    [[ -n $(xwayland_display) ]] || skip "mutter does not start a Wayland session here"
    export DISPLAY=$(xwayland_display) WAYLAND_DISPLAY=lorvane-e2e XDG_SESSION_TYPE=wayland
    export XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n1)
    wait_for "XWayland to be managed" 30 wm_running
else
    start_xvfb 1280 800
    start_wm "${START[@]}" || skip "$PROGRAM cannot start here"
fi
sleep 1 # lets the window manager publish its work area

hex() { printf '0x%x' "$1"; }
stacking() { xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g'; }
active() { xprop -root _NET_ACTIVE_WINDOW | sed 's/.*# //; s/,.*//'; }
# above A B: window A is above window B in the window manager's stacking order.
above() {
    local order
    order=$(stacking)
    [[ " $order " == *" $(hex "$2") "*"$(hex "$1") "* ]]
}
in_column() {
    local area wx wy ww wh
    # The whole screen where the window manager publishes no work area (kwin without panels).
    area=$(xprop -root _NET_WORKAREA 2>/dev/null | sed -n 's/.*= *//p' | tr -d ,)
    area=${area:-0 0 1280 800}
    read -r wx wy ww wh _ <<<"$area"
    [[ $(outer_geometry "$WINDOW") == "$((wx + ww - 320)) $wy 320 $wh" ]]
}

step "$WM: the column is pinned"
start_lorvane
WINDOW=$(window_of "$LORVANE_PID")
[[ $(hook platform) == xcb ]] || fail "not on X11 but $(hook platform)"
wait_for "the column in the work area's right edge" 10 in_column
COLUMN=$(outer_geometry "$WINDOW")

step "$WM: another program is active and in front"
xlogo -geometry 1280x800+0+0 >"$WORK/xlogo.log" 2>&1 &
PIDS+=($!)
wait_for "xlogo" 20 bash -c 'xdotool search --onlyvisible --classname xlogo >/dev/null'
OTHER=$(xdotool search --onlyvisible --classname xlogo | head -n1)
xdotool mousemove 200 400 click 1
wait_for "xlogo active and above Lorvane" 10 \
    bash -c "[[ \$(xprop -root _NET_ACTIVE_WINDOW) == *$(hex "$OTHER")* ]]"
wait_for "xlogo above Lorvane" 10 above "$OTHER" "$WINDOW"

step "$WM: the reminder puts Lorvane in front and leaves the keyboard to the other program"
[[ $(hook fire-reminder) == ok ]] || fail "the reminder hook did not answer"
wait_for "Lorvane above xlogo (stacking: $(stacking))" 10 above "$WINDOW" "$OTHER"
[[ $(active) == "$(hex "$OTHER")" ]] || fail "the reminder took the focus: $(active) is active"

if [[ $DRAG != untested ]]; then
    step "$WM: a drag by the title bar ($DRAG)"
    read -r X Y _ _ <<<"$COLUMN"
    TOP=$(xprop -id "$WINDOW" _NET_FRAME_EXTENTS | sed 's/.*= *//; s/,//g' | cut -d' ' -f3)
    ((TOP > 0)) || fail "$WM drew no title bar"
    xdotool mousemove $((X + 100)) $((Y + TOP / 2)) mousedown 1
    for i in $(seq 1 15); do
        xdotool mousemove $((X + 100 - 20 * i)) $((Y + TOP / 2 + 8 * i))
        sleep 0.05
        if [[ $DRAG == refused && $(outer_geometry "$WINDOW") != "$COLUMN" ]]; then
            xdotool mouseup 1
            fail "the column followed the drag to $(outer_geometry "$WINDOW")"
        fi
    done
    xdotool mouseup 1
    wait_for "the column back in place" 3 in_column
fi

running "$LORVANE_PID" || fail "lorvane ended"
stop_lorvane

if [[ $WM == mutter-wayland ]]; then
    step "$WM: without an X server it runs on Wayland and says once that it cannot pin"
    env -u DISPLAY LORVANE_TEST_SOCKET="$WORK/hooks" "$LORVANE" >"$WORK/wayland.log" 2>&1 &
    LORVANE_PID=$!
    PIDS+=("$LORVANE_PID")
    on_wayland() { [[ $(hook platform 2>/dev/null) == wayland ]]; }
    wait_for "Lorvane on Wayland" 20 on_wayland
    [[ $(grep -c 'cannot be pinned' "$WORK/wayland.log") == 1 ]] || fail "not said once"
    stop_lorvane
fi
echo "PASS"
