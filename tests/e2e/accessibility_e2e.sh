#!/bin/bash
# The task list without a mouse, as a screen reader meets it through AT-SPI: tasks added, done,
# flagged, edited and deleted with keys, found by their names, and read back from the file.
#   usage: accessibility_e2e.sh /path/to/lorvane-testing
set -euo pipefail

LORVANE=${1:?usage: $0 /path/to/lorvane-testing}
PYTHON=/usr/bin/python3 # Debian's, for which python3-pyatspi is installed
source "$(dirname "$0")/common.sh"
begin_e2e accessibility
[[ -x /usr/libexec/at-spi-bus-launcher ]] || skip "at-spi2-core is missing"
"$PYTHON" -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is missing"
start_x 1280 800
start_session_bus # the accessibility bus is started on it, by at-spi-bus-launcher
start_lorvane QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
xdotool windowactivate --sync "$(window_of "$LORVANE_PID")"
"$PYTHON" - <<'EOF_PY' || fail "see above"
from atspi import *

def keys(*keys): xdo("key", "--delay", "50", *keys)
def field(): return find(lambda n: n.getState().contains(pyatspi.STATE_FOCUSED))
def type_text(text):  # into the focused field; typing is injected again if X lost keys on the way
    for attempt in range(3):
        xdo("type", "--delay", "30", text)
        if poll(lambda: field().queryText().getText(0, -1) == text, 3): return
        print(f"note: {text!r} arrived as {field().queryText().getText(0, -1)!r}; typed again")
        keys("ctrl+a", "BackSpace")
    sys.exit(f"FAIL: the field never held {text!r}")
def stored(): return [(t["text"], t["isDone"], t["isPriority"]) for t in tasks()]
def items(): return [item.name for item in nodes("list item")]

keys("Tab")  # from the settings button, the first stop, to the input line
until("focused input line", lambda: focused() == ("text", "Añadir tarea"))
for text in ("Comprar pan #casa", "Llamar #salud"): type_text(text); keys("Return")
until("list of two", lambda: nodes("list") and items() == ["Comprar pan, casa", "Llamar, salud"])
keys("shift+Tab")
until("focused first task", lambda: focused() == ("list item", "Comprar pan, casa"))
keys("Down", "space")
until("second task done", lambda: stored()[1] == ("Llamar #salud", True, False))
keys("Menu", "Return")
until("second task flagged, listed first",
      lambda: items() == ["Llamar, hecha, prioritaria, salud", "Comprar pan, casa"])
keys("Down", "F2", "ctrl+a"); type_text("Comprar pan y leche #casa"); keys("Return")
until("edit stored, focus back on its task",
      lambda: stored()[0] == ("Comprar pan y leche #casa", False, False)
      and focused() == ("list item", "Comprar pan y leche, casa"))
keys("Delete")
until("task deleted, focus on the one left",
      lambda: len(stored()) == 1 and focused()[1] == "Llamar, hecha, prioritaria, salud")
actions = nodes("list item")[0].queryAction()
actions.doAction([actions.getName(i) for i in range(actions.nActions)].index("Delete"))
until("last task deleted by its action", lambda: not stored() and focused()[1] == "Añadir tarea")
EOF_PY
stop_lorvane
echo "PASS"
