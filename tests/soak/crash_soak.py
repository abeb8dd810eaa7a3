#!/usr/bin/env python3
"""Crash test: the program killed with SIGKILL while it saves changes.

Each round starts lorvane-testing on a private config folder, sends a burst of changes through
its test socket (add, toggle, priority, edit, delete) and kills it: during start-up, in the
middle of the burst, or after every change was answered. The preferences file must then hold a
whole, readable document equal to the list after one of the changes: at least every change
acknowledged, at most every change sent. The next start must answer and load that list.
The file is read without any of the program's code: the INI value is unescaped as QSettings
writes it and the JSON is parsed by Python.
"""

import argparse
import json
import os
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

BURST = 40  # most changes sent in a round
ROUNDS_PER_FOLDER = 10  # then a fresh config folder, so that kills also land on a first start
START_WINDOW = 0.6  # seconds after launch within which start-up kills land
KILL_WINDOW = 0.05  # most seconds between the last answer read and a mid-burst kill
MEMBERS = ["id", "text", "isDone", "isPriority", "tags"]
UPPER_UUID = re.compile(r"[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")
WORDS = "pan leche llamar Ana correo médico 42 x , ; = ' % [ ] ( ) \" \\ @ByteArray(".split()
TAGS = ["casa", "Casa", "trabajo", "a_b", "t2"]


class Loss(Exception):
    """The file holds something the program may not have saved."""


def ini_value(raw):
    """One value as QSettings reads it back: outer quotes dropped, backslash escapes resolved."""
    if len(raw) > 1 and raw[0] == raw[-1] == '"':
        raw = raw[1:-1]
    elif "," in raw:
        raise Loss("the stored value reads as a list")

    def unescape(match):
        code = match.group(1)
        if code[0] == "x" or code[0] in "01234567":
            return chr(int(code[1:] or "0", 16) if code[0] == "x" else int(code, 8))
        return {"a": "\a", "b": "\b", "f": "\f", "n": "\n", "r": "\r", "t": "\t",
                "v": "\v"}.get(code, code)

    return re.sub(r"\\(x[0-9a-fA-F]*|[0-7]+|.)", unescape, raw)


def stored_tasks(path):
    """The records under lorvane.tasks, checked against the normal form; None when absent."""
    try:
        with open(path, "rb") as f:
            content = f.read().decode("utf-8")
    except FileNotFoundError:
        return None
    except UnicodeDecodeError as error:
        raise Loss(f"the file is not UTF-8: {error}")
    if not content.endswith("\n"):
        raise Loss("the file does not end with a line break (torn?)")
    for line in content.splitlines():
        key, _, value = line.partition("=")
        if key != "lorvane.tasks":
            continue
        value = ini_value(value)
        if not (value.startswith("@ByteArray(") and value.endswith(")")):
            raise Loss(f"lorvane.tasks is not a byte array: {value[:80]!r}")
        try:
            records = json.loads(value[11:-1].encode("latin-1").decode("utf-8"))
        except (UnicodeError, json.JSONDecodeError) as error:
            raise Loss(f"the stored list is not JSON: {error}")
        for record in records:
            if list(record) != MEMBERS or not UPPER_UUID.fullmatch(record["id"]):
                raise Loss(f"a record is not in normal form: {str(record)[:120]}")
        return records
    return None


def same(model, stored):
    """Field for field, with the tags the program finds in an ASCII text."""
    def tags(text):
        found = [t for t in re.findall(r"#(\w+)", text, re.ASCII)]
        return [t for i, t in enumerate(found) if t.lower() not in map(str.lower, found[:i])]
    return len(model) == len(stored) and all(
        m["id"] in (None, s["id"]) and (m["text"], m["isDone"], m["isPriority"], tags(m["text"]))
        == (s["text"], s["isDone"], s["isPriority"], s["tags"]) for m, s in zip(model, stored))


class App:
    def __init__(self, binary, home):
        self.socket_path = os.path.join(home, "runtime", "hooks.sock")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", LC_ALL="C.UTF-8",
                   XDG_CONFIG_HOME=os.path.join(home, "config"),
                   XDG_RUNTIME_DIR=os.path.join(home, "runtime"),
                   LORVANE_TEST_SOCKET=self.socket_path)
        for name in ("DISPLAY", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        with open(os.path.join(home, "lorvane.log"), "ab") as log:
            self.process = subprocess.Popen([binary], env=env, stdout=log,
                                            stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.sock = None

    def connect(self, timeout=20.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError(f"lorvane exited with status {self.process.returncode}")
            try:
                self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                self.sock.connect(self.socket_path)
                self.reader = self.sock.makefile("rb")
                self.send(["ping"])
                if self.receive() == "pong":
                    return
            except OSError:
                self.sock.close()
            time.sleep(0.02)
        raise RuntimeError(f"lorvane did not answer within {timeout:.0f} s of starting")

    def send(self, lines):
        self.sock.sendall("".join(line + "\n" for line in lines).encode("utf-8"))

    def receive(self):
        line = self.reader.readline()
        if not line:
            raise RuntimeError("the test socket closed")
        return line.decode("utf-8").rstrip("\n")

    def kill(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGKILL)
        self.process.wait()
        if self.sock:
            self.sock.close()


class Soak:
    def __init__(self, args):
        self.args, self.rng = args, random.Random(args.seed)
        self.root = tempfile.mkdtemp(prefix="lorvane-soak-")
        self.kills = self.losses = self.failures = self.sent = self.acknowledged = 0
        self.rounds = self.homes = 0
        self.kinds = {"start-up": 0, "mid-burst": 0, "idle": 0}
        self.new_home()

    def new_home(self):
        self.homes += 1
        self.home = os.path.join(self.root, f"home-{self.homes}")
        os.makedirs(os.path.join(self.home, "config"))
        os.makedirs(os.path.join(self.home, "runtime"), mode=0o700)
        self.conf = os.path.join(self.home, "config", "lorvane", "lorvane.conf")
        self.model = []  # the list last found on disk, ids learnt from it

    def change(self, tasks):
        """One command and the list after it."""
        text = " ".join(self.rng.sample(WORDS, self.rng.randint(1, 5)) +
                        ["#" + self.rng.choice(TAGS) for _ in range(self.rng.randint(0, 2))])
        after = [dict(t) for t in tasks]
        # The list grows to a few dozen tasks and stays there.
        weights = {"add": 8 if len(tasks) < 40 else 1, "toggle": 2, "priority": 2, "edit": 2,
                   "delete": 6 if len(tasks) > 60 else 1}
        kind = self.rng.choices(list(weights), list(weights.values()))[0] if tasks else "add"
        if kind == "add":
            after.append({"id": None, "text": text, "isDone": False, "isPriority": False})
            return f"add {text}", after
        at = self.rng.randrange(len(tasks))
        if kind == "delete":
            del after[at]
            return f"delete {at}", after
        if kind == "edit":
            after[at]["text"] = text
            return f"edit {at} {text}", after
        member = "isDone" if kind == "toggle" else "isPriority"
        after[at][member] = not after[at][member]
        return f"{kind} {at}", after

    def verify(self, candidates, what):
        stored = stored_tasks(self.conf)
        if stored is None and candidates[0]:
            raise Loss(f"{what}: nothing stored, yet {len(candidates[0])} tasks were acknowledged")
        match = next((c for c in candidates if same(c, stored or [])), None)
        if match is None:
            raise Loss(f"{what}: the stored {len(stored)} tasks are none of the "
                       f"{len(candidates)} lists that may have been saved")
        self.model = [dict(t, id=s["id"]) for t, s in zip(match, stored or [])]
        folder = os.path.dirname(self.conf)
        for name in [""] + os.listdir(folder) if os.path.isdir(folder) else []:
            mode = os.stat(os.path.join(folder, name)).st_mode & 0o777
            if mode & 0o077 and not name.endswith((".lock", ".rmlock")):
                raise Loss(f"{name or 'the folder'} is open to others (mode {mode:o})")

    def round(self):
        app = App(self.args.binary, self.home)
        kind = self.rng.choices(list(self.kinds), [15, 75, 10])[0]
        candidates = [self.model]  # from the last list acknowledged to the last one sent
        try:
            if kind == "start-up":
                time.sleep(self.rng.uniform(0, START_WINDOW))
                return
            app.connect()
            app.send(["tasks"])
            if app.receive() != f"tasks={len(self.model)}":
                raise Loss(f"the start did not load the {len(self.model)} tasks of the file")
            lines = []
            for _ in range(self.rng.randint(1, BURST)):
                line, after = self.change(candidates[-1])
                lines.append(line)
                candidates.append(after)
            app.send(lines)
            self.sent += len(lines)
            answered = len(lines) if kind == "idle" else self.rng.randrange(len(lines))
            for index in range(answered):
                answer = app.receive()
                if answer != f"tasks={len(candidates[index + 1])}":
                    raise RuntimeError(f"{lines[index][:40]!r} answered {answer!r}")
            candidates = candidates[answered:]
            self.acknowledged += answered
            if kind == "mid-burst":
                time.sleep(self.rng.uniform(0, KILL_WINDOW))
        finally:
            if app.process.poll() is None:
                self.kills += 1
                self.kinds[kind] += 1
            app.kill()
            self.verify(candidates, f"kill {self.kills} ({kind})")

    def run(self):
        started = time.monotonic()
        while self.kills < self.args.kills:
            try:
                self.round()
            except (Loss, RuntimeError) as error:
                is_loss = isinstance(error, Loss)
                self.losses += is_loss
                self.failures += not is_loss
                print(f"{'LOSS' if is_loss else 'FAILURE'} at kill {self.kills}: {error}")
                evidence = os.path.join(self.args.evidence, os.path.basename(self.home))
                shutil.rmtree(evidence, ignore_errors=True)
                shutil.copytree(self.home, evidence, ignore=shutil.ignore_patterns("runtime"))
                print(f"  evidence kept in {evidence}", flush=True)
                self.new_home()
                continue
            self.rounds += 1
            if self.rounds % ROUNDS_PER_FOLDER == 0:
                self.new_home()
        kinds = ", ".join(f"{n} {k}" for k, n in self.kinds.items())
        print(f"crash soak: {self.kills} kills ({kinds}), {self.losses} losses, {self.failures} "
              f"failed starts; {self.sent} changes sent, {self.acknowledged} acknowledged before "
              f"a kill; {time.monotonic() - started:.0f} s")
        return 1 if self.losses or self.failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--binary", required=True)
    parser.add_argument("--kills", type=int, default=20)
    parser.add_argument("--seed", type=int, default=random.SystemRandom().randrange(1 << 31))
    parser.add_argument("--evidence", default="crash-soak-evidence",
                        help="where the folder of a failed round is copied")
    args = parser.parse_args()
    if not os.access(args.binary, os.X_OK):
        sys.exit(f"no executable at {args.binary}")
    print(f"crash soak: {args.kills} kills, seed {args.seed}", flush=True)
    soak = Soak(args)
    try:
        status = soak.run()
    finally:
        shutil.rmtree(soak.root, ignore_errors=True)
    sys.exit(status)


if __name__ == "__main__":
    main()
