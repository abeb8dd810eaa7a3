#!/bin/bash
# Saves the window at scale 1 and 2 (scale-1.png, scale-2.png) in DIR: the same logical screen
# at both scales, so that the pictures differ only in density, on the end-to-end tests'
# private X server and through the test build's hooks (`make screenshots` runs it).
#   usage: scaled_screenshots.sh /path/to/lorvane-testing DIR
set -euo pipefail

LORVANE=${1:?usage: $0 /path/to/lorvane-testing dir}
DIR=$(realpath "${2:?usage: $0 /path/to/lorvane-testing dir}")
source "$(dirname "$0")/../tests/e2e/common.sh"
begin_e2e screenshots
mkdir -p "$DIR"
start_x 2560 1440
xrandr --output screen --off 2>/dev/null || true
for scale in 1 2; do
    w=$((1280 * scale)) h=$((720 * scale))
    for name in $(xrandr --listmonitors | awk 'NR > 1 { sub(/^[*+]+/, "", $2); print $2 }'); do
        xrandr --delmonitor "$name"
    done
    xrandr --setmonitor MAIN "$w/$((w * 254 / 960))x$h/$((h * 254 / 960))+0+0" none
    start_lorvane QT_SCALE_FACTOR="$scale"
    if [[ $(hook tasks) == tasks=0 ]]; then
        hook "add Comprar pan #casa" >/dev/null
        hook "add Llamar a Marta #trabajo" >/dev/null
        hook "add Revisar el informe del trimestre #trabajo #urgente" >/dev/null
    fi
    sleep 1 # lets the rows finish coming in
    [[ $(hook "grab $DIR/scale-$scale.png") == ok ]] || fail "no picture at scale $scale"
    echo "saved $DIR/scale-$scale.png"
    stop_lorvane
done
