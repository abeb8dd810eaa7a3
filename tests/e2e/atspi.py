# Lorvane as a screen reader meets it through AT-SPI, and its list as stored: what the end-to-end
# scripts' Python steps share (`from atspi import *`; common.sh puts this folder on the path).
import json, os, re, subprocess, sys, time, pyatspi

CONF = os.environ["XDG_CONFIG_HOME"] + "/lorvane/lorvane.conf"


def poll(test, seconds):  # each test is run until it holds, never once more: presses count
    deadline = time.monotonic() + seconds
    while not (result := test()) and time.monotonic() < deadline: time.sleep(0.05)
    return result


def until(what, test, seconds=15):
    if not poll(test, seconds):
        sys.exit(f"FAIL: no {what}; focus {focused()}, alerts {alerts()}, stored {tasks()}")


def xdo(*args): subprocess.run(["xdotool", *args], check=True)


def tasks():  # the stored tasks as dictionaries; None when the file cannot be read whole
    try: text = open(CONF).read()
    except FileNotFoundError: return []
    found = re.search(r'^lorvane\.tasks="@ByteArray\((.*)\)"$', text, re.M)
    try: return json.loads(found[1].replace('\\"', '"')) if found else []
    except ValueError: return None


def app():
    return next((a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "lorvane"), None)


def find(test): return app() and pyatspi.findDescendant(app(), test)
def named(name): return find(lambda n: n.name == name)
def nodes(role): return pyatspi.findAllDescendants(app(), lambda n: n.getRoleName() == role)


def focused():
    node = app() and find(lambda n: n.getState().contains(pyatspi.STATE_FOCUSED))
    return node and (node.getRoleName(), node.name)


def alerts():
    return app() and [n.name for n in nodes("alert") if n.getState().contains(pyatspi.STATE_SHOWING)]


def attempt(call):  # an object that was replaced while the window settled is looked up again
    try: call(); return True
    except Exception: return False


def press(name):  # the first action of the enabled control of that name
    enabled = lambda: named(name) and named(name).getState().contains(pyatspi.STATE_ENABLED)
    until(f"control {name!r}", lambda: enabled() and attempt(
        lambda: named(name).queryAction().doAction(0)))


def fill(name, text):
    until(f"field {name!r}",
          lambda: attempt(lambda: named(name).queryEditableText().setTextContents(text)))


until("application on the accessibility bus", app)
