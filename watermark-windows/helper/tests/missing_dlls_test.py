#!/usr/bin/env python3
"""VantorelWatermark.exe where delay-loaded platform DLLs are missing, as Media Foundation is from
the N editions of Windows: Wine is told not to load them. The service still says ready, reports
status, takes commands and ends with 0 at the end of its input; the one-shot modes end as they
report their own failures. And every function in the executable's delay-import table has a
stand-in, so that a new delay-imported call cannot raise 0xC06D007E unguarded.

usage: missing_dlls_test.py NM EXE WINE_RUN WINEPREFIX SIGNED_DIR
"""

import json
import os
import re
import struct
import subprocess
import sys

from helper_process import (SIGNATURE_FAILED, Helper, check, finish, program_copy,
                            wait_exit)

NM, EXE, WINE_RUN, PREFIX, SIGNED_DIR = sys.argv[1:6]
os.environ["WINEPREFIX"] = PREFIX

DELAYED_DLLS = {"mf.dll", "mfplat.dll", "crypt32.dll", "wintrust.dll"}
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


def symbols(*flags):
    return subprocess.run([NM, *flags, EXE], capture_output=True, text=True,
                          check=True).stdout.splitlines()


def delay_imports():
    """DLL name (lower case) -> function names, read from the delay-import descriptors. The GNU
    linker leaves the header's delay-import directory empty, so the descriptors are found by the
    symbols that dlltool gives them."""
    with open(EXE, "rb") as f:
        image = f.read()
    header = struct.unpack_from("<I", image, 0x3C)[0]
    section_count, = struct.unpack_from("<H", image, header + 6)
    optional_size, = struct.unpack_from("<H", image, header + 20)
    optional = header + 24
    image_base, = struct.unpack_from("<Q", image, optional + 24)
    sections = []
    for i in range(section_count):
        entry = optional + optional_size + 40 * i
        virtual_size, address, raw_size, raw = struct.unpack_from("<IIII", image, entry + 8)
        sections.append((address, max(virtual_size, raw_size), raw))

    def at(rva):
        for address, size, raw in sections:
            if address <= rva < address + size:
                return raw + rva - address
        raise ValueError(f"RVA {rva:#x} outside the sections")

    def text(rva):
        start = at(rva)
        return image[start:image.index(b"\0", start)].decode("ascii")

    imports = {}
    for line in symbols():
        fields = line.split()
        if len(fields) != 3 or not fields[2].startswith("__DELAY_IMPORT_DESCRIPTOR_"):
            continue
        # grAttrs, DLL name, module handle, IAT, INT, ...: RVAs when grAttrs is 1.
        attributes, name, _, _, names = struct.unpack_from(
            "<5I", image, at(int(fields[0], 16) - image_base))
        check(attributes == 1, f"delay descriptor {fields[2]} holds RVAs")
        functions = imports.setdefault(text(name).lower(), set())
        entry = at(names)
        while thunk := struct.unpack_from("<Q", image, entry)[0]:
            check(not thunk >> 63, f"{text(name)} imports by name")
            functions.add(text(thunk + 2))  # past the hint
            entry += 8
    return imports


def stand_ins():
    """The functions the failure hook has a stand-in for: the table refers to each, so each
    stays in the executable under its own name."""
    found = set()
    for line in symbols("-C"):
        found.update(re.findall(r"stand_in::(\w+)\(", line))
    return found


def coverage():
    imports = delay_imports()
    check(set(imports) == DELAYED_DLLS, f"the delay-loaded DLLs: {sorted(imports)}")
    have = stand_ins()
    unguarded = sorted(f"{dll}!{name}" for dll, names in imports.items() for name in names
                       if name not in have)
    check(imports and not unguarded, f"delay imports without a stand-in: {unguarded}")
    check(all(imports.values()), f"every delay-loaded DLL has imports: {imports}")


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
    coverage()
    service()
    one_shot_modes()
    return finish("the helper runs and reports without its delay-loaded DLLs")


if __name__ == "__main__":
    sys.exit(main())
