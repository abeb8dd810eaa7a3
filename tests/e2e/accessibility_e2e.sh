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
"$PYTHON" - "$XDG_CONFIG_HOME/lorvane/lorvane.conf" <<'EOF_PY' || fail "see above"
import json, os, re, subprocess, sys, time, pyatspi

def poll(test, seconds):
    deadline = time.monotonic() + seconds
    while not test() and time.monotonic() < deadline: time.sleep(0.05)
    return test()
def until(what, test):
    if not poll(test, 10): sys.exit(f"FAIL: no {what}; focus {focused()}, items {items()}, {stored()}")
def xdo(*args): subprocess.run(["xdotool", *args], check=True)
def press(*keys): xdo("key", "--delay", "50", *keys)
def field(): return pyatspi.findDescendant(app(), lambda n: n.getState().contains(pyatspi.STATE_FOCUSED))
def type_text(text):  # into the focused field; typing is injected again if X lost keys on the way
    for attempt in range(3):
        xdo("type", "--delay", "30", text)
        if poll(lambda: field().queryText().getText(0, -1) == text, 3): return
        print(f"note: {text!r} arrived as {field().queryText().getText(0, -1)!r}; typed again")
        press("ctrl+a", "BackSpace")
    sys.exit(f"FAIL: the field never held {text!r}")
def stored():  # (text, done, priority) of each task in the file, ASCII texts only
    text = open(sys.argv[1]).read() if os.path.exists(sys.argv[1]) else ""
    found = re.search(r'^lorvane\.tasks="@ByteArray\((.*)\)"$', text, re.M)
    tasks = json.loads(found[1].replace('\\"', '"')) if found else []
    return [(t["text"], t["isDone"], t["isPriority"]) for t in tasks]
def app():
    return next((a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "lorvane"), None)
def nodes(role): return pyatspi.findAllDescendants(app(), lambda n: n.getRoleName() == role)
def items(): return [item.name for item in nodes("list item")]
def focused():
    node = pyatspi.findDescendant(app(), lambda n: n.getState().contains(pyatspi.STATE_FOCUSED))
    return node and (node.getRoleName(), node.name)

until("application on the accessibility bus", app)
press("Tab")  # from the settings button, the first stop, to the input line
until("focused input line", lambda: focused() == ("text", "Añadir tarea"))
for text in ("Comprar pan #casa", "Llamar #salud"): type_text(text); press("Return")
until("list of two", lambda: nodes("list") and items() == ["Comprar pan, casa", "Llamar, salud"])
press("shift+Tab")
until("focused first task", lambda: focused() == ("list item", "Comprar pan, casa"))
press("Down", "space")
until("second task done", lambda: stored()[1] == ("Llamar #salud", True, False))
press("Menu", "Return")
until("second task flagged, listed first",
      lambda: items() == ["Llamar, hecha, prioritaria, salud", "Comprar pan, casa"])
press("Down", "F2", "ctrl+a"); type_text("Comprar pan y leche #casa"); press("Return")
until("edit stored, focus back on its task",
      lambda: stored()[0] == ("Comprar pan y leche #casa", False, False)
      and focused() == ("list item", "Comprar pan y leche, casa"))
press("Delete")
until("task deleted, focus on the one left",
      lambda: len(stored()) == 1 and focused()[1] == "Llamar, hecha, prioritaria, salud")
actions = nodes("list item")[0].queryAction()
actions.doAction([actions.getName(i) for i in range(actions.nActions)].index("Delete"))
until("last task deleted by its action", lambda: not stored() and focused()[1] == "Añadir tarea")
EOF_PY
stop_lorvane
echo "PASS"
