# Shared by the end-to-end scripts; sourced after `set -euo pipefail`, never run.
#
#   begin_e2e NAME           private work folder $WORK, process list $PIDS, clean-up on exit
#   use_private_folders      XDG config and runtime folders inside $WORK, C.UTF-8 locale
#   start_x WIDTH HEIGHT     a private Xvfb on a free display with openbox, for Qt's xcb
#   fail / skip / step       report and end (1 or 77), or announce the next step
#   wait_for WHAT SECONDS COMMAND...   polls COMMAND with a deadline
#   main_window, window_of PID, outer_geometry WINDOW   finding and measuring the window
#   start_lorvane, stop_lorvane, expect_exit             running $LORVANE

# begin_e2e NAME: makes the work folder /tmp/lorvane-NAME.XXXXXX; every process added to
# PIDS is killed, and the folder removed, when the script ends.
begin_e2e() {
    WORK=$(mktemp -d "/tmp/lorvane-$1.XXXXXX")
    PIDS=()
    trap cleanup EXIT
}

cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}

# Extra state to print when a check fails; a script redefines it to say more.
failure_details() {
    :
}

fail() {
    echo "FAIL: $*" >&2
    failure_details >&2 || true
    local log
    for log in "$WORK"/*.log; do
        [[ -s $log ]] || continue
        echo "--- tail of $(basename "$log")" >&2
        tail -n 20 "$log" >&2
    done
    exit 1
}

skip() {
    echo "SKIP: $*"
    exit 77
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

running() {
    kill -0 "$1" 2>/dev/null
}

# Settings and the single-instance socket go to folders of this run only, so runs never see
# each other's or the user's.
use_private_folders() {
    export XDG_CONFIG_HOME=$WORK/config
    export XDG_RUNTIME_DIR=$WORK/runtime
    export LC_ALL=C.UTF-8
    mkdir -p "$XDG_CONFIG_HOME"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
}

x_server_answers() {
    xprop -root >/dev/null 2>&1
}

window_manager_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

work_area_known() {
    xprop -root _NET_WORKAREA 2>/dev/null | grep -q '='
}

# start_x WIDTH HEIGHT: a private X server on a display number it picks itself, so parallel
# runs never collide, managed by openbox; Qt is told to use it.
start_x() {
    # -noreset: by default the server resets when its last client leaves, and a client that
    # connects during the reset (openbox right after the probe below) is refused.
    Xvfb -displayfd 5 -screen 0 "${1}x${2}x24" -nolisten tcp -noreset \
        5>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    PIDS+=($!)
    wait_for "Xvfb to start" 20 test -s "$WORK/display"
    export DISPLAY=":$(head -n1 "$WORK/display")"
    export QT_QPA_PLATFORM=xcb
    wait_for "the X server to answer" 20 x_server_answers
    openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
    PIDS+=($!)
    wait_for "openbox to manage the screen" 20 window_manager_running
    wait_for "openbox to publish the work area" 20 work_area_known
}

# Every visible Lorvane window on $DISPLAY, by window class (the program and its testing
# build).
lorvane_windows() {
    xdotool search --onlyvisible --classname '^lorvane(-testing)?$' 2>/dev/null
}

# The first visible Lorvane window, empty when there is none.
main_window() {
    lorvane_windows | head -n1
}

has_main_window() {
    [[ -n $(main_window) ]]
}

has_no_main_window() {
    [[ -z $(main_window) ]]
}

# window_of PID: the visible Lorvane window of process PID, empty when it has none. (Window
# ids are reused by the X server once their client has gone, so the id alone says little.)
window_of() {
    local window
    for window in $(lorvane_windows); do
        if [[ $(xdotool getwindowpid "$window" 2>/dev/null) == "$1" ]]; then
            echo "$window"
            return
        fi
    done
}

has_window_of() {
    [[ -n $(window_of "$1") ]]
}

# outer_geometry WINDOW: the window's outer rectangle, decorations included, as x y w h in
# device pixels.
outer_geometry() {
    local window=$1 left=0 right=0 top=0 bottom=0 extents x y w h
    extents=$(xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ',')
    [[ -n $extents ]] && read -r left right top bottom <<<"$extents"
    eval "$(xwininfo -id "$window" | awk '
        /Absolute upper-left X/ { print "x=" $4 }
        /Absolute upper-left Y/ { print "y=" $4 }
        /  Width:/ { print "w=" $2 }
        /  Height:/ { print "h=" $2 }')"
    echo "$((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))"
}

# start_lorvane [VAR=value...]: starts $LORVANE in the background with extra environment,
# sets LORVANE_PID and waits up to 20 s for that process's window.
start_lorvane() {
    env "$@" "$LORVANE" >>"$WORK/lorvane.log" 2>&1 &
    LORVANE_PID=$!
    PIDS+=("$LORVANE_PID")
    wait_for "the Lorvane window of process $LORVANE_PID" 20 has_window_of "$LORVANE_PID"
}

# expect_exit PID STATUS WHAT: waits for our child PID to end (not in a subshell: only
# this shell can wait for its children) and checks its exit status.
expect_exit() {
    local status=0
    wait "$1" || status=$?
    [[ $status == "$2" ]] || fail "$3: exit status $status, expected $2"
}

# Ends the process started last with SIGTERM, which must give status 0.
stop_lorvane() {
    kill -TERM "$LORVANE_PID"
    expect_exit "$LORVANE_PID" 0 "SIGTERM"
}
