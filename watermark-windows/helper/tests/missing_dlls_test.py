#!/usr/bin/env python3
"""VantorelWatermark.exe where delay-loaded platform DLLs are missing, as Media Foundation is from
the N editions of Windows: Wine is told not to load them. The service still says ready, reports
status, takes commands and ends with 0 at the end of its input; the one-shot modes end as they
report their own failures. (That every function in the executable's delay-import table has a
stand-in is a check of its image, cmake/pe/images_test.py.)

usage: missing_dlls_test.py EXE WINE_RUN WINEPREFIX SIGNED_DIR
"""

import json
import os
import subprocess
import sys

from helper_process import (SIGNATURE_FAILED, Helper, check, finish, program_copy,
                            wait_exit)

EXE, WINE_RUN, PREFIX, SIGNED_DIR = sys.argv[1:5]
os.environ["WINEPREFIX"] = PREFIX

WITHOUT_MEDIA = "mf,mfplat=d"
WITHOUT_SIGNATURES = "crypt32,wintrust=d"
WITHOUT_ANY = "mf,mfplat,crypt32,wintrust=d"
INSTALL_DIR = os.path.join(PREFIX, "drive_c", "Program Files", "VantorelVirtualCamera")
READY = '{"event":"ready"}'


def env_without(disabled):
    env = dict(os.environ)
    # Without its debugger Wine ends a process that raises unhandled at once (exit code 126
    # here), where the debugger would hold it until the time-out.
    overrides = ["mscoree,mshtml=", "winedbg.exe=d", *([disabled] if disabled else [])]
    env["WINEDLLOVERRIDES"] = ";".join(overrides)
    return env


def service():
    helper = Helper([WINE_RUN, EXE], env_without(WITHOUT_MEDIA))
    check(helper.next_line() == READY, "the service says ready without Media Foundation")
    first = [json.loads(line) for line in helper.lines_for(2.5)]
    statuses = [event for event in first if event["event"] == "status"]
    check(statuses and not statuses[0]["sinkReady"] and statuses[0]["cameraNames"] == [],
          f"the first tick's status, without cameras: {first}")
    line = None
    try:
        helper.send({"command": "set_transcribing", "active": True})
        line = helper.next_line()
        helper.process.stdin.close()
    except BrokenPipeError:
        pass  # ended early: the exit code and standard error below tell why
    check(line is not None and json.loads(line)["event"] == "status",
          f"a command is taken and answered: {line}")
    code = wait_exit(helper.process)
    errors = helper.process.stderr.read()
    check(code == 0, f"the end of input ends the service with 0: {code} {errors[-300:]!r}")


def run(args, disabled, exe=EXE):
    result = subprocess.run([WINE_RUN, exe, *args], stdin=subprocess.DEVNULL,
                            capture_output=True, timeout=60, env=env_without(disabled))
    return result.returncode, result.stdout, result.stderr


def one_shot_modes():
    # Modes that never call into these DLLs end as they do with them.
    for args in (["--extension-status"], ["--camera-status"], ["--request-camera"], ["--bogus"]):
        expected = run(args, None)
        got = run(args, WITHOUT_ANY)
        check(got == expected, f"{args} without the DLLs: {got}, with them: {expected}")

    # With the signature DLLs missing no signature can be verified: the elevated install reports
    # it, and so does the user's side through the elevated copy's exit code.
    with program_copy(EXE, "missing_dlls", os.path.join(SIGNED_DIR, "good"), PREFIX) as exe:
        for disabled in (WITHOUT_SIGNATURES, WITHOUT_ANY):
            code, out, err = run(["--install-elevated"], disabled, exe)
            check((code, out, err) == (1, b"", SIGNATURE_FAILED),
                  f"--install-elevated with {disabled}: {code} {out!r} {err[-300:]!r}")
            code, out, err = run(["--install-extension"], disabled, exe)
            check((code, out) == (1, b"") and b"c06d007e" not in err.lower(),
                  f"--install-extension with {disabled}: {code} {out!r} {err[-300:]!r}")
        check(not os.path.exists(os.path.join(INSTALL_DIR, "VantorelVirtualCamera.cfg")),
              "nothing was installed")


def main():
    service()
    one_shot_modes()
    return finish("the helper runs and reports without its delay-loaded DLLs")


if __name__ == "__main__":
    sys.exit(main())
