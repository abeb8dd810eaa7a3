#!/bin/bash
# Capture from anywhere, under a real window manager: a second launch while another window is
# active leaves the column active with the input line focused (read through AT-SPI), and
# `lorvane --add` stores a task through the running copy and without one.
#   usage: capture_e2e.sh openbox|mutter|kwin /path/to/lorvane-testing
set -euo pipefail

WM=${1:?usage: $0 openbox|mutter|kwin /path/to/lorvane-testing}
LORVANE=${2:?usage: $0 openbox|mutter|kwin /path/to/lorvane-testing}
PYTHON=/usr/bin/python3 # Debian's, for which python3-pyatspi is installed
source "$(dirname "$0")/common.sh"
begin_e2e "capture-$WM"
[[ -x /usr/libexec/at-spi-bus-launcher ]] || skip "at-spi2-core is missing"
"$PYTHON" -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is missing"
case $WM in
openbox) START=(openbox --sm-disable) ;;
mutter) START=(mutter --x11 --replace --sm-disable) ;;
kwin) START=(env KWIN_COMPOSE=N kwin_x11 --replace) ;;
*) fail "unknown window manager $WM" ;;
esac
command -v "${START[0]}" >/dev/null || skip "${START[0]} is missing"
start_xvfb 1280 800
start_session_bus
start_wm "${START[@]}" || skip "$WM does not start here"
CONF=$XDG_CONFIG_HOME/lorvane/lorvane.conf
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
stored() { grep -qF "$1" "$CONF"; }
shows() { [[ $(hook shown) == "$1" ]]; }

# focus_is ROLE NAME: what has the keyboard focus in Lorvane, as a screen reader is told.
focus_is() {
    "$PYTHON" - "$1" "$2" <<'EOF_PY'
from atspi import *
sys.exit(0 if focused() == (sys.argv[1], sys.argv[2]) else 1)
EOF_PY
}
lorvane_is_active() { [[ $(xdotool getactivewindow 2>/dev/null) == "$(window_of "$LORVANE_PID")" ]]; }
other_is_active() { [[ $(xdotool getactivewindow 2>/dev/null) == "$OTHER_WINDOW" ]]; }

step "another program's window is active"
start_lorvane
xlogo >"$WORK/xlogo.log" 2>&1 &
PIDS+=($!)
wait_for "the other window" 20 bash -c "xdotool search --onlyvisible --class xlogo >/dev/null"
OTHER_WINDOW=$(xdotool search --onlyvisible --class xlogo | head -n1)
xdotool windowactivate "$OTHER_WINDOW" 2>/dev/null || true
wait_for "the other window active" 10 other_is_active

step "a second launch: the column active, the input line focused"
"$LORVANE" >>"$WORK/lorvane.log" 2>&1 &
expect_exit $! 0 "the second launch"
wait_for "Lorvane active" 10 lorvane_is_active
wait_for "the input line focused" 10 focus_is text "Añadir tarea"
xdotool type --delay 20 'Capturada #rapida'
xdotool key Return
wait_for "the typed task stored" 10 stored 'Capturada #rapida'

step "--add through the running copy: trimmed, tagged, shown, nothing printed"
"$LORVANE" --add $'  Por la l\xc3\xadnea  #cli\t' >"$WORK/add.out" 2>&1 || fail "--add: exit $?"
[[ ! -s $WORK/add.out ]] || fail "--add printed: $(cat "$WORK/add.out")"
wait_for "the added task shown" 10 shows $'Capturada #rapida|Por la l\xc3\xadnea  #cli'
stored '\"cli\"' || fail "the tag of the added task is not stored"

step "--add of a blank text: one line on standard error, a failure, nothing added"
status=0
"$LORVANE" --add $' \t ' 2>"$WORK/blank.err" || status=$?
((status != 0)) || fail "a blank --add succeeded"
[[ $(wc -l <"$WORK/blank.err") == 1 ]] || fail "not one line: $(cat "$WORK/blank.err")"
shows $'Capturada #rapida|Por la l\xc3\xadnea  #cli' || fail "a blank --add changed the list"

step "--add with no running copy: stored straight away, no window, then shown at start"
stop_lorvane
"$LORVANE" --add 'Sin ventana #cli' >"$WORK/add.out" 2>&1 || fail "--add alone: exit $?"
[[ ! -s $WORK/add.out ]] || fail "--add alone printed: $(cat "$WORK/add.out")"
has_no_main_window || fail "--add alone showed a window"
start_lorvane
shows $'Capturada #rapida|Por la l\xc3\xadnea  #cli|Sin ventana #cli' ||
    fail "the list after a restart: $(hook shown)"
stop_lorvane
echo "PASS"
