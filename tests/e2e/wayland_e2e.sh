#!/bin/bash
# End-to-end check of the platform choice in a Wayland session, under a headless Weston
# compositor with XWayland: with an X server the program runs on it (an X11 window that can
# be placed, and nothing said); without one, or when the user asks for Wayland, it runs on
# Wayland, shows its window and says once that the window cannot be pinned there.
#
# Weston places X11 windows itself, so the column's place is not checked here; that is the
# business of the tests on an X server with a window manager.
#
#   usage: wayland_e2e.sh /path/to/lorvane
# Exits 77 (skipped) without weston, Xwayland or Qt's wayland platform plugin.
set -euo pipefail

LORVANE=${1:?usage: $0 /path/to/lorvane}
NOTICE='cannot be pinned'

source "$(dirname "$0")/common.sh"
begin_e2e wayland

command -v weston >/dev/null || skip "weston is not installed"
command -v Xwayland >/dev/null || skip "Xwayland is not installed"
PLUGINS=$(qtpaths6 --plugin-dir 2>/dev/null || true)
[[ -n $PLUGINS && -e $PLUGINS/platforms/libqwayland-generic.so ]] \
    || skip "Qt's wayland platform plugin is not installed"

use_private_folders
unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY WAYLAND_SOCKET

SOCKET=lorvane-test
weston --backend=headless-backend.so --socket="$SOCKET" --width=1280 --height=800 \
    --xwayland --idle-time=0 --log="$WORK/weston.log" >/dev/null 2>&1 &
PIDS+=($!)
WESTON_PID=$!

weston_ready() {
    [[ -S $XDG_RUNTIME_DIR/$SOCKET ]] && grep -q 'xserver listening on display' "$WORK/weston.log"
}
wait_for "weston with XWayland" 20 weston_ready
X_DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$WORK/weston.log" \
    | head -n1)
[[ -n $X_DISPLAY ]] || fail "weston named no X display"
step "weston on $SOCKET, XWayland on $X_DISPLAY"

SESSION=(XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME WAYLAND_DISPLAY="$SOCKET")

# run_lorvane LOG [VAR=value...] -- [ARGUMENT...]: starts the binary; sets LORVANE_PID.
run_lorvane() {
    local log=$1
    shift
    local environment=()
    while [[ $1 != -- ]]; do
        environment+=("$1")
        shift
    done
    shift
    env "${environment[@]}" LORVANE_REPORT_FIRST_FRAME=1 "$LORVANE" "$@" >"$WORK/$log" 2>&1 &
    LORVANE_PID=$!
    PIDS+=("$LORVANE_PID")
}

first_frame_drawn() {
    grep -q '^lorvane-time first-frame' "$WORK/$1"
}

x11_window() {
    DISPLAY=$X_DISPLAY main_window
}

has_x11_window() {
    [[ -n $(x11_window) ]]
}

notices_in() {
    grep -c "$NOTICE" "$WORK/$1" || true
}

step "a Wayland session with XWayland: an X11 window, nothing said"
run_lorvane xwayland.log "${SESSION[@]}" DISPLAY="$X_DISPLAY" --
wait_for "the window on XWayland" 20 has_x11_window
[[ $(DISPLAY=$X_DISPLAY xdotool getwindowname "$(x11_window)") == Lorvane ]] \
    || fail "the X11 window is not Lorvane's"
wait_for "the first frame" 10 first_frame_drawn xwayland.log
stop_lorvane
[[ $(notices_in xwayland.log) == 0 ]] || fail "said it cannot pin the window on XWayland"

step "a Wayland session without an X server: Wayland, said once"
run_lorvane wayland.log "${SESSION[@]}" --
wait_for "the first frame on Wayland" 20 first_frame_drawn wayland.log
running "$LORVANE_PID" || fail "lorvane ended on Wayland"
stop_lorvane
[[ $(notices_in wayland.log) == 1 ]] \
    || fail "said $(notices_in wayland.log) times that the window cannot be pinned"

step "QT_QPA_PLATFORM=wayland is kept although XWayland runs"
run_lorvane chosen.log "${SESSION[@]}" DISPLAY="$X_DISPLAY" QT_QPA_PLATFORM=wayland --
wait_for "the first frame on Wayland" 20 first_frame_drawn chosen.log
has_x11_window && fail "an X11 window although Wayland was chosen"
stop_lorvane
[[ $(notices_in chosen.log) == 1 ]] || fail "did not say once that it cannot pin the window"

step "-platform wayland is kept although XWayland runs"
run_lorvane argument.log "${SESSION[@]}" DISPLAY="$X_DISPLAY" -- -platform wayland
wait_for "the first frame on Wayland" 20 first_frame_drawn argument.log
has_x11_window && fail "an X11 window although Wayland was chosen"
stop_lorvane
[[ $(notices_in argument.log) == 1 ]] || fail "did not say once that it cannot pin the window"

running "$WESTON_PID" || fail "weston ended"
echo "PASS"
