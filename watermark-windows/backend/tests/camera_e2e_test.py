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
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "helper",
                                "tests"))
from helper_process import Helper, check, finish  # noqa: E402

(WINE_RUN, HELPER_EXE, BACKEND_DLL, PROXY_DLL, CLIENT_EXE, PKI_DIR, PREFIX, WORK_DIR,
 PICTURE_DIR) = sys.argv[1:10]
os.environ["WINEPREFIX"] = PREFIX

INSTALL_DIR = os.path.join(PREFIX, "drive_c", "Program Files", "VantorelVirtualCamera")
CLASS_KEYS = [r"HKLM\Software\Classes\CLSID\{4E8B1A2C-6D3F-4A7B-9E51-3C2D8F6A0B9%d}" % slot
              for slot in range(4)]
BRAND = "Acme Studio"
HEARTBEAT_TIMEOUT = 5.0
# The first frame of a source builds its compositor, which takes a while under Wine.
FRAME_TIMEOUT = 60


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def next_json(process, timeout=FRAME_TIMEOUT):
    line = process.next_line(timeout)
    return json.loads(line) if line is not None else None


def wait_event(helper, event):
    while (line := next_json(helper)) is not None:
        if line.get("event") == event:
            return line
    return None


def request_frame(client, name):
    """One frame from the client, or None when it has ended."""
    try:
        client.write(f"frame {name}\n".encode())
    except BrokenPipeError:
        check(False, f"frame {name}: the client has ended")
        return None
    return next_json(client)


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
    if frame is None or frame.get("badge") is not True:
        check(False, f"{what}: badge drawn {frame}")
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


def run(processes):
    helper_exe, relative = install()

    helper = Helper([WINE_RUN, helper_exe])
    processes.append(helper)
    check(wait_event(helper, "ready") is not None, "the service is ready")
    check(wait_event(helper, "status") is not None, "the first tick's status")
    helper.send({"command": "set_transcribing", "active": True})
    wait_event(helper, "status")
    helper.send({"command": "set_branding", "appName": BRAND})
    time.sleep(1.5)  # a tick writes a fresh heartbeat

    client = Helper([WINE_RUN, CLIENT_EXE, windows_path(PICTURE_DIR)])
    processes.append(client)
    ready = next_json(client)
    if ready is None or ready.get("event") != "ready":
        check(False, f"client ready: {ready}")
        return
    backend = ready["backend"].replace("\\", "/").lower()
    check(backend.endswith(relative.replace("\\", "/").lower())
          and "/program files/vantorelvirtualcamera/" in backend,
          f"the source comes from the installed backend: {ready['backend']}")
    check(ready["proxy_loaded"], "the stand-in proxy was loaded on the way")

    expect_badge(request_frame(client, "badge"), "transcribing")

    helper.send({"command": "set_transcribing", "active": False})
    wait_event(helper, "status")
    expect_no_badge(request_frame(client, "transcribing_off"), "after set_transcribing false")

    helper.send({"command": "set_transcribing", "active": True})
    wait_event(helper, "status")
    expect_badge(request_frame(client, "badge_again"), "transcribing again")

    code = helper.close()
    check(code == 0, f"the service ends with 0 at the end of its input, got {code}")
    time.sleep(HEARTBEAT_TIMEOUT + 0.5)
    expect_no_badge(request_frame(client, "helper_gone"), "helper stopped for more than 5 s")

    code = client.close()
    check(code == 0, f"the client shuts the source down and ends with 0, got {code}")


def main():
    os.makedirs(WORK_DIR, exist_ok=True)
    os.makedirs(PICTURE_DIR, exist_ok=True)
    clean_install()
    processes = []
    try:
        run(processes)
    finally:
        for process in processes:
            if process.process.poll() is None:
                process.process.kill()
        clean_install()
    return finish(f"all camera end-to-end checks passed; pictures in {PICTURE_DIR}")


if __name__ == "__main__":
    sys.exit(main())
