#!/bin/bash
# End-to-end check of the pinned column across screens and scales, on an X server with a
# window manager: the column sits on the primary monitor's right edge and follows when the
# primary changes, changes resolution or is unplugged; per-screen and whole-program scale
# factors give a column of 320 logical pixels inside the screen.
#
# The monitors are RandR 1.5 monitors (`xrandr --setmonitor`) on one large Xvfb screen; Qt's
# xcb platform takes each as a screen. The server's output is switched off so that no
# automatic monitor covers the whole screen.
#
#   usage: screens_e2e.sh /path/to/lorvane
# Exits 77 (skipped) when the X server has no RandR monitors.
set -euo pipefail

LORVANE=${1:?usage: $0 /path/to/lorvane}
ROOT_WIDTH=2560
ROOT_HEIGHT=1440
COLUMN_WIDTH=320

source "$(dirname "$0")/common.sh"
begin_e2e screens

# monitors MONITOR...: replaces every monitor by the ones given, each as NAME:WxH+X+Y, the
# primary one marked with a leading '*'. Physical sizes are made up (96 dpi).
monitors() {
    local name monitor
    for name in $(xrandr --listmonitors | awk 'NR > 1 { sub(/^[*+]+/, "", $2); print $2 }'); do
        xrandr --delmonitor "$name"
    done
    for monitor in "$@"; do
        local label=${monitor%%:*} geometry=${monitor#*:}
        local w=${geometry%%x*} rest=${geometry#*x}
        local h=${rest%%+*}
        local position=${rest#"$h"}
        xrandr --setmonitor "$label" "$w/$((w * 254 / 960))x$h/$((h * 254 / 960))$position" none
    done
}

# The primary monitor as x y w h (the only one when none is marked).
primary_monitor() {
    xrandr --listmonitors | awk '
        NR > 1 {
            split($3, a, /[x+\/]/)   # w, mmw, h, mmh, x, y
            line = a[5] " " a[6] " " a[1] " " a[3]
            if (first == "") first = line
            if ($2 ~ /^\+?\*/) primary = line
        }
        END { print (primary != "" ? primary : first) }'
}

# The part of the primary monitor inside the work area the window manager publishes.
available_area() {
    local mx my mw mh wx wy ww wh
    read -r mx my mw mh <<<"$(primary_monitor)"
    read -r wx wy ww wh _ <<<"$(xprop -root _NET_WORKAREA | sed -n 's/.*= *//p' | tr -d ',')"
    local left=$((mx > wx ? mx : wx)) top=$((my > wy ? my : wy))
    local right=$((mx + mw < wx + ww ? mx + mw : wx + ww))
    local bottom=$((my + mh < wy + wh ? my + mh : wy + wh))
    echo "$left $top $((right - left)) $((bottom - top))"
}

# in_column WINDOW SCALE SLACK: the window's outer frame lies inside the primary monitor's
# available area, along its right edge, as tall as the area and round(320 × SCALE) wide
# (or as wide as the area when that is narrower), each edge within SLACK device pixels.
in_column() {
    local window=$1 scale=$2 slack=$3 ax ay aw ah x y w h column
    read -r ax ay aw ah <<<"$(available_area)"
    read -r x y w h <<<"$(outer_geometry "$window")"
    column=$(awk -v s="$scale" -v c="$COLUMN_WIDTH" 'BEGIN { printf "%d", c * s + 0.5 }')
    ((column > aw)) && column=$aw
    ((x >= ax && y >= ay && x + w <= ax + aw && y + h <= ay + ah)) || return 1
    ((ax + aw - (x + w) <= slack && y - ay <= slack && ay + ah - (y + h) <= slack)) || return 1
    ((w >= column - 2 * slack && w <= column))
}

# expect_column PID [SCALE] [SLACK]: waits up to 10 s for the window of PID to be in its
# column; exact at scale 1.
expect_column() {
    local pid=$1 scale=${2:-1} slack=${3:-0} deadline=$((SECONDS + 10)) window
    until window=$(window_of "$pid") && [[ -n $window ]] \
        && in_column "$window" "$scale" "$slack"; do
        if ((SECONDS >= deadline)); then
            fail "window at $( [[ -n $window ]] && outer_geometry "$window"), expected the" \
                "column of $(available_area) at scale $scale"
        fi
        sleep 0.05
    done
}

unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR
start_x "$ROOT_WIDTH" "$ROOT_HEIGHT"
xrandr --listmonitors >/dev/null 2>&1 || skip "the X server has no RandR monitors"
xrandr --output screen --off 2>/dev/null || true
monitors "LEFT:1280x1024+0+0" "*RIGHT:1280x800+1280+0" 2>"$WORK/xrandr.log" \
    || skip "the X server does not take RandR 1.5 monitors"
step "X server on $DISPLAY: $(xrandr --listmonitors | tail -n +2 | tr -s ' ' | paste -sd ';')"

step "two screens: the column is on the primary one's right edge"
start_lorvane
expect_column "$LORVANE_PID"

step "the primary screen changes: the column moves to the new one"
monitors "*LEFT:1280x1024+0+0" "RIGHT:1280x800+1280+0"
expect_column "$LORVANE_PID"

step "the primary screen changes resolution"
monitors "*LEFT:1024x768+0+0" "RIGHT:1280x800+1280+0"
expect_column "$LORVANE_PID"

step "the primary screen is unplugged: the column goes to the one left"
monitors "RIGHT:1280x800+1280+0"
expect_column "$LORVANE_PID"

step "a primary screen narrower than the column: the column fills it"
monitors "*TINY:300x600+0+0" "RIGHT:1280x800+1280+0"
expect_column "$LORVANE_PID"

stop_lorvane

step "screens of different scales: the column is 320 logical pixels on whichever is primary"
monitors "LEFT:1280x1024+0+0" "*RIGHT:1280x800+1280+0"
start_lorvane QT_SCREEN_SCALE_FACTORS="LEFT=1;RIGHT=2"
# openbox draws one-pixel borders at every scale, which Qt reports rounded to logical
# pixels: the placement stays inside and may end a device pixel or two short of the edge.
expect_column "$LORVANE_PID" 2 2
monitors "*LEFT:1280x1024+0+0" "RIGHT:1280x800+1280+0"
expect_column "$LORVANE_PID" 1 0
monitors "LEFT:1280x1024+0+0" "*RIGHT:1280x800+1280+0"
expect_column "$LORVANE_PID" 2 2
stop_lorvane

monitors "*MAIN:1366x768+0+0"
for scale in 1.25 1.75; do
    step "QT_SCALE_FACTOR=$scale on a 1366x768 screen: inside, on the right edge"
    start_lorvane QT_SCALE_FACTOR="$scale"
    expect_column "$LORVANE_PID" "$scale" 2
    stop_lorvane
done

echo "PASS"
