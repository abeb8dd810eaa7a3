#!/usr/bin/env python3
"""Crash test: lorvane-testing killed with SIGKILL during start-up, in a burst of changes sent
through its test socket, or once all were answered. The preferences file must then hold a whole,
readable list: at least every change acknowledged, at most every change sent; the next start
must answer and load it. The file is read without the program's code."""

import argparse, json, os, random, re, shutil, signal, socket, subprocess, tempfile, time

BURST, ROUNDS_PER_FOLDER = 40, 10  # a fresh folder now and then: kills land on first starts too
START_WINDOW, KILL_WINDOW = 0.6, 0.05  # seconds within which start-up and mid-burst kills land
WORDS = "pan leche Ana médico 42 x , ; = ' % [ ] ( ) \" \\ @ByteArray(".split()
TAGS = ["casa", "Casa", "trabajo", "a_b", "t2"]
ESCAPES = {"a": "\a", "b": "\b", "f": "\f", "n": "\n", "r": "\r", "t": "\t", "v": "\v"}


class Loss(Exception):
    """The file holds something the program may not have saved."""


def unescape(match):  # as QSettings reads a value back
    code = match.group(1)
    if code[0] == "x":
        return chr(int(code[1:] or "0", 16))
    return chr(int(code, 8)) if code[0] in "01234567" else ESCAPES.get(code, code)


def stored_tasks(path):
    """The records under lorvane.tasks, checked against the normal form; [] when absent."""
    try:
        with open(path, "rb") as f:
            content = f.read().decode("utf-8")
    except FileNotFoundError:
        return []
    if not content.endswith("\n"):
        raise Loss("the file does not end with a line break (torn?)")
    for key, _, value in (line.partition("=") for line in content.splitlines()):
        if key == "lorvane.tasks":
            value = re.sub(r"\\(x[0-9a-fA-F]*|[0-7]+|.)", unescape, value.strip('"'))
            if not value.startswith("@ByteArray(") or not value.endswith(")"):
                raise Loss(f"lorvane.tasks is not a byte array: {value[:80]!r}")
            records = json.loads(value[11:-1].encode("latin-1").decode("utf-8"))
            for record in records:
                if list(record) != ["id", "text", "isDone", "isPriority", "tags"] or \
                        not re.fullmatch(r"[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}", record["id"]):
                    raise Loss(f"a record is not in normal form: {str(record)[:120]}")
            return records
    return []


def same(model, stored):
    """Field for field, with the tags the program finds in an ASCII text."""
    def tags(text):
        found = re.findall(r"#(\w+)", text, re.ASCII)
        return [t for i, t in enumerate(found) if t.lower() not in map(str.lower, found[:i])]
    return len(model) == len(stored) and all(
        m["id"] in (None, s["id"]) and (m["text"], m["isDone"], m["isPriority"], tags(m["text"]))
        == (s["text"], s["isDone"], s["isPriority"], s["tags"]) for m, s in zip(model, stored))


def change(rng, tasks):
    """One command and the list after it; the list grows to a few dozen tasks."""
    text = " ".join(rng.sample(WORDS, rng.randint(1, 5)) + ["#" + t for t in rng.sample(TAGS, 2)])
    kind = rng.choices(["add", "toggle", "priority", "edit", "delete"],
                       [8 if len(tasks) < 40 else 1, 2, 2, 2, 6 if len(tasks) > 60 else 1])[0]
    after, at = [dict(t) for t in tasks], rng.randrange(max(len(tasks), 1))
    if kind == "add" or not tasks:
        return f"add {text}", after + [dict(id=None, text=text, isDone=False, isPriority=False)]
    if kind == "delete":
        return f"delete {at}", after[:at] + after[at + 1:]
    member = {"toggle": "isDone", "priority": "isPriority", "edit": "text"}[kind]
    after[at][member] = text if kind == "edit" else not after[at][member]
    return f"{kind} {at}" + (f" {text}" if kind == "edit" else ""), after


def round_(binary, rng, home, model, counts):
    """One start, burst and kill; the list then on disk, with the ids learnt from it."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", LC_ALL="C.UTF-8", DISPLAY="",
               XDG_CONFIG_HOME=f"{home}/config", XDG_STATE_HOME=f"{home}/state",
               XDG_RUNTIME_DIR=f"{home}/runtime",
               LORVANE_TEST_SOCKET=f"{home}/runtime/hooks.sock", WAYLAND_DISPLAY="")
    process = subprocess.Popen([binary], env=env, stdout=open(f"{home}/lorvane.log", "ab"),
                               stderr=subprocess.STDOUT)
    kind = rng.choices(["start-up", "mid-burst", "idle"], [15, 75, 10])[0]
    candidates = [model]  # from the last list acknowledged to the last one sent
    try:
        if kind == "start-up":
            return time.sleep(rng.uniform(0, START_WINDOW))
        sock, deadline = socket.socket(socket.AF_UNIX), time.monotonic() + 20
        while sock.connect_ex(f"{home}/runtime/hooks.sock"):  # the start must answer, and soon
            if time.monotonic() > deadline or process.poll() is not None:
                raise RuntimeError("lorvane did not answer within 20 s of starting")
            time.sleep(0.02)
        sock.settimeout(20)
        answers = sock.makefile("rb")
        lines = ["tasks"]
        for _ in range(rng.randint(1, BURST)):
            line, after = change(rng, candidates[-1])
            lines.append(line)
            candidates.append(after)
        sock.sendall("".join(line + "\n" for line in lines).encode("utf-8"))
        answered = len(lines) - 1 if kind == "idle" else rng.randrange(len(lines) - 1)
        for index in range(answered + 1):
            answer = answers.readline().decode("utf-8").rstrip("\n")
            if answer != f"tasks={len(candidates[index])}":
                raise Loss(f"{lines[index][:40]!r} answered {answer!r}")
        candidates = candidates[answered:]
        counts["sent"] += len(lines) - 1
        counts["acknowledged"] += answered
        if kind == "mid-burst":
            time.sleep(rng.uniform(0, KILL_WINDOW))
    finally:
        counts["kills"] += process.poll() is None
        process.send_signal(signal.SIGKILL)
        process.wait()
        stored = stored_tasks(f"{home}/config/lorvane/lorvane.conf")
        match = next((c for c in candidates if same(c, stored)), None)
        if match is None:
            raise Loss(f"kill {counts['kills']} ({kind}): the file holds {len(stored)} tasks, "
                       f"none of the {len(candidates)} lists that may have been saved")
    return [dict(t, id=s["id"]) for t, s in zip(match, stored)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--binary", required=True)
    parser.add_argument("--kills", type=int, default=20)
    parser.add_argument("--seed", type=int, default=random.SystemRandom().randrange(1 << 31))
    parser.add_argument("--evidence", default="crash-soak-evidence")
    args = parser.parse_args()
    print(f"crash soak: {args.kills} kills, seed {args.seed}", flush=True)
    rng, root, started = random.Random(args.seed), tempfile.mkdtemp(), time.monotonic()
    counts = dict(kills=0, losses=0, failures=0, sent=0, acknowledged=0)
    rounds = homes = 0
    try:
        while counts["kills"] < args.kills:
            if rounds % ROUNDS_PER_FOLDER == 0:
                homes, model = homes + 1, []
                home = f"{root}/home-{homes}"
                os.makedirs(f"{home}/runtime", mode=0o700)
            rounds += 1
            try:
                model = round_(args.binary, rng, home, model, counts) or model
            except (Loss, RuntimeError, OSError, ValueError) as error:
                kind = "losses" if isinstance(error, (Loss, ValueError)) else "failures"
                counts[kind] += 1
                evidence = shutil.copytree(home, f"{args.evidence}/{os.path.basename(root)}-{homes}",
                                           ignore=shutil.ignore_patterns("runtime"))
                print(f"{kind.upper()}: {error}\n  evidence kept in {evidence}", flush=True)
                rounds = 0  # a fresh folder
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print("crash soak: {kills} kills, {losses} losses, {failures} failed starts; {sent} changes "
          "sent, {acknowledged} acknowledged before a kill;".format(**counts),
          f"{time.monotonic() - started:.0f} s", flush=True)
    raise SystemExit(1 if counts["losses"] or counts["failures"] else 0)


if __name__ == "__main__":
    main()
