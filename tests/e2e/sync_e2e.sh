#!/bin/bash
# Sync as a user sets it up: a Radicale of the test's own on loopback behind TLS with a
# certificate of its own, a phone (the Python caldav client) on the same task list,
# gnome-keyring as the secret store, and Lorvane driven through AT-SPI: the certificate
# refused with its fingerprint until trusted, a wrong password refused once and not tried
# again, then connected; a task from the phone arrives with its tags, one added here and one
# completed here reach the phone with the phone's due date and description kept; ten tasks
# added while the server is down are said to be waiting and all arrive once it is back,
# once each, though Lorvane is killed in the middle of that sync; the password is in the
# keyring and in no file of Lorvane's.
#   usage: sync_e2e.sh /path/to/lorvane-testing
set -euo pipefail

LORVANE=${1:?usage: $0 /path/to/lorvane-testing}
PYTHON=/usr/bin/python3 # Debian's, for which python3-caldav and python3-pyatspi are installed
source "$(dirname "$0")/common.sh"
begin_e2e sync
command -v radicale >/dev/null || skip "radicale is missing"
command -v gnome-keyring-daemon >/dev/null || skip "gnome-keyring is missing"
command -v secret-tool >/dev/null || skip "libsecret-tools is missing"
"$PYTHON" -c 'import caldav, pyatspi' 2>/dev/null || skip "python3-caldav or python3-pyatspi is missing"
start_x 1280 800
start_session_bus
export HOME=$WORK/home # the keyring's files
mkdir -p "$HOME"

step "a keyring, unlocked, and a Radicale with one task list the phone filled"
keyrings() { pgrep -u "$(id -u)" -x gnome-keyring-d | sort || true; }
before=$(keyrings)
eval "$(printf 'e2e' | gnome-keyring-daemon --daemonize --login)"
eval "$(gnome-keyring-daemon --start --components=secrets)"
PIDS+=($(comm -13 <(echo "$before") <(keyrings))) # ours, by the PIDs they did not have before
PORT=$("$PYTHON" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf 'alice:secret\n' >"$WORK/users"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
    -addext subjectAltName=IP:127.0.0.1 -keyout "$WORK/key.pem" -out "$WORK/cert.pem" 2>/dev/null
FINGERPRINT=$(openssl x509 -in "$WORK/cert.pem" -noout -fingerprint -sha256 | sed 's/.*=//')
start_radicale() { # with each request in its log
    radicale --config= --hosts "127.0.0.1:$PORT" --storage-filesystem-folder "$WORK/storage" \
        --auth-type htpasswd --auth-htpasswd-filename "$WORK/users" \
        --auth-htpasswd-encryption plain --auth-delay 0 --rights-type owner_only \
        --web-type none --ssl --certificate "$WORK/cert.pem" --key "$WORK/key.pem" \
        --logging-level info >"$WORK/radicale.log" 2>&1 &
    RADICALE_PID=$!
    PIDS+=($!)
    wait_for "Radicale" 20 bash -c "echo >/dev/tcp/127.0.0.1/$PORT" 2>/dev/null
}
start_radicale
SERVER="https://127.0.0.1:$PORT/"
phone() { "$PYTHON" - "$SERVER" "$WORK/cert.pem" "$@" <<'EOF_PY'
import caldav, collections, sys
server, certificate, action = sys.argv[1:4]
principal = caldav.DAVClient(server, username="alice", password="secret",
                             ssl_verify_cert=certificate).principal()
if action == "fill":
    tasks = principal.make_calendar(name="Mis tareas", supported_calendar_component_set=["VTODO"])
    tasks.save_todo(ical="BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Phone//EN\r\nBEGIN:VTODO\r\n"
                    "UID:cita-del-telefono\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Pedir cita\r\n"
                    "CATEGORIES:salud\r\nDUE:20261224T180000Z\r\nDESCRIPTION:Traer el recibo\r\n"
                    "END:VTODO\r\nEND:VCALENDAR\r\n")
    sys.exit(0)
calendar = next(c for c in principal.calendars() if c.name == "Mis tareas")
found = calendar.todos(include_completed=True)
todos = {t.icalendar_component["SUMMARY"]: t.data for t in found}
if action == "count":  # the tasks on the server, each summary once
    summaries = collections.Counter(str(t.icalendar_component["SUMMARY"]) for t in found)
    sys.exit(0 if len(found) == int(sys.argv[4]) and max(summaries.values()) == 1 else 1)
cita = todos.get("Pedir cita", "")
ok = ("Comprar pan" in todos and "CATEGORIES:casa" in todos["Comprar pan"]
      and "STATUS:COMPLETED" in cita and "DUE:20261224T180000Z" in cita
      and "DESCRIPTION:Traer el recibo" in cita)
sys.exit(0 if ok else 1)
EOF_PY
}
phone fill

step "certificate trusted, wrong password refused once, connected: the phone's task arrives"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_LOGGING_RULES=lorvane.caldav.debug=true
start_lorvane
xdotool windowactivate --sync "$(window_of "$LORVANE_PID")"
# drive ARGS... <<'EOF_PY': a Python step through AT-SPI, with these helpers.
HELPERS='
from atspi import *
def stored(): return [(t["text"], t["isDone"]) for t in tasks()]
def logged(name, what): return open(os.environ["WORK"] + "/" + name).read().count(what)'
export WORK
drive() { "$PYTHON" - "$@" < <(printf '%s\n' "$HELPERS"; cat) || fail "see above"; }
drive "$SERVER" "$(window_of "$LORVANE_PID")" "$FINGERPRINT" <<'EOF_PY'
press("Ajustes")
press("Sincronizar…")
fill("Servidor", sys.argv[1]); fill("Usuario", "alice"); fill("Contraseña", "equivocada")
press("Conectar")
until("the certificate's fingerprint",
      lambda: find(lambda n: n.name.replace("\n", ":") == sys.argv[3]))
press("Confiar en este certificado")
press("Conectar")
until("the refused password", lambda: named("Usuario o contraseña incorrectos"))
asked = logged("lorvane.log", "PROPFIND"); time.sleep(3)
if logged("lorvane.log", "PROPFIND") != asked: sys.exit("FAIL: the password is tried again")
fill("Contraseña", "secret")
press("Conectar")
press("Mis tareas")
until("the phone's task in the list", lambda: ("Pedir cita #salud", False) in stored(), 20)

xdo("key", "Escape")  # closes the dialog
xdo("windowactivate", "--sync", sys.argv[2])
named("Añadir tarea").queryComponent().grabFocus()
xdo("type", "--delay", "30", "Comprar pan #casa")
xdo("key", "Return")
until("the new task stored", lambda: ("Comprar pan #casa", False) in stored())
item = named("Pedir cita, salud")
item.queryComponent().grabFocus()
xdo("key", "space")
until("the phone's task done here", lambda: ("Pedir cita #salud", True) in stored())
EOF_PY

step "the phone sees both changes, its due date and description kept"
wait_for "the changes on the phone" 30 phone check

step "ten tasks added while the server is down wait, and arrive once each despite a kill"
kill "$RADICALE_PID"; wait "$RADICALE_PID" || true
for i in $(seq 1 10); do [[ $(hook "add Tarea $i #sin_red") == tasks=* ]] || fail "add $i"; done
drive <<'EOF_PY'
until("the reason on the settings line",
      lambda: named("Sin conexión con 127.0.0.1 · 10 cambios pendientes"), 60)
until("the gear's mark", lambda: named("Ajustes").description == "La sincronización falla")
EOF_PY
start_radicale
drive "$LORVANE_PID" <<'EOF_PY' # killed at the first write that reaches the server
press("Sincronizar…")
press("Sincronizar ahora")
deadline = time.monotonic() + 30
while not logged("radicale.log", "PUT response") and time.monotonic() < deadline: time.sleep(0.002)
os.kill(int(sys.argv[1]), 9)
print(f"killed with {logged('radicale.log', 'PUT response')} of 10 writes answered")
EOF_PY
wait "$LORVANE_PID" || true
start_lorvane
wait_for "each task once on the phone" 60 phone count 12
drive <<'EOF_PY'
until("twelve tasks, each once", lambda: len(set(stored())) == len(stored()) == 12)
EOF_PY

step "the password is in the keyring, and in no file of Lorvane's"
[[ $(secret-tool lookup server io.github.lorvane.Lorvane user "alice@$SERVER") == secret ]] ||
    fail "the password is not in the keyring"
grep -rq secret "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$WORK/lorvane.log" &&
    fail "the password is in a file"
stop_lorvane
echo "PASS"
