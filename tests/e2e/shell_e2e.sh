#!/bin/bash
# End-to-end check of the real lorvane binary on an X server with a window manager:
# placement, snap-back, typing a task, close and reopen, the ways out, and single instance.
#   usage: shell_e2e.sh /path/to/lorvane
set -euo pipefail

LORVANE=${1:?usage: $0 /path/to/lorvane}
SCREEN_WIDTH=1280
SCREEN_HEIGHT=800
COLUMN_WIDTH=320

source "$(dirname "$0")/common.sh"
begin_e2e e2e

# The right-edge column of the work area (the screen minus panels) that the window manager
# publishes.
expected_geometry() {
    local area wx wy ww wh
    area=$(xprop -root _NET_WORKAREA | sed -n 's/.*= *//p' | tr -d ',')
    read -r wx wy ww wh _ <<<"$area"
    echo "$((wx + ww - COLUMN_WIDTH)) $wy $COLUMN_WIDTH $wh"
}

window_in_column() {
    local window
    window=$(main_window)
    [[ -n $window && $(outer_geometry "$window") == "$(expected_geometry)" ]]
}

# Waits up to 10 s for the window to be in its column.
assert_in_column() {
    local deadline=$((SECONDS + 10)) window
    until window_in_column; do
        if ((SECONDS >= deadline)); then
            window=$(main_window)
            fail "window at $(outer_geometry "$window"), expected $(expected_geometry)"
        fi
        sleep 0.05
    done
}

# After asking the window manager to move the window: gives the request up to 2 s to take
# effect, so that a later check cannot pass only because the move has not happened yet. A
# window that is put back faster than this polls may never be seen away; that is fine.
await_move_away() {
    local deadline=$((SECONDS + 2))
    while window_in_column && ((SECONDS < deadline)); do
        sleep 0.02
    done
}

stored_task() {
    local file=$XDG_CONFIG_HOME/lorvane/lorvane.conf
    [[ -f $file ]] && grep -qF 'Comprar pan #casa' "$file" && grep -qF '\"casa\"' "$file"
}

use_private_folders
start_x "$SCREEN_WIDTH" "$SCREEN_HEIGHT"
step "X server on $DISPLAY, work area $(xprop -root _NET_WORKAREA | sed -n 's/.*= *//p')"

step "start: one window titled Lorvane in the right-edge column"
start_lorvane
WINDOW=$(main_window)
[[ $(xdotool getwindowname "$WINDOW") == Lorvane ]] \
    || fail "title is '$(xdotool getwindowname "$WINDOW")'"
assert_in_column
xprop -id "$WINDOW" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE \
    && fail "the window stays on top"
xprop -id "$WINDOW" _NET_WM_ALLOWED_ACTIONS | grep -qE 'MAXIMIZE|RESIZE' \
    && fail "the window manager offers to resize or maximise the window"

step "moving or resizing the window from outside puts it back"
xdotool windowmove "$WINDOW" 100 100
await_move_away
assert_in_column
xdotool windowsize "$WINDOW" 600 300
await_move_away
assert_in_column
# A drag by the title bar, as the user would do it.
read -r X Y _ _ <<<"$(outer_geometry "$WINDOW")"
xdotool mousemove $((X + 100)) $((Y + 5)) mousedown 1 \
    mousemove $((X + 50)) $((Y + 60)) mousemove $((X - 300)) $((Y + 200)) mouseup 1
await_move_away
assert_in_column
running "$LORVANE_PID" || fail "lorvane ended"

step "typing a task with a tag stores it"
xdotool windowactivate --sync "$WINDOW"
read -r X Y W H <<<"$(outer_geometry "$WINDOW")"
# The input line is the last item of the column.
xdotool mousemove $((X + W / 3)) $((Y + H - 36)) click 1
xdotool type --delay 20 'Comprar pan #casa'
xdotool key Return
wait_for "the task in $XDG_CONFIG_HOME/lorvane/lorvane.conf" 10 stored_task

step "closing the window keeps the process; a second launch brings it back and exits"
xdotool windowactivate --sync "$WINDOW"
xdotool key alt+F4
wait_for "the window to close" 10 has_no_main_window
running "$LORVANE_PID" || fail "closing the window ended the process"
"$LORVANE" >>"$WORK/lorvane.log" 2>&1 &
SECOND=$!
expect_exit "$SECOND" 0 "the second launch"
wait_for "the window to come back" 10 has_main_window
assert_in_column
WINDOW=$(main_window)
[[ $(xdotool getactivewindow) == "$WINDOW" ]] || fail "the reopened window is not active"

step "a second launch while the window is visible changes nothing"
"$LORVANE" >>"$WORK/lorvane.log" 2>&1 &
SECOND=$!
expect_exit "$SECOND" 0 "the second launch"
[[ $(main_window) == "$WINDOW" ]] || fail "the window changed"
running "$LORVANE_PID" || fail "lorvane ended"

step "SIGTERM ends the process with status 0"
stop_lorvane

step "the task is still there after a restart"
start_lorvane
assert_in_column
stored_task || fail "the stored task is gone"

step "Ctrl+Q quits with status 0"
WINDOW=$(main_window)
xdotool windowactivate --sync "$WINDOW"
xdotool key ctrl+q
expect_exit "$LORVANE_PID" 0 "Ctrl+Q"

step "a killed instance does not block the next launch"
start_lorvane
kill -KILL "$LORVANE_PID"
expect_exit "$LORVANE_PID" 137 "SIGKILL"
start_lorvane # waits for the new process's own window
kill -INT "$LORVANE_PID"
expect_exit "$LORVANE_PID" 0 "SIGINT"

step "launches at the same moment give one process"
LAUNCHES=()
for _ in 1 2 3 4; do
    "$LORVANE" >>"$WORK/lorvane.log" 2>&1 &
    LAUNCHES+=($!)
    PIDS+=($!)
done
wait_for "the Lorvane window" 20 has_main_window
wait_for "all but one launch to exit" 20 bash -c '
    alive=0
    for pid in "$@"; do kill -0 "$pid" 2>/dev/null && alive=$((alive + 1)); done
    [[ $alive == 1 ]]' _ "${LAUNCHES[@]}"
for pid in "${LAUNCHES[@]}"; do
    if running "$pid"; then
        LORVANE_PID=$pid
    else
        expect_exit "$pid" 0 "a simultaneous launch"
    fi
done
[[ $(lorvane_windows | wc -l) == 1 ]] || fail "more than one window"
stop_lorvane

echo "PASS"
