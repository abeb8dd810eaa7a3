#!/bin/bash
# The list on a home that fills up, as a user meets it: tasks typed while the disk is full
# stay in the window, an alert says why, and once there is room they are all stored without
# another keystroke. A session that ends while the disk is full leaves a recovery copy, which
# the next start offers and takes back with "Restaurar", through a config file that is a
# symbolic link into a dotfiles folder and stays one.
#   usage: storage_e2e.sh /path/to/lorvane-testing
set -euo pipefail

LORVANE=${1:?usage: $0 /path/to/lorvane-testing}
PYTHON=/usr/bin/python3 # Debian's, for which python3-pyatspi is installed
source "$(dirname "$0")/common.sh"
if [[ -z ${LORVANE_OWN_MOUNTS:-} ]]; then
    [[ $(id -u) == 0 ]] || skip "a small disk of its own needs root"
    unshare -m true 2>/dev/null || skip "no mount namespace to be had"
    exec env LORVANE_OWN_MOUNTS=1 unshare -m --propagation private "$0" "$@"
fi
begin_e2e storage
[[ -x /usr/libexec/at-spi-bus-launcher ]] || skip "at-spi2-core is missing"
"$PYTHON" -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is missing"
# Config and state on one small disk, the runtime folder elsewhere, as on a desktop.
mkdir "$WORK/home"
mount -t tmpfs -o size=256k lorvane-e2e "$WORK/home" || skip "cannot mount a tmpfs"
trap 'stop_all; umount -l "$WORK/home"; cleanup' EXIT
stop_all() { local pid; for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done; wait 2>/dev/null || true; }
export XDG_CONFIG_HOME=$WORK/home/config XDG_STATE_HOME=$WORK/home/state
CONF=$XDG_CONFIG_HOME/lorvane/lorvane.conf
fill_disk() { dd if=/dev/zero of="$WORK/home/filler" bs=4k >/dev/null 2>&1 || true; }
free_disk() { rm -f "$WORK/home/filler"; }

start_x 1280 800
start_session_bus # the accessibility bus is started on it, by at-spi-bus-launcher

# drive WHAT...: steps in the window through AT-SPI and the keyboard (see below).
drive() {
    "$PYTHON" - "$WORK/home/filler" "$@" <<'EOF_PY' || fail "see above"
from atspi import *

filler, steps = sys.argv[1], sys.argv[2:]
def field(): return find(lambda n: n.getRoleName() == "text")
def stored(): return tasks() and [t["text"] for t in tasks()]
def add(text):
    field().queryEditableText().setTextContents(text)
    until(f"{text!r} in the field", lambda: field().queryText().getText(0, -1) == text)
    field().queryComponent().grabFocus()
    xdo("key", "Return")
    until(f"{text!r} taken", lambda: field().queryText().getText(0, -1) == "")

full = "No se pudo guardar: el disco está lleno. Los cambios se guardarán en cuanto haya espacio."
for step in steps:
    kind, _, text = step.partition(":")
    if kind == "add": add(text)
    elif kind == "stored": until(f"stored list {text}", lambda: stored() == text.split(","))
    elif kind == "full":  # the alert shows, and the file stays whole with the list before
        until("alert of a full disk", lambda: alerts() == [full])
        if stored() != text.split(","): sys.exit(f"FAIL: stored {stored()} on a full disk")
    elif kind == "free":
        os.remove(filler)
        until("the alert gone", lambda: alerts() == [], 20)
    elif kind == "restore":
        until("offer of the unsaved changes", lambda: len(alerts()) == 1 and alerts()[0].startswith(
            "Los últimos cambios no se pudieron guardar al salir. Se guardaron en "))
        press("Restaurar")
        until("the offer gone", lambda: alerts() == [])
EOF_PY
}

step "a full disk: the window says so, and stores every task once there is room"
start_lorvane QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
drive add:uno add:dos stored:uno,dos
fill_disk
drive add:tres add:cuatro full:uno,dos free stored:uno,dos,tres,cuatro

step "the session ends while the disk is full: a recovery copy in the runtime folder"
fill_disk
drive add:cinco full:uno,dos,tres,cuatro
stop_lorvane
grep -q "it was written to $XDG_RUNTIME_DIR/lorvane/unsaved-tasks.json" "$WORK/lorvane.log" \
    || fail "no word of the recovery copy on standard error"
free_disk

step "the next start offers it; the symlinked config file stays a link"
mkdir -p "$WORK/home/dotfiles"
mv "$CONF" "$WORK/home/dotfiles/lorvane.conf"
ln -s ../../dotfiles/lorvane.conf "$CONF"
start_lorvane QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
drive restore stored:uno,dos,tres,cuatro,cinco
[[ -L $CONF ]] || fail "the link to the dotfiles copy was replaced"
[[ ! -e $XDG_RUNTIME_DIR/lorvane/unsaved-tasks.json ]] || fail "the recovery copy stayed"
stop_lorvane
echo "PASS"
