# Shared by the end-to-end scripts; sourced after `set -euo pipefail`, never run.
# Every script works in a private folder ($WORK) with private settings, runtime folder and X
# server; whatever it starts is listed in PIDS and ended on exit.

begin_e2e() {
    WORK=$(mktemp -d "/tmp/lorvane-$1.XXXXXX")
    PIDS=()
    trap cleanup EXIT
    export XDG_CONFIG_HOME=$WORK/config XDG_STATE_HOME=$WORK/state XDG_RUNTIME_DIR=$WORK/runtime
    export LC_ALL=C.UTF-8
    # The Python steps' shared AT-SPI helpers.
    export PYTHONPATH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    mkdir -p "$XDG_CONFIG_HOME"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
}

cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}

fail() {
    echo "FAIL: $*" >&2
    local log
    for log in "$WORK"/*.log; do
        [[ -s $log ]] && { echo "--- tail of ${log##*/}" >&2; tail -n 15 "$log" >&2; }
    done
    exit 1
}

skip() { echo "SKIP: $*"; exit 77; }
step() { echo "--- $*"; }
running() { kill -0 "$1" 2>/dev/null; }

# wait_for DESCRIPTION SECONDS COMMAND...: polls COMMAND until it succeeds.
wait_for() {
    local what=$1 deadline=$((SECONDS + $2))
    shift 2
    until "$@"; do
        ((SECONDS < deadline)) || fail "timed out waiting for $what"
        sleep 0.05
    done
}

# start_xvfb WIDTH HEIGHT: a private X server on a free display; Qt is told to use it.
start_xvfb() {
    # -noreset: a client connecting while the server resets after its last client is refused.
    Xvfb -displayfd 5 -screen 0 "${1}x${2}x24" -nolisten tcp -noreset 5>"$WORK/display" \
        >"$WORK/xvfb.log" 2>&1 &
    PIDS+=($!)
    wait_for "Xvfb" 20 test -s "$WORK/display"
    export DISPLAY=":$(head -n1 "$WORK/display")" QT_QPA_PLATFORM=xcb
    wait_for "the X server" 20 bash -c "xprop -root >/dev/null 2>&1"
}

# start_session_bus: a private D-Bus session bus, as desktops run one per session.
start_session_bus() {
    local out
    out=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || fail "no dbus-daemon"
    export DBUS_SESSION_BUS_ADDRESS=${out%%$'\n'*}
    PIDS+=("${out##*$'\n'}")
}

wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# start_wm COMMAND...: starts a window manager; false when it does not manage the screen
# within 30 s.
start_wm() {
    "$@" >"$WORK/wm.log" 2>&1 &
    local pid=$! deadline=$((SECONDS + 30))
    PIDS+=("$pid")
    until wm_running; do
        running "$pid" && ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

start_x() {
    start_xvfb "$1" "$2"
    start_wm openbox --sm-disable || fail "openbox does not start"
    wait_for "the work area" 20 bash -c 'xprop -root _NET_WORKAREA | grep -q ='
}

# Visible Lorvane windows (the program and its test build), the first one, and that of PID.
lorvane_windows() { xdotool search --onlyvisible --classname '^lorvane(-testing)?$' 2>/dev/null; }
main_window() { lorvane_windows | head -n1; }
has_main_window() { [[ -n $(main_window) ]]; }
has_no_main_window() { [[ -z $(main_window) ]]; }
window_of() {
    local window
    for window in $(lorvane_windows); do
        [[ $(xdotool getwindowpid "$window" 2>/dev/null) == "$1" ]] && { echo "$window"; return; }
    done
}
has_window_of() { [[ -n $(window_of "$1") ]]; }

# outer_geometry WINDOW: x y w h of the window with its decorations, in device pixels.
outer_geometry() {
    local left=0 right=0 top=0 bottom=0 extents x y w h
    extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ',')
    [[ -n $extents ]] && read -r left right top bottom <<<"$extents"
    eval "$(xwininfo -id "$1" | awk '/Absolute upper-left X/ { print "x=" $4 }
        /Absolute upper-left Y/ { print "y=" $4 } /  Width:/ { print "w=" $2 }
        /  Height:/ { print "h=" $2 }')"
    echo "$((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))"
}

# start_lorvane [VAR=value...]: starts $LORVANE with its test hooks on $WORK/hooks, sets
# LORVANE_PID and waits for that process's window.
start_lorvane() {
    env LORVANE_TEST_SOCKET="$WORK/hooks" "$@" "$LORVANE" >>"$WORK/lorvane.log" 2>&1 &
    LORVANE_PID=$!
    PIDS+=("$LORVANE_PID")
    wait_for "the window of process $LORVANE_PID" 20 has_window_of "$LORVANE_PID"
}

# expect_exit PID STATUS WHAT: waits for our child PID and checks its exit status.
expect_exit() {
    local status=0
    wait "$1" || status=$?
    [[ $status == "$2" ]] || fail "$3: exit status $status, expected $2"
}

stop_lorvane() {
    kill -TERM "$LORVANE_PID"
    expect_exit "$LORVANE_PID" 0 "SIGTERM"
}

# hook COMMAND: one command to the test build's hooks; prints the answer.
hook() {
    python3 - "$WORK/hooks" "$1" <<'EOF'
import socket, sys
client = socket.socket(socket.AF_UNIX)
client.settimeout(10)
client.connect(sys.argv[1])
client.sendall(sys.argv[2].encode() + b"\n")
print(client.makefile().readline().strip())
EOF
}
