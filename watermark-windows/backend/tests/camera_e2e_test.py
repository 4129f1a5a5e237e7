#!/usr/bin/env python3
"""End to end, the whole camera chain under Wine: this script is the desktop application (it
installs the camera components with the real helper and drives the helper's service on pipes)
and, through camera_e2e_client.exe, the frame server (it creates the slot 0 camera class through
the registry, the installed proxy and the installed backend, and reads NV12 frames).

usage: camera_e2e_test.py WINE_RUN HELPER_EXE BACKEND_DLL PROXY_DLL CLIENT_EXE PKI_DIR
                          WINEPREFIX WORK_DIR PICTURE_DIR
"""

import json
import os
import queue
import shutil
import subprocess
import sys
import threading
import time

(WINE_RUN, HELPER_EXE, BACKEND_DLL, PROXY_DLL, CLIENT_EXE, PKI_DIR, PREFIX, WORK_DIR,
 PICTURE_DIR) = sys.argv[1:10]
os.environ["WINEPREFIX"] = PREFIX

INSTALL_DIR = os.path.join(PREFIX, "drive_c", "Program Files", "VantorelVirtualCamera")
CLASS_KEYS = [r"HKLM\Software\Classes\CLSID\{4E8B1A2C-6D3F-4A7B-9E51-3C2D8F6A0B9%d}" % slot
              for slot in range(4)]
BRAND = "Acme Studio"
HEARTBEAT_TIMEOUT = 5.0
TIMEOUT = 30

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)
    return condition


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Process:
    """A Windows program on pipes, with a thread that collects its output lines."""

    def __init__(self, *args):
        self.process = subprocess.Popen([WINE_RUN, *args], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.process.stdout:
            self.lines.put(raw.decode("utf-8", "replace").rstrip("\r\n"))
        self.lines.put(None)

    def send(self, text):
        try:
            self.process.stdin.write((text + "\n").encode())
            self.process.stdin.flush()
        except BrokenPipeError:
            check(False, f"{text!r} sent to a program that has ended")

    def next_json(self, timeout=TIMEOUT):
        try:
            line = self.lines.get(timeout=timeout)
        except queue.Empty:
            return None
        return json.loads(line) if line else None

    def close(self):
        try:
            self.process.stdin.close()
        except BrokenPipeError:
            pass
        try:
            return self.process.wait(TIMEOUT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            return None


class Helper(Process):
    def command(self, obj):
        self.send(json.dumps(obj, separators=(",", ":")))

    def wait_event(self, event):
        while (line := self.next_json()) is not None:
            if line.get("event") == event:
                return line
        return None


def sign(source, name, out_dir):
    subprocess.run(["osslsigncode", "sign", "-certs", os.path.join(PKI_DIR, "publisher.chain.pem"),
                    "-key", os.path.join(PKI_DIR, "publisher.key"), "-h", "sha256", "-n", name,
                    "-in", source, "-out", os.path.join(out_dir, name)],
                   check=True, stdout=subprocess.DEVNULL)


def clean_install():
    for key in CLASS_KEYS:
        subprocess.run([WINE_RUN, "reg", "delete", key, "/f"], stdin=subprocess.DEVNULL,
                       capture_output=True, timeout=60)
    shutil.rmtree(INSTALL_DIR, ignore_errors=True)


def install():
    """The signed backend and stand-in proxy beside the real helper, installed by it."""
    app = os.path.join(WORK_DIR, "app")
    shutil.rmtree(app, ignore_errors=True)
    os.makedirs(app)
    shutil.copy(HELPER_EXE, app)
    sign(BACKEND_DLL, "VantorelVirtualCameraBackend.dll", app)
    sign(PROXY_DLL, "VantorelVirtualCamera.dll", app)
    helper = os.path.join(app, os.path.basename(HELPER_EXE))
    result = subprocess.run([WINE_RUN, helper, "--install-extension"], stdin=subprocess.DEVNULL,
                            capture_output=True, timeout=120)
    check(result.returncode == 0,
          f"--install-extension gives 0, got {result.returncode} {result.stderr!r}")
    code = subprocess.run([WINE_RUN, helper, "--extension-status"], stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=60).returncode
    check(code == 0, f"--extension-status after the install gives 0, got {code}")
    with open(os.path.join(INSTALL_DIR, "VantorelVirtualCamera.cfg"), "rb") as f:
        relative = f.read().decode("utf-8")
    check(relative.startswith("backends\\"), f"configuration names the backend: {relative!r}")
    return helper, relative


def expect_badge(frame, what):
    print(what, frame, flush=True)
    if not check(frame is not None and frame.get("badge") is True, f"{what}: badge drawn {frame}"):
        return
    left, top, right, bottom = frame["pill"]
    check(abs(frame["top"] - top) <= 1 and abs(frame["bottom"] - bottom) <= 1,
          f"{what}: pill rows {frame['top']}..{frame['bottom']} where the geometry says "
          f"{top:.1f}..{bottom:.1f}")
    check(abs((frame["left"] + frame["right"]) - 1280) <= 2,
          f"{what}: pill centred, columns {frame['left']}..{frame['right']}")
    check(frame["content"] > frame["mark_width"] + 20,
          f"{what}: the brand text, wider than the brand mark: {frame['content']:.1f}")
    check(frame["text_pixels"] > 100, f"{what}: text drawn in the content place: {frame}")
    check(frame["gap_pixels"] == 0, f"{what}: nothing bright between text and bars: {frame}")
    check(frame["bars"] == 5, f"{what}: five bars where the geometry puts them: {frame}")


def expect_no_badge(frame, what):
    print(what, frame, flush=True)
    check(frame is not None and frame.get("badge") is False,
          f"{what}: a black frame without badge {frame}")


def main():
    os.makedirs(WORK_DIR, exist_ok=True)
    os.makedirs(PICTURE_DIR, exist_ok=True)
    clean_install()
    client = helper = None
    try:
        helper_exe, relative = install()

        helper = Helper(helper_exe)
        check(helper.wait_event("ready") is not None, "the service is ready")
        check(helper.wait_event("status") is not None, "the first tick's status")
        helper.command({"command": "set_transcribing", "active": True})
        helper.wait_event("status")
        helper.command({"command": "set_branding", "appName": BRAND})
        time.sleep(1.5)  # a tick writes a fresh heartbeat

        client = Process(CLIENT_EXE, windows_path(PICTURE_DIR))
        ready = client.next_json(timeout=60)
        if not check(ready is not None and ready.get("event") == "ready", f"client ready: {ready}"):
            return
        backend = ready["backend"].replace("\\", "/").lower()
        check(backend.endswith(relative.replace("\\", "/").lower())
              and "/program files/vantorelvirtualcamera/" in backend,
              f"the source comes from the installed backend: {ready['backend']}")
        check(ready["proxy_loaded"], "the stand-in proxy was loaded on the way")

        client.send("frame badge")
        expect_badge(client.next_json(), "transcribing")

        helper.command({"command": "set_transcribing", "active": False})
        helper.wait_event("status")
        client.send("frame transcribing_off")
        expect_no_badge(client.next_json(), "after set_transcribing false")

        helper.command({"command": "set_transcribing", "active": True})
        helper.wait_event("status")
        client.send("frame badge_again")
        expect_badge(client.next_json(), "transcribing again")

        code = helper.close()
        helper = None
        check(code == 0, f"the service ends with 0 at the end of its input, got {code}")
        time.sleep(HEARTBEAT_TIMEOUT + 0.5)
        client.send("frame helper_gone")
        expect_no_badge(client.next_json(), "helper stopped for more than 5 s")

        code = client.close()
        client = None
        check(code == 0, f"the client shuts the source down and ends with 0, got {code}")
    finally:
        for process in (client, helper):
            if process is not None:
                process.process.kill()
        clean_install()

    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("all camera end-to-end checks passed; pictures in", PICTURE_DIR)
    return 0


if __name__ == "__main__":
    sys.exit(main())
