#!/bin/bash
# The real lorvane binary on an X server with openbox: its window, a task typed in and kept,
# close and reopen, and the ways out. (One process per user: tst_singleinstance.)
#   usage: shell_e2e.sh /path/to/lorvane-testing
set -euo pipefail

LORVANE=${1:?usage: $0 /path/to/lorvane}
source "$(dirname "$0")/common.sh"
begin_e2e shell
start_x 1280 800
start_session_bus # a second launch finds the first on it
CONF=$XDG_CONFIG_HOME/lorvane/lorvane.conf

COLUMN=""
in_column() { [[ $(outer_geometry "$(main_window)") == "$COLUMN" ]]; }
stored_task() { grep -qF 'Comprar pan #casa' "$CONF" && grep -qF '\"casa\"' "$CONF"; }

step "one window titled Lorvane, not kept above others, not resizable"
start_lorvane
WINDOW=$(main_window)
read -r WX WY WW WH _ <<<"$(xprop -root _NET_WORKAREA | sed 's/.*= *//; s/,//g')"
COLUMN="$((WX + WW - 320)) $WY 320 $WH"
wait_for "the column" 10 in_column
[[ $(xdotool getwindowname "$WINDOW") == Lorvane ]] || fail "the title is not Lorvane"
xprop -id "$WINDOW" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE && fail "kept above others"
xprop -id "$WINDOW" _NET_WM_ALLOWED_ACTIONS | grep -qE 'MAXIMIZE|RESIZE' && fail "resizable"

step "moved or resized by another program, it goes back"
xdotool windowmove "$WINDOW" 100 100
wait_for "the column after a move" 10 in_column
xdotool windowsize "$WINDOW" 600 300
wait_for "the column after a resize" 10 in_column

step "a task typed with a tag is stored"
xdotool windowactivate --sync "$WINDOW"
read -r X Y W H <<<"$(outer_geometry "$WINDOW")"
xdotool mousemove $((X + W / 3)) $((Y + H - 36)) click 1
xdotool type --delay 20 'Comprar pan #casa'
xdotool key Return
wait_for "the task in $CONF" 10 stored_task

step "closing keeps the process; a second launch brings the window back, active, and exits"
xdotool key alt+F4
wait_for "the window to close" 10 has_no_main_window
running "$LORVANE_PID" || fail "closing the window ended the process"
"$LORVANE" >>"$WORK/lorvane.log" 2>&1 &
expect_exit $! 0 "the second launch"
wait_for "the window to come back" 10 has_main_window
wait_for "the column" 10 in_column
[[ $(xdotool getactivewindow) == "$(main_window)" ]] || fail "the reopened window is not active"
"$LORVANE" >>"$WORK/lorvane.log" 2>&1 &
expect_exit $! 0 "a second launch while the window is visible"

step "SIGTERM ends with status 0; the task is there after a restart; Ctrl+Q quits"
stop_lorvane
start_lorvane
stored_task || fail "the stored task is gone"
xdotool windowactivate --sync "$(main_window)" key ctrl+q
expect_exit "$LORVANE_PID" 0 "Ctrl+Q"

echo "PASS"
