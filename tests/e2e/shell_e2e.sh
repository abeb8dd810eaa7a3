#!/bin/bash
# End-to-end check of the real lorvane binary on an X server with a window manager:
# placement, snap-back, typing a task, close and reopen, the ways out, and single instance.
#   usage: shell_e2e.sh /path/to/lorvane
set -euo pipefail

LORVANE=${1:?usage: $0 /path/to/lorvane}
SCREEN_WIDTH=1280
SCREEN_HEIGHT=800
COLUMN_WIDTH=320

WORK=$(mktemp -d /tmp/lorvane-e2e.XXXXXX)
PIDS=()

cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    local log
    for log in "$WORK"/*.log; do
        [[ -s $log ]] || continue
        echo "--- tail of $(basename "$log")" >&2
        tail -n 20 "$log" >&2
    done
    exit 1
}

step() {
    echo "--- $*"
}

# wait_for DESCRIPTION SECONDS COMMAND...: polls COMMAND until it succeeds.
wait_for() {
    local what=$1 seconds=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        ((SECONDS < deadline)) || fail "timed out after ${seconds}s waiting for $what"
        sleep 0.05
    done
}

# A private X server on a display number it picks itself, so parallel runs never collide.
start_x() {
    # -noreset: by default the server resets when its last client leaves, and a client that
    # connects during the reset (openbox right after the probe below) is refused.
    Xvfb -displayfd 5 -screen 0 "${SCREEN_WIDTH}x${SCREEN_HEIGHT}x24" -nolisten tcp -noreset \
        5>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    PIDS+=($!)
    wait_for "Xvfb to start" 20 test -s "$WORK/display"
    export DISPLAY=":$(head -n1 "$WORK/display")"
    wait_for "the X server to answer" 20 x_server_answers
    openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
    PIDS+=($!)
    wait_for "openbox to manage the screen" 20 window_manager_running
    wait_for "openbox to publish the work area" 20 work_area_known
}

work_area_known() {
    xprop -root _NET_WORKAREA 2>/dev/null | grep -q '='
}

x_server_answers() {
    xprop -root >/dev/null 2>&1
}

window_manager_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

# The visible Lorvane window, empty when there is none.
main_window() {
    xdotool search --onlyvisible --classname '^lorvane$' 2>/dev/null | head -n1
}

has_main_window() {
    [[ -n $(main_window) ]]
}

# has_window_of PID: the visible Lorvane window belongs to process PID. (Window ids are
# reused by the X server once their client has gone.)
has_window_of() {
    local window
    window=$(main_window)
    [[ -n $window && $(xdotool getwindowpid "$window" 2>/dev/null) == "$1" ]]
}

has_no_main_window() {
    [[ -z $(main_window) ]]
}

# The window's outer rectangle, decorations included, as x,y,width,height.
outer_geometry() {
    local window=$1 left=0 right=0 top=0 bottom=0 x y w h extents
    extents=$(xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ',')
    [[ -n $extents ]] && read -r left right top bottom <<<"$extents"
    eval "$(xwininfo -id "$window" | awk '
        /Absolute upper-left X/ { print "x=" $4 }
        /Absolute upper-left Y/ { print "y=" $4 }
        /  Width:/ { print "w=" $2 }
        /  Height:/ { print "h=" $2 }')"
    echo "$((x - left)),$((y - top)),$((w + left + right)),$((h + top + bottom))"
}

# The right-edge column of the work area (the screen minus panels) that the window manager
# publishes.
expected_geometry() {
    local area wx wy ww wh
    area=$(xprop -root _NET_WORKAREA | sed -n 's/.*= *//p' | tr -d ',')
    read -r wx wy ww wh _ <<<"$area"
    echo "$((wx + ww - COLUMN_WIDTH)),$wy,$COLUMN_WIDTH,$wh"
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

running() {
    kill -0 "$1" 2>/dev/null
}

not_running() {
    ! kill -0 "$1" 2>/dev/null
}

# start_lorvane: starts the binary in the background and sets LORVANE_PID.
start_lorvane() {
    "$LORVANE" >>"$WORK/lorvane.log" 2>&1 &
    LORVANE_PID=$!
    PIDS+=("$LORVANE_PID")
}

# expect_exit PID STATUS WHAT: waits for our child PID to end (not in a subshell: only
# this shell can wait for its children) and checks its exit status.
expect_exit() {
    local status=0
    wait "$1" || status=$?
    [[ $status == "$2" ]] || fail "$3: exit status $status, expected $2"
}

stored_task() {
    local file=$XDG_CONFIG_HOME/lorvane/lorvane.conf
    [[ -f $file ]] && grep -qF 'Comprar pan #casa' "$file" && grep -qF '\"casa\"' "$file"
}

export XDG_CONFIG_HOME=$WORK/config
export XDG_RUNTIME_DIR=$WORK/runtime
export QT_QPA_PLATFORM=xcb
export LC_ALL=C.UTF-8
mkdir -p "$XDG_CONFIG_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"

start_x
step "X server on $DISPLAY, work area $(xprop -root _NET_WORKAREA | sed -n 's/.*= *//p')"

step "start: one window titled Lorvane in the right-edge column"
start_lorvane
wait_for "the Lorvane window" 20 has_main_window
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
IFS=, read -r X Y _ _ <<<"$(outer_geometry "$WINDOW")"
xdotool mousemove $((X + 100)) $((Y + 5)) mousedown 1 \
    mousemove $((X + 50)) $((Y + 60)) mousemove $((X - 300)) $((Y + 200)) mouseup 1
await_move_away
assert_in_column
running "$LORVANE_PID" || fail "lorvane ended"

step "typing a task with a tag stores it"
xdotool windowactivate --sync "$WINDOW"
IFS=, read -r X Y W H <<<"$(outer_geometry "$WINDOW")"
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
kill -TERM "$LORVANE_PID"
expect_exit "$LORVANE_PID" 0 "SIGTERM"

step "the task is still there after a restart"
start_lorvane
wait_for "the Lorvane window" 20 has_main_window
assert_in_column
stored_task || fail "the stored task is gone"

step "Ctrl+Q quits with status 0"
WINDOW=$(main_window)
xdotool windowactivate --sync "$WINDOW"
xdotool key ctrl+q
expect_exit "$LORVANE_PID" 0 "Ctrl+Q"

step "a killed instance does not block the next launch"
start_lorvane
wait_for "the Lorvane window" 20 has_main_window
kill -KILL "$LORVANE_PID"
expect_exit "$LORVANE_PID" 137 "SIGKILL"
start_lorvane
wait_for "the new process's window after a crash" 20 has_window_of "$LORVANE_PID"
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
[[ $(xdotool search --onlyvisible --classname '^lorvane$' | wc -l) == 1 ]] \
    || fail "more than one window"
kill -TERM "$LORVANE_PID"
expect_exit "$LORVANE_PID" 0 "SIGTERM"

echo "PASS"
