#!/usr/bin/env python3
"""End to end: starts the real VantorelWatermark.exe under Wine with pipes and checks its lines,
its exit codes and what it writes into state.bin.

usage: service_e2e_test.py WINE_RUN EXE WINEPREFIX
"""

import json
import os
import struct
import subprocess
import sys
import time

from helper_process import Helper, check, finish, wait_exit

WINE_RUN, EXE, PREFIX = sys.argv[1:4]
os.environ["WINEPREFIX"] = PREFIX

INSTALL_DIR = os.path.join(PREFIX, "drive_c", "Program Files", "VantorelVirtualCamera")
STATE = os.path.join(INSTALL_DIR, "state.bin")
STATE_SIZE = 8192
CONSENT_KEY = (r"HKCU\Software\Microsoft\Windows\CurrentVersion\CapabilityAccessManager"
               r"\ConsentStore\webcam")
READY = '{"event":"ready"}'
EMPTY_STATUS = ('{"event":"status","sinkReady":false,"watermarkConsumers":[],'
                '"physicalCameraInUse":false,"cameraPermission":"granted","cameraNames":[]}')


def start(*args):
    return Helper([WINE_RUN, EXE, *args])


def one_shot(*args):
    result = subprocess.run([WINE_RUN, EXE, *args], stdin=subprocess.DEVNULL,
                            capture_output=True, timeout=60)
    return result.returncode, result.stdout, result.stderr


def reg(*args):
    subprocess.run([WINE_RUN, "reg", *args], stdin=subprocess.DEVNULL, capture_output=True,
                   timeout=60)


def read_state():
    with open(STATE, "rb") as f:
        data = f.read(4252)
    magic, version, badge, level_bits, heartbeat, _sequence = struct.unpack_from("<IIIIQI", data)
    title = data[28:28 + 128].decode("utf-16-le").split("\0")[0]
    level = struct.unpack("<f", struct.pack("<I", level_bits))[0]
    return {"magic": magic, "version": version, "badge": badge, "level": level,
            "heartbeat": heartbeat, "title": title}


def service_without_state():
    helper = start()
    check(helper.next_line() == READY, "the first line is exactly the ready event")
    first = helper.lines_for(2.5)
    errors = [json.loads(l)["message"] for l in first if json.loads(l)["event"] == "error"]
    check(len(errors) == 1 and errors[0].startswith("activity: "),
          f"one activity error without a sensor monitor, and no state error: {errors}")
    check(EMPTY_STATUS in first, f"the first tick's status: {first}")

    helper.send({"command": "set_transcribing", "active": True})
    check(helper.next_line() == EMPTY_STATUS, "set_transcribing gets the status line")
    helper.send({"command": "set_transcribing", "active": True})
    check(helper.next_line() == EMPTY_STATUS, "a repeated set_transcribing gets it again")
    helper.send({"command": "set_preview", "active": True})
    helper.send({"command": "set_audio_level", "level": 0.5})
    helper.send({"command": "set_branding", "appName": "Acme \"Q\""})
    helper.send({"command": "unknown"})
    check(helper.lines_for(2.5) == [], "the other commands write nothing and nothing changed")
    code = helper.close()
    check(code == 0, f"closing standard input ends with 0, got {code}")
    check(all(l.endswith(b"\n") for l in helper.raw), "every line whole")


def past_first_tick():
    """A started service whose first lines (ready, the first tick's) have been read."""
    helper = start()
    check(helper.next_line() == READY, "ready")
    helper.lines_for(1.5)
    return helper


def service_input_ends():
    """Invalid UTF-8 ends the service with 0 before the line is handled; a CR LF line end works."""
    helper = past_first_tick()
    helper.write(b'{"command":"set_transcribing","active":true}\r\n')
    check(helper.next_line() == EMPTY_STATUS, "a CR LF line is handled")
    helper.write(b'{"command":"set_transcribing","appName":"\xff"}\n'
                 b'{"command":"set_transcribing","active":true}\n')
    code = wait_exit(helper.process)
    check(code == 0, f"invalid UTF-8 ends the service with 0, got {code}")
    check(helper.lines_for(1) == [], "nothing handled after the invalid line")
    helper.close()


def last_line_without_line_end():
    """A last command without LF, followed by the closing of the pipe, is still applied."""
    helper = past_first_tick()
    helper.write(b'{"command":"set_transcribing","active":true}')
    helper.process.stdin.close()
    code = wait_exit(helper.process)
    check(code == 0, f"the end of input ends the service with 0, got {code}")
    check(helper.lines_for(1) == [EMPTY_STATUS], "the last line was handled before the end")


def input_closed_at_start():
    """A standard input at its end from the start ends the service with 0, before or after its
    ready line, with nothing on standard error and no half line."""
    result = subprocess.run([WINE_RUN, EXE], stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=60)
    check(result.returncode == 0 and result.stderr == b"",
          f"standard input closed at start ends with 0: {result.returncode} {result.stderr!r}")
    lines = result.stdout.split(b"\n")
    check(lines[-1] == b"", f"every line whole: {result.stdout!r}")
    check(lines[0] in (b"", READY.encode()), f"ready comes first: {result.stdout!r}")
    for raw in lines[:-1]:
        json.loads(raw)


def output_closed():
    """Standard output that cannot be written ends the service with 1."""
    process = subprocess.Popen([WINE_RUN, EXE], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    process.stdout.close()  # long before the helper is up and writes its ready line
    code = wait_exit(process)
    process.stdin.close()
    check(code == 1, f"a failed write ends the service with 1, got {code}")


def service_with_state():
    os.makedirs(INSTALL_DIR, exist_ok=True)
    with open(STATE, "wb") as f:
        f.write(b"\0" * STATE_SIZE)
    try:
        helper = start()
        check(helper.next_line() == READY, "ready with state.bin present")
        helper.lines_for(1.5)
        state = read_state()
        check(state["magic"] == 0x5654574D and state["version"] == 1, f"stamped: {state}")
        check(state["badge"] == 0, "badge off at start")

        before = read_state()["heartbeat"]
        helper.lines_for(2.5)
        after = read_state()["heartbeat"]
        now_ms = int(time.time() * 1000)
        check(before > 0 and after > before and abs(now_ms - after) < 5000,
              f"heartbeat advances: {before} -> {after} (now {now_ms})")

        steps = [
            ({"command": "set_transcribing", "active": True}, 1),
            ({"command": "set_preview", "active": "true"}, 1),
            ({"command": "set_transcribing", "active": False}, 1),
            ({"command": "set_preview", "active": False}, 0),
        ]
        for command, badge in steps:
            helper.send(command)
            helper.barrier()
            check(read_state()["badge"] == badge, f"badge {badge} after {command}")

        for sent, stored in [(0.25, 0.25), (5, 1.0), (-1, 0.0), ("x", 0.0)]:
            helper.send({"command": "set_audio_level", "level": sent})
            helper.barrier()
            check(read_state()["level"] == stored, f"level {sent} stored as {stored}")

        check(read_state()["title"] == "Vantorel", "default title")
        helper.send({"command": "set_branding", "appName": "Acme \u00e9"})
        helper.barrier()
        check(read_state()["title"] == "Acme \u00e9", f"title written: {read_state()['title']!r}")
        check(helper.close() == 0, "ends with 0")
    finally:
        os.remove(STATE)


def one_shot_modes():
    code, out, err = one_shot("--extension-status")
    check(code == 3 and out == b"" and err == b"", f"--extension-status on a bare prefix: {code}")
    code, out, err = one_shot("--camera-status")
    check(code == 0 and out == b"", f"--camera-status without a denial: {code}")
    code, out, err = one_shot("--bogus")
    check(code == 1 and out == b"" and err == b"", f"unknown argument: {code} {out!r} {err!r}")
    code, out, err = one_shot("--Camera-Status")
    check(code == 1 and out == b"", f"flag in another case: {code}")
    # No camera DLLs beside the test build's executable, so the elevated install fails.
    code, out, err = one_shot("--install-elevated")
    check(code == 1 and out == b"" and err.startswith(b"install failed: ")
          and err.endswith(b")\n") and err.count(b"\n") == 1 and b"\r" not in err,
          f"--install-elevated failure: {code} {err!r}")

    reg("add", CONSENT_KEY, "/v", "Value", "/t", "REG_SZ", "/d", "Deny", "/f")
    try:
        for flag in ("--camera-status", "--request-camera"):
            code, out, _ = one_shot(flag)
            check(code == 1 and out == b"", f"{flag} with Deny: {code}")
        code, _, _ = one_shot("--camera-status", "--extension-status")
        check(code == 3, f"--extension-status wins over --camera-status: {code}")
        helper = start()
        check(helper.next_line() == READY, "ready")
        helper.lines_for(1.5)
        status = helper.barrier()
        check(status == EMPTY_STATUS.replace('"granted"', '"denied"'), f"permission denied: {status}")
        helper.close()
    finally:
        reg("delete", CONSENT_KEY, "/v", "Value", "/f")


def main():
    if os.path.exists(STATE):
        os.remove(STATE)
    service_without_state()
    service_input_ends()
    last_line_without_line_end()
    input_closed_at_start()
    output_closed()
    service_with_state()
    one_shot_modes()
    return finish("all end-to-end checks passed")


if __name__ == "__main__":
    sys.exit(main())
