#!/usr/bin/env python3
"""End to end: the real huddlewatch.exe under Wine on pipes, reading windows of the stand-in
meeting applications through the stand-in UI Automation object, which serves each window's
element tree from a file named after the window's title. Checks the lines byte for byte, the
switching of the watched applications, change suppression, the marks, dump mode and the exit
codes.

usage: huddlewatch_e2e_test.py WINE_RUN EXE STANDIN_DLL APP_WINDOWS_EXE FIXTURES WORK WINEPREFIX
"""

import json
import os
import queue
import re
import shutil
import subprocess
import sys
import threading
import time

WINE_RUN, EXE, STANDIN, APP_WINDOWS, FIXTURES, WORK, PREFIX = sys.argv[1:8]
os.environ["WINEPREFIX"] = PREFIX

# CUIAutomation8, whose object answers IUIAutomation2 with its time-outs, and CUIAutomation,
# whose object does not; the stand-in serves both, as Windows 8 and later do.
CLASS_KEY = r"HKLM\Software\Classes\CLSID\{FF48DBA4-60EF-4201-AA87-54103EEF594E}"
CLASS8_KEY = r"HKLM\Software\Classes\CLSID\{E22AD333-B25F-460C-83D0-0581107395C9}"
TREES = os.path.join(WORK, "trees")
LOG = os.path.join(WORK, "standin.log")
TIMEOUT = 15
POLL_MS = 200
ELEMENT_BUDGET = 20000
# A line comes from a poll that starts at most one interval after the one running, each ending
# by its deadline (1.5 s): so the change of a tree shows within this, and the repeat of an
# unchanged state this long after its 5 s.
POLL_DEADLINE_S = 1.5
NEXT_POLL_S = POLL_MS / 1000 + 2 * POLL_DEADLINE_S + 0.3
REPEAT_S = 5
# UI Automation's own time-out would hold a hung window for 20 s.
HUNG_LINE_S = 10

# The meeting applications: executable, then its windows' titles ("--minimized" before one).
# "Zoom settings" has no tree: its snapshot fails at once and it is passed over without a mark.
APPS = [
    ("zoom.exe", ["--minimized", "Zoom Meeting", "Zoom settings"]),
    ("ms-teams.exe", ["Teams chat", "Team call"]),
    ("chrome.exe", ["News", "Meet - weekly sync"]),
]

MEET = ('{"app":"meet","blind":false,"participants":3,"speakers":["Zoë \\"Z\\" O\\\\Neil"],'
        '"truncated":false}')
TEAMS = '{"app":"teams","blind":false,"participants":3,"speakers":["Cy Do"],"truncated":false}'
TEAMS_TWO = ('{"app":"teams","blind":false,"participants":3,"speakers":["Cy Do","Dee Fox"],'
             '"truncated":false}')
ZOOM = '{"app":"zoom","blind":true,"participants":2,"speakers":[],"truncated":false}'

TIMEOUT_CALLS = [
    "put_TransactionTimeout 1000",
    "put_ConnectionTimeout 1000",
]
CACHE_CALLS = [
    "CreateCacheRequest",
    "AddProperty 30005",
    "AddProperty 30012",
    "AddProperty 30003",
    "put_TreeScope 7",
    "get_RawViewCondition",
    "put_TreeFilter",
    "put_AutomationElementMode 0",
]

LINE = re.compile(r'\{"at":(\d+),"pollMs":(\d+),"readings":(.*)\}')

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def readings(*items):
    return "[" + ",".join(items) + "]"


def truncated(item):
    return item.replace('"truncated":false', '"truncated":true')


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine(*args):
    subprocess.run([WINE_RUN, *args], stdin=subprocess.DEVNULL, capture_output=True, timeout=60)


def register(key):
    wine("reg", "add", key + r"\InprocServer32", "/ve", "/d", windows_path(STANDIN), "/f")
    wine("reg", "add", key + r"\InprocServer32", "/v", "ThreadingModel", "/d", "Both", "/f")


def unregister(key):
    wine("reg", "delete", key, "/f")


def setup_calls():
    """The set-up calls the stand-in saw since the log was last taken; the log starts anew."""
    if not os.path.exists(LOG):
        return []
    with open(LOG, encoding="utf-8") as f:
        calls = f.read().splitlines()
    os.remove(LOG)
    return calls


def tree_path(title):
    return os.path.join(TREES, title + ".tree")


def fixture(title):
    with open(os.path.join(FIXTURES, title + ".tree"), encoding="utf-8") as f:
        return f.read()


def write_tree(title, text):
    """Replaces a window's tree at once, so the stand-in reads the old or the new one whole."""
    partial = tree_path(title) + ".new"
    with open(partial, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(partial, tree_path(title))


def padded(text, elements):
    """The tree with leaves added under one more group of the root, `elements` in all."""
    lines = text.splitlines()
    filler = elements - len(lines) - 1
    return "\n".join(lines + ["  50026\t\t"] + ["    50020\t\tfiller"] * filler) + "\n"


def program_env():
    env = dict(os.environ)
    env["HW_STANDIN_TREES"] = windows_path(TREES)
    env["HW_STANDIN_LOG"] = windows_path(LOG)
    return env


class Huddlewatch:
    """One running program with a thread that collects its output lines and their arrival."""

    def __init__(self, *args):
        self.process = subprocess.Popen([WINE_RUN, EXE, *args], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        env=program_env())
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.process.stdout:
            self.lines.put((raw, time.monotonic()))
        self.lines.put((None, time.monotonic()))

    def send(self, text):
        self.process.stdin.write(text.encode() + b"\n")
        self.process.stdin.flush()

    def next_line(self, timeout=TIMEOUT):
        """(readings array, pollMs, arrival) of the next line, or None."""
        try:
            raw, arrival = self.lines.get(timeout=timeout)
        except queue.Empty:
            return None
        if raw is None:
            return None
        check(raw.endswith(b"\n") and not raw.endswith(b"\r\n"), f"a bare LF ends {raw!r}")
        text = raw[:-1].decode("utf-8")
        try:
            json.loads(text)
        except ValueError:
            check(False, f"line parses as JSON: {text!r}")
        match = LINE.fullmatch(text)
        check(match is not None, f"line layout: {text!r}")
        if not match:
            return None
        at = int(match.group(1))
        check(abs(at - time.time() * 1000) < 10000, f'"at" is the wall clock: {at}')
        return match.group(3), int(match.group(2)), arrival

    def expect(self, expected, what, timeout=TIMEOUT, settle=False):
        """The next line, which must hold `expected`. With `settle`, lines before it are passed
        over: after a change of the trees, a poll that had already started still writes the old
        state, and on a busy machine a poll near the deadline may lose its last window, which a
        later poll reads in time."""
        deadline = time.monotonic() + timeout
        seen = []
        while True:
            line = self.next_line(max(0.0, deadline - time.monotonic()))
            if line is None or line[0] == expected or not settle:
                break
            seen.append(line[0])
        check(line is not None and line[0] == expected,
              f"{what}: expected {expected}, got {line and line[0]}"
              + (f" after {seen}" if seen else ""))
        return line

    def close(self):
        self.process.stdin.close()
        return wait_exit(self.process)


def wait_exit(process):
    try:
        return process.wait(TIMEOUT)
    except subprocess.TimeoutExpired:
        process.kill()
        return None


class MeetingApps:
    """The three stand-in applications, each ending when its standard input ends."""

    def __init__(self):
        self.processes = []
        for exe, titles in APPS:
            folder = os.path.join(WORK, "apps", exe[:-4])
            os.makedirs(folder, exist_ok=True)
            shutil.copy(APP_WINDOWS, os.path.join(folder, exe))
            process = subprocess.Popen([WINE_RUN, os.path.join(folder, exe), *titles],
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                       stderr=subprocess.DEVNULL)
            # One after the other, so the last window shown (Meet's) is the foreground window.
            check(process.stdout.readline() == b"ready\n", f"{exe} opened its windows")
            self.processes.append(process)

    def close(self):
        for process in self.processes:
            process.stdin.close()
        for process in self.processes:
            wait_exit(process)


def unavailable():
    """Without the class registered the program says why on standard error and ends with 1."""
    for args in ([], ["--dump"]):
        result = subprocess.run([WINE_RUN, EXE, *args], stdin=subprocess.PIPE,
                                capture_output=True, timeout=60, env=program_env())
        # Wine has no system text for this code; Windows writes it before the value.
        check(result.returncode == 1 and result.stdout == b""
              and re.fullmatch(rb"UI Automation unavailable: (.+ \(0x80040154\)|0x80040154)\n",
                               result.stderr) is not None,
              f"unavailable {args}: {result.returncode} {result.stdout!r} {result.stderr!r}")


def poll_loop():
    program = Huddlewatch("--poll-interval-ms", str(POLL_MS))
    all_apps = readings(MEET, TEAMS, ZOOM)
    program.expect(all_apps, "first line")

    program.send('{"apps":["teams"]}')
    program.expect(readings(TEAMS), "teams only")
    program.send(' { "apps" : null } \r')
    program.expect(all_apps, "all applications again")

    changed = time.monotonic()
    write_tree("Team call", fixture("Team call").replace(
        "      50033\tvdi-occlusion\t\n    50011\t\tEli Gold",
        "      50033\tvdi-occlusion\t\n      50033\tvdi-frame-occlusion\t\n    50011\t\tEli Gold"))
    line = program.expect(readings(MEET, TEAMS_TWO, ZOOM), "a changed tree")
    check(line and line[2] - changed < NEXT_POLL_S, "the change is written at the next poll")

    again = program.expect(readings(MEET, TEAMS_TWO, ZOOM), "unchanged, written again", 10)
    if line and again:
        gap = again[2] - line[2]
        check(4.5 <= gap <= REPEAT_S + NEXT_POLL_S,
              f"an unchanged state is written again after about 5 s: {gap:.2f}")

    chat = fixture("Teams chat")
    write_tree("Teams chat", "!result 0x80131505\n" + chat)
    program.expect(readings(MEET, truncated(TEAMS_TWO), ZOOM), "a timed-out window", settle=True)
    write_tree("Teams chat", chat)
    program.expect(readings(MEET, TEAMS_TWO, ZOOM), "the window answers again", settle=True)
    # A hung window, which UI Automation's default time-out would wait for 20 s: the stand-in
    # answers with UI Automation's time-out once the transaction time-out the program set is
    # reached, as the real one does.
    hung = time.monotonic()
    write_tree("Teams chat", "!delay 20000\n" + chat)
    line = program.expect(readings(MEET, truncated(TEAMS_TWO), ZOOM), "a hung window",
                          settle=True)
    check(line and 1000 <= line[1] < 1500, f"the hung window was cut off after 1 s: {line}")
    check(line and line[2] - hung < HUNG_LINE_S,
          "the hung window's line came long before its 20 s")

    write_tree("Teams chat", chat)
    program.expect(readings(MEET, TEAMS_TWO, ZOOM), "the slow window answers in time again",
                   settle=True)
    meet = fixture("Meet - weekly sync")
    write_tree("Meet - weekly sync", padded(meet, ELEMENT_BUDGET + 1))
    program.expect(readings(truncated(MEET), TEAMS_TWO, ZOOM), "more elements than the budget",
                   settle=True)
    write_tree("Meet - weekly sync", padded(meet, ELEMENT_BUDGET))
    program.expect(readings(MEET, TEAMS_TWO, ZOOM), "exactly the budget", settle=True)

    code = program.close()
    check(code == 0, f"the end of standard input ends with 0, got {code}")
    check(program.process.stderr.read() == b"", "nothing on standard error")


def dump():
    result = subprocess.run([WINE_RUN, EXE, "--dump", "--apps", "zoom"], stdin=subprocess.PIPE,
                            capture_output=True, timeout=60, env=program_env())
    text = result.stdout.decode("utf-8")
    headers = sorted(l for l in text.splitlines() if l.startswith("==="))
    check(result.returncode == 0, f"dump ends with 0, got {result.returncode}")
    check(headers == ["=== Meet", "=== Teams", "=== Zoom"], f"dump headers: {headers}")
    for part in ["=== Zoom\n[\n    Window {\n        node: Node {\n",
                 '            name: "Zoom Meeting",\n',
                 '        hidden: true,\n        truncated: false,\n    },\n]\n',
                 'name: "Zoë \\"Z\\" O\\\\Neil",', 'name: "Bob Ray",', '"dkjMxf",\n',
                 '"tile",\n', 'name: "Hello",']:
        check(part in text, f"dump holds {part!r}")
    check("Reader 1" not in text, "a browser window without Meet in its title is not dumped")
    check(text.count("hidden: true") == 1, "only the minimised window is hidden")


def output_closed():
    """A line that cannot be written ends the program with 0."""
    process = subprocess.Popen([WINE_RUN, EXE], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, env=program_env())
    process.stdout.close()  # long before the first line is written
    code = wait_exit(process)
    process.stdin.close()
    check(code == 0, f"a failed write ends with 0, got {code}")


def input_closed_at_start():
    result = subprocess.run([WINE_RUN, EXE], stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=60, env=program_env())
    check(result.returncode == 0 and result.stderr == b"",
          f"standard input closed at start ends with 0: {result.returncode} {result.stderr!r}")
    check(result.stdout == b"" or result.stdout.endswith(b"\n"),
          f"a line is written whole or not at all: {result.stdout!r}")
    for raw in result.stdout.splitlines():
        json.loads(raw)


def without_timeouts():
    """With only CUIAutomation registered (a system before Windows 8) the program runs on, and a
    slow window is waited for (longer than the time-out, within the poll's deadline)."""
    setup_calls()
    chat = fixture("Teams chat")
    write_tree("Teams chat", "!delay 1200\n" + chat)
    program = Huddlewatch("--poll-interval-ms", str(POLL_MS))
    line = program.expect(readings(MEET, TEAMS_TWO, ZOOM), "without time-outs, a slow window",
                          settle=True)
    check(line and line[1] >= 1200, f"without time-outs the slow request is waited for: {line}")
    code = program.close()
    check(code == 0, f"without time-outs the end of standard input ends with 0, got {code}")
    write_tree("Teams chat", chat)
    calls = setup_calls()
    check(calls == CACHE_CALLS, f"without IUIAutomation2 no time-outs are set: {calls}")


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    shutil.copytree(FIXTURES, TREES)
    for key in (CLASS_KEY, CLASS8_KEY):
        unregister(key)  # left over from a run that was stopped
    unavailable()
    apps = None
    try:
        register(CLASS_KEY)
        register(CLASS8_KEY)
        apps = MeetingApps()
        poll_loop()
        calls = setup_calls()
        check(calls == TIMEOUT_CALLS + CACHE_CALLS, f"the set-up calls, in order: {calls}")
        dump()
        output_closed()
        input_closed_at_start()
        unregister(CLASS8_KEY)
        without_timeouts()
    finally:
        if apps:
            apps.close()
        for key in (CLASS_KEY, CLASS8_KEY):
            unregister(key)
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("all end-to-end checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
