#!/usr/bin/env python3
"""Crash test: the real lorvane binary killed with SIGKILL at random moments.

Each round starts lorvane (offscreen, with private XDG_CONFIG_HOME and XDG_RUNTIME_DIR),
drives it through its test socket with a burst of changes (add, toggle, flag, edit, delete)
and kills it at a random moment: during start-up, in the middle of the burst, or idle.
After every kill the preferences file must hold a complete, readable document equal to the
list after one of the changes the app may have made: at least every acknowledged change, at
most every change sent. The next start must load that list, and answer within 20 s. A round
that breaks any of this is a loss (or a failed start); the script then exits non-zero.

The file is read without any of Lorvane's own code: the INI layer is unescaped as QSettings
writes it and the document is parsed with Python's json module.
"""

import argparse
import json
import os
import random
import re
import shutil
import signal
import socket
import stat
import string
import subprocess
import sys
import tempfile
import time

CHANGES = ("add", "toggle", "priority", "edit", "delete")
UUID_UPPER = re.compile(r"^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")
MEMBERS = ["id", "text", "isDone", "isPriority", "tags"]


class Loss(Exception):
    """The stored list is not one the app may have saved."""


# ---------------------------------------------------------------------------------------
# Reading the preferences file

def ini_unescape(raw):
    """One INI value as QSettings reads it back (quotes, backslash escapes, \\x and octal)."""
    simple = {"a": "\a", "b": "\b", "f": "\f", "n": "\n", "r": "\r", "t": "\t", "v": "\v",
              '"': '"', "?": "?", "'": "'", "\\": "\\"}
    out = []
    i, n = 0, len(raw)
    quoted = in_quotes = False
    while i < n and raw[i] in " \t":
        i += 1
    while i < n:
        c = raw[i]
        if c == "\\":
            i += 1
            if i >= n:
                break
            e = raw[i]
            i += 1
            if e in simple:
                out.append(simple[e])
            elif e == "x":
                value, digits = 0, 0
                while i < n and raw[i] in string.hexdigits:
                    value = (value * 16 + int(raw[i], 16)) & 0xFFFF
                    i += 1
                    digits += 1
                if digits:
                    out.append(chr(value))
            elif e in "01234567":
                value = int(e)
                while i < n and raw[i] in "01234567":
                    value = (value * 8 + int(raw[i])) & 0xFFFF
                    i += 1
                out.append(chr(value))
            continue
        if c == '"':
            quoted = True
            in_quotes = not in_quotes
            i += 1
            continue
        if c == "," and not in_quotes:
            raise Loss("the stored value reads as a list of strings")
        j = i + 1
        while j < n and raw[j] not in '\\",':
            j += 1
        out.append(raw[i:j])
        i = j
    value = "".join(out)
    return value if quoted else value.rstrip(" \t")


def read_document(path):
    """The bytes stored under lorvane.tasks, None when the key is absent."""
    try:
        with open(path, "rb") as f:
            content = f.read()
    except FileNotFoundError:
        return None
    try:
        text = content.decode("utf-8")
    except UnicodeDecodeError as error:
        raise Loss(f"the preferences file is not UTF-8: {error}")
    if content and not content.endswith(b"\n"):
        raise Loss("the preferences file does not end with a line break (torn?)")
    document = None
    for line in text.split("\n"):
        if not line or line.startswith("["):
            continue
        key, sep, value = line.partition("=")
        if not sep:
            raise Loss(f"a line of the preferences file is not key=value: {line[:80]!r}")
        if key == "lorvane.tasks":
            value = ini_unescape(value)
            if not (value.startswith("@ByteArray(") and value.endswith(")")):
                raise Loss(f"lorvane.tasks is not a byte array: {value[:80]!r}")
            try:
                document = value[len("@ByteArray("):-1].encode("latin-1")
            except UnicodeEncodeError:
                raise Loss("lorvane.tasks holds characters beyond one byte")
    return document


def parse_tasks(document):
    """The records of a stored document, checked against the normal form the app writes."""
    try:
        records = json.loads(document.decode("utf-8"))
    except (UnicodeDecodeError, json.JSONDecodeError) as error:
        raise Loss(f"the stored document is not JSON: {error}")
    if not isinstance(records, list):
        raise Loss("the stored document is not an array")
    tasks = []
    for record in records:
        if not isinstance(record, dict) or list(record) != MEMBERS:
            raise Loss(f"a stored record is not in normal form: {str(record)[:120]}")
        if not UUID_UPPER.match(record["id"]):
            raise Loss(f"a stored id is not an upper-case UUID: {record['id']!r}")
        tasks.append(record)
    return tasks


# ---------------------------------------------------------------------------------------
# What the app should have stored

def extract_tags(text):
    """Tags of an ASCII text: words after '#', first spelling kept, compared lower-cased."""
    seen, tags = set(), []
    for tag in re.findall(r"#(\w+)", text, re.ASCII):
        if tag.lower() not in seen:
            seen.add(tag.lower())
            tags.append(tag)
    return tags


def same_list(model, stored):
    """Whether the stored records are the model's, field for field (ids where known)."""
    if len(model) != len(stored):
        return False
    for expected, record in zip(model, stored):
        if expected["id"] is not None and expected["id"] != record["id"]:
            return False
        if (expected["text"], expected["isDone"], expected["isPriority"]) != (
                record["text"], record["isDone"], record["isPriority"]):
            return False
        if extract_tags(expected["text"]) != record["tags"]:
            return False
    return True


def describe(tasks):
    return "[" + ", ".join(
        f"{t['text'][:24]!r}{' done' if t['isDone'] else ''}{' prio' if t['isPriority'] else ''}"
        for t in tasks[:6]) + (f", ... {len(tasks)} in all]" if len(tasks) > 6 else "]")


WORDS = ["pan", "leche", "llamar", "a", "Ana", "revisar", "correo", "informe", "comprar",
         "regar", "plantas", "pagar", "luz", "cita", "médico", "x", "42", "tarea"]
TAGS = ["casa", "Casa", "trabajo", "urgente", "compra", "a_b", "t2", "lista"]
SPICE = ['"', "\\", ",", ";", "=", "'", "%", "[", "]", "(", ")", "@ByteArray(", "\\x41"]


def random_text(rng):
    words = [rng.choice(WORDS) for _ in range(rng.randint(1, 6))]
    for _ in range(rng.randint(0, 2)):
        words.insert(rng.randint(0, len(words)), "#" + rng.choice(TAGS))
    if rng.random() < 0.3:
        words.insert(rng.randint(0, len(words)), rng.choice(SPICE))
    # Plain ASCII only for tags, so that the tags above are the app's tags too; "médico"
    # stays outside any tag word.
    return " ".join(words)


# ---------------------------------------------------------------------------------------
# The app under test

class App:
    def __init__(self, binary, config_home, runtime_dir, log_path):
        self.socket_path = os.path.join(runtime_dir, "hooks.sock")
        env = dict(os.environ)
        env.update({
            "QT_QPA_PLATFORM": "offscreen",
            "XDG_CONFIG_HOME": config_home,
            "XDG_RUNTIME_DIR": runtime_dir,
            "LORVANE_TEST_SOCKET": self.socket_path,
            "LC_ALL": "C.UTF-8",
        })
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        self.log = open(log_path, "ab")
        self.process = subprocess.Popen([binary], env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.sock = None
        self.reader = None

    def connect(self, timeout=20.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError(f"lorvane exited with status {self.process.returncode}")
            try:
                sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                sock.connect(self.socket_path)
                self.sock = sock
                self.reader = sock.makefile("rb")
                if self.request("ping") == "pong":
                    return
            except (FileNotFoundError, ConnectionRefusedError):
                sock.close()
            time.sleep(0.02)
        raise RuntimeError(f"lorvane did not answer within {timeout:.0f} s of starting "
                           f"(stalled?)")

    def send(self, line):
        self.sock.sendall(line.encode("utf-8") + b"\n")

    def receive(self):
        line = self.reader.readline()
        if not line:
            raise RuntimeError("the test socket closed")
        return line.decode("utf-8").rstrip("\n")

    def request(self, line):
        self.send(line)
        return self.receive()

    def kill(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGKILL)
        self.process.wait()
        self.close()

    def quit(self):
        try:
            self.request("quit")
        except (OSError, RuntimeError):
            pass
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.kill()
        self.close()

    def close(self):
        for thing in (self.reader, self.sock):
            if thing is not None:
                try:
                    thing.close()
                except OSError:
                    pass
        self.reader = self.sock = None
        self.log.close()


# ---------------------------------------------------------------------------------------
# The soak

class Soak:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.root = tempfile.mkdtemp(prefix="lorvane-soak-", dir=args.tmp)
        self.kills = 0
        self.losses = 0
        self.failures = 0
        self.kinds = {"start-up": 0, "mid-burst": 0, "idle": 0}
        self.changes_sent = 0
        self.changes_acknowledged = 0
        self.largest = 0
        self.stray_files = set()
        self.supported = ["add"]
        self.probed = False
        self.ready_times = []
        self.episode = 0
        self.new_episode()

    def new_episode(self):
        self.episode += 1
        base = os.path.join(self.root, f"episode-{self.episode}")
        self.config_home = os.path.join(base, "config")
        self.runtime_dir = os.path.join(base, "runtime")
        os.makedirs(self.config_home)
        os.makedirs(self.runtime_dir, mode=0o700)
        self.log_path = os.path.join(base, "lorvane.log")
        # The list as last verified on disk; ids are learnt from the file.
        self.model = []

    @property
    def conf_path(self):
        return os.path.join(self.config_home, "lorvane", "lorvane.conf")

    def start(self):
        return App(self.args.binary, self.config_home, self.runtime_dir, self.log_path)

    def probe_commands(self, app):
        for name in CHANGES[1:]:
            # An out-of-range position changes nothing; an unknown command says so.
            if not app.request(f"{name} -1").startswith("error unknown command"):
                self.supported.append(name)

    def next_change(self, tasks):
        names = [n for n in self.supported if n == "add" or tasks]
        # Let the list grow to a few dozen tasks and keep it there.
        weights = {"add": 8 if len(tasks) < 40 else 2, "delete": 6 if len(tasks) > 80 else 1}
        weights = [weights.get(n, 2) for n in names]
        name = self.rng.choices(names, weights)[0]
        after = [dict(t) for t in tasks]
        if name == "add":
            text = random_text(self.rng)
            after.append({"id": None, "text": text, "isDone": False, "isPriority": False})
            return f"add {text}", after
        position = self.rng.randrange(len(tasks))
        if name == "toggle":
            after[position]["isDone"] = not after[position]["isDone"]
            return f"toggle {position}", after
        if name == "priority":
            after[position]["isPriority"] = not after[position]["isPriority"]
            return f"priority {position}", after
        if name == "edit":
            text = random_text(self.rng)
            after[position]["text"] = text
            return f"edit {position} {text}", after
        del after[position]
        return f"delete {position}", after

    def verify(self, candidates, what):
        """The file must equal one of the candidate lists; returns the stored records."""
        document = read_document(self.conf_path)
        if document is None:
            # Nothing stored yet is right only while no task was ever acknowledged.
            if candidates[0]:
                raise Loss(f"{what}: nothing stored although the list was not empty")
            return []
        stored = parse_tasks(document)
        for candidate in candidates:
            if same_list(candidate, stored):
                return stored
        raise Loss(f"{what}: the stored list {describe(stored)} is none of the "
                   f"{len(candidates)} lists the app may have saved, the last acknowledged "
                   f"being {describe(candidates[0])}")

    def check_folder(self):
        """The folder is private, and so is every file in it that can hold tasks."""
        folder = os.path.dirname(self.conf_path)
        if not os.path.isdir(folder):
            return
        mode = os.stat(folder).st_mode & 0o777
        if mode != 0o700:
            raise Loss(f"the preferences folder has mode {mode:o}")
        for name in os.listdir(folder):
            path = os.path.join(folder, name)
            mode = os.stat(path).st_mode & 0o777
            # QSettings' lock files hold a process id and a host name, no tasks.
            if mode & 0o077 and not name.endswith((".lock", ".rmlock")):
                raise Loss(f"{name} is readable by others (mode {mode:o})")
            if name != "lorvane.conf":
                self.stray_files.add(path)

    def round(self):
        app = self.start()
        kind = self.rng.choices(["start-up", "mid-burst", "idle"], [15, 75, 10])[0]
        # Lists the file may hold, from the last acknowledged one to the last one sent.
        candidates = [self.model]
        try:
            if kind == "start-up":
                # Within the time a start takes, so the kill lands while the list is loaded
                # and saved back, or while the window is still being made.
                window = max(self.ready_times) if self.ready_times else self.args.startup_window
                time.sleep(self.rng.uniform(0, window))
            else:
                launched = time.monotonic()
                app.connect()
                self.ready_times.append(time.monotonic() - launched)
                if not self.probed:
                    self.probe_commands(app)
                    self.probed = True
                loaded = app.request("tasks")
                if loaded != f"tasks={len(self.model)}":
                    raise Loss(f"the start loaded {loaded}, the file holds "
                               f"{len(self.model)} tasks")
                # The start saved the loaded list back; it must still be the same list.
                self.verify([self.model], f"start after kill {self.kills}")
                burst = self.rng.randint(1, self.args.burst)
                lines = []
                for _ in range(burst):
                    line, after = self.next_change(candidates[-1])
                    lines.append(line)
                    candidates.append(after)
                app.sock.sendall("".join(l + "\n" for l in lines).encode("utf-8"))
                self.changes_sent += burst
                wait_for = burst if kind == "idle" else self.rng.randint(0, burst - 1)
                for index in range(wait_for):
                    answer = app.receive()
                    expected = f"tasks={len(candidates[index + 1])}"
                    if answer != expected:
                        raise RuntimeError(f"{lines[index]!r} answered {answer!r}, "
                                           f"expected {expected!r}")
                    self.changes_acknowledged += 1
                # Everything acknowledged is on disk: drop the lists before it.
                candidates = candidates[wait_for:]
                if kind == "mid-burst":
                    time.sleep(self.rng.uniform(0, self.args.kill_window))
        finally:
            was_running = app.process.poll() is None
            app.kill()
            if was_running:
                self.kills += 1
                self.kinds[kind] += 1

        stored = self.verify(candidates, f"kill {self.kills} ({kind})")
        for candidate in candidates:
            if same_list(candidate, stored):
                self.model = [dict(t, id=s["id"]) for t, s in zip(candidate, stored)]
                break
        self.largest = max(self.largest, len(self.model))
        self.check_folder()

    def run(self):
        started = time.monotonic()
        self.episode_rounds = 0
        while self.kills < self.args.kills:
            try:
                self.round()
            except Loss as loss:
                self.losses += 1
                print(f"LOSS: {loss}", flush=True)
                self.keep_evidence()
                self.new_episode()
                self.episode_rounds = 0
                continue
            except RuntimeError as error:
                self.failures += 1
                print(f"FAILURE after {self.kills} kills: {error}", flush=True)
                self.keep_evidence()
                self.new_episode()
                self.episode_rounds = 0
                continue
            self.episode_rounds += 1
            if self.episode_rounds >= self.args.episode:
                self.finish_episode()
        self.finish_episode()
        elapsed = time.monotonic() - started
        print(f"crash soak: {self.kills} kills ({self.kinds['start-up']} during start-up, "
              f"{self.kinds['mid-burst']} mid-burst, {self.kinds['idle']} idle), "
              f"{self.losses} losses, {self.failures} failed starts")
        print(f"  changes: {self.changes_sent} sent, {self.changes_acknowledged} acknowledged "
              f"before a kill; commands used: {', '.join(self.supported)}")
        print(f"  largest list: {self.largest} tasks; files left beside the preferences "
              f"by kills: {self.stray_summary()}; {elapsed:.0f} s")
        if len(self.supported) < len(CHANGES):
            missing = [c for c in CHANGES if c not in self.supported]
            print(f"  note: the test socket offers no {', '.join(missing)}; "
                  f"the stream used the other changes only")
        return 1 if self.losses or self.failures else 0

    def stray_summary(self):
        kinds = {}
        for path in self.stray_files:
            kind = re.sub(r"\.(?!rmlock$)[A-Za-z0-9]{6}$", ".XXXXXX", os.path.basename(path))
            kinds[kind] = kinds.get(kind, 0) + 1
        return ", ".join(f"{count} {kind}" for kind, count in sorted(kinds.items())) or "none"

    def finish_episode(self):
        """A clean start and quit must load the last list and leave it unchanged."""
        if self.episode_rounds == 0:
            return
        app = self.start()
        try:
            app.connect()
            loaded = app.request("tasks")
            if loaded != f"tasks={len(self.model)}":
                raise Loss(f"the final start loaded {loaded}, expected {len(self.model)}")
            app.quit()
            self.verify([self.model], "after a clean quit")
        except Loss as loss:
            self.losses += 1
            print(f"LOSS: {loss}", flush=True)
            self.keep_evidence()
        except RuntimeError as error:
            self.failures += 1
            print(f"FAILURE at the final start: {error}", flush=True)
            self.keep_evidence()
        finally:
            app.kill()
        self.new_episode()
        self.episode_rounds = 0

    def keep_evidence(self):
        evidence = os.path.join(self.args.evidence, f"episode-{self.episode}")
        shutil.rmtree(evidence, ignore_errors=True)
        def sockets(folder, names):
            return [n for n in names
                    if stat.S_ISSOCK(os.lstat(os.path.join(folder, n)).st_mode)]
        shutil.copytree(os.path.dirname(self.config_home), evidence, ignore=sockets)
        print(f"  evidence kept in {evidence}", flush=True)

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--binary", required=True)
    parser.add_argument("--kills", type=int, default=20)
    parser.add_argument("--seed", type=int, default=None,
                        help="random seed (printed, so that a failing run can be repeated)")
    parser.add_argument("--burst", type=int, default=40, help="most changes sent per round")
    parser.add_argument("--episode", type=int, default=10,
                        help="kills on one preferences folder before starting afresh")
    parser.add_argument("--startup-window", type=float, default=0.6,
                        help="seconds after launch within which start-up kills land")
    parser.add_argument("--kill-window", type=float, default=0.05,
                        help="most seconds between the last answer read and a mid-burst kill")
    parser.add_argument("--tmp", default=None, help="where the private folders go")
    parser.add_argument("--evidence", default="crash-soak-evidence",
                        help="where the folders of a failed round are copied")
    args = parser.parse_args()
    if args.seed is None:
        args.seed = random.SystemRandom().randrange(1 << 31)
    if not os.access(args.binary, os.X_OK):
        sys.exit(f"no executable at {args.binary}")
    print(f"crash soak: {args.kills} kills, seed {args.seed}", flush=True)
    soak = Soak(args)
    try:
        status = soak.run()
    finally:
        soak.cleanup()
    sys.exit(status)


if __name__ == "__main__":
    main()
