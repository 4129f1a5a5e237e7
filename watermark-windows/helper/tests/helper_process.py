"""What the Linux-side tests of VantorelWatermark share: their checks and a running service
whose output lines a thread collects."""

import contextlib
import json
import os
import queue
import shutil
import subprocess
import threading
import time

TIMEOUT = 15
CAMERA_DLLS = ["VantorelVirtualCamera.dll", "VantorelVirtualCameraBackend.dll"]
SIGNATURE_FAILED = b"install failed: watermark camera DLLs failed signature verification\n"

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


class Helper:
    """One running service with a thread that collects its output lines."""

    def __init__(self, command, env=None):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, env=env)
        self.lines = queue.Queue()
        self.raw = []
        self.forced = 0  # status lines still owed to commands sent
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.process.stdout:
            self.raw.append(raw)
            self.lines.put(raw)
        self.lines.put(None)

    def send(self, obj):
        if obj.get("command") in ("set_transcribing", "set_usage_monitoring"):
            self.forced += 1
        self.write((json.dumps(obj, separators=(",", ":")) + "\n").encode())

    def write(self, raw):
        self.process.stdin.write(raw)
        self.process.stdin.flush()

    def next_line(self, timeout=TIMEOUT):
        """The next line without its LF, or None at the end of output or after the timeout."""
        try:
            raw = self.lines.get(timeout=timeout)
        except queue.Empty:
            return None
        if raw is None:
            return None
        check(raw.endswith(b"\n") and not raw.endswith(b"\r\n"), f"line ends in a bare LF: {raw!r}")
        text = raw.rstrip(b"\n").decode("utf-8")
        try:
            json.loads(text)
        except ValueError:
            check(False, f"line parses as JSON: {text!r}")
        return text

    def lines_for(self, seconds):
        out = []
        end = time.monotonic() + seconds
        while (left := end - time.monotonic()) > 0:
            line = self.next_line(left)
            if line is None:
                break
            out.append(line)
        return out

    def barrier(self):
        """Waits until every command sent so far was handled: each command that forces a status
        is answered by one, in order. Only valid once the first tick's status has been read, since
        nothing else changes the status here."""
        self.send({"command": "set_usage_monitoring", "active": False})
        line = None
        while self.forced > 0:
            line = self.next_line()
            if line is None:
                check(False, "status after set_usage_monitoring")
                return None
            if json.loads(line).get("event") == "status":
                self.forced -= 1
        return line

    def close(self):
        self.process.stdin.close()
        code = wait_exit(self.process)
        while self.next_line(1) is not None:
            pass
        self.process.stderr.read()
        return code


@contextlib.contextmanager
def program_copy(exe, name, camera_dlls, prefix, beside=()):
    """A copy of the program in a folder of its own (name) beside it, with the camera DLLs from
    the folder camera_dlls and the files beside next to it. Afterwards the folder goes, and so
    does the prefix's install folder unless it was there before."""
    folder = os.path.join(os.path.dirname(os.path.abspath(exe)), name)
    install_dir = os.path.join(prefix, "drive_c", "Program Files", "VantorelVirtualCamera")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    copy = os.path.join(folder, os.path.basename(exe))
    shutil.copy(exe, copy)
    for path in [*beside, *(os.path.join(camera_dlls, dll) for dll in CAMERA_DLLS)]:
        shutil.copy(path, os.path.join(folder, os.path.basename(path)))
    installed_before = os.path.exists(install_dir)
    try:
        yield copy
    finally:
        if not installed_before:
            shutil.rmtree(install_dir, ignore_errors=True)
        shutil.rmtree(folder, ignore_errors=True)


def wait_exit(process):
    try:
        return process.wait(TIMEOUT)
    except subprocess.TimeoutExpired:
        process.kill()
        return None


def finish(passed):
    """The exit status of a test script: its failures counted, or what passed."""
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print(passed)
    return 0
