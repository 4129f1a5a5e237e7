#!/usr/bin/env python3
"""VantorelWatermark.exe loads no DLL from its own folder, where a user may plant one that would
run elevated in the installer: its import table names only KnownDLLs, and DLLs of the other
platform names planted beside it never load, even where Wine is told to prefer such DLLs.

usage: dll_search_test.py OBJDUMP EXE WINE_RUN WINEPREFIX PLANTED_DIR SIGNED_DIR
"""

import os
import subprocess
import sys

from helper_process import SIGNATURE_FAILED, Helper, check, finish, program_copy

OBJDUMP, EXE, WINE_RUN, PREFIX, PLANTED_DIR, SIGNED_DIR = sys.argv[1:7]
os.environ["WINEPREFIX"] = PREFIX

# The values of HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs on Windows 10
# and 11 (x64 and ARM64): the system maps these from its own copies, never from a program's
# folder. ntdll.dll is not listed there but is always the system's own.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "difxapi.dll",
    "gdi32.dll", "gdiplus.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll",
    "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll", "oleaut32.dll", "psapi.dll",
    "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shcore.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "wldap32.dll", "wow64.dll", "wow64cpu.dll", "wow64win.dll", "wowarmhw.dll",
    "ws2_32.dll", "xtajit.dll", "ntdll.dll",
}
PLANTED = ["crypt32.dll", "wintrust.dll", "mf.dll", "mfplat.dll"]
def static_imports(exe):
    """DLL name (lower case) -> imported function names, from the import tables."""
    dump = subprocess.run([OBJDUMP, "-p", exe], capture_output=True, text=True, check=True).stdout
    imports = {}
    in_tables = False
    current = None
    for line in dump.splitlines():
        if line.startswith("The "):
            in_tables = line.startswith("The Import Tables")
            continue
        if not in_tables:
            continue
        stripped = line.strip()
        if stripped.startswith("DLL Name:"):
            current = imports.setdefault(stripped.split(":", 1)[1].strip().lower(), set())
        elif current is not None:
            fields = stripped.split()
            if len(fields) == 3 and all(c in "0123456789abcdef" for c in fields[0]):
                current.add(fields[2])
    return imports


def import_table():
    imports = static_imports(EXE)
    check("kernel32.dll" in imports, f"the import table was read: {sorted(imports)}")
    outside = sorted(set(imports) - KNOWN_DLLS)
    check(not outside, f"static imports outside the KnownDLLs: {outside}")
    check("SetDefaultDllDirectories" in imports.get("kernel32.dll", set()),
          "the program restricts its DLL search")


def planted_run():
    # Signed, but not by the publisher: the check reaches both the trust and the certificate calls.
    planted = [os.path.join(PLANTED_DIR, name) for name in PLANTED]
    with program_copy(EXE, "dll_search", os.path.join(SIGNED_DIR, "subject"), PREFIX,
                      planted) as exe:
        env = dict(os.environ)
        env["WINEDLLOVERRIDES"] = "mscoree,mshtml=;" + ",".join(n[:-4] for n in PLANTED) + "=n,b"

        # The service starts Media Foundation and enumerates the cameras at its first tick.
        helper = Helper([WINE_RUN, exe], env)
        seen = [helper.next_line()]
        while seen[-1] is not None and '"status"' not in seen[-1]:
            seen.append(helper.next_line())
        check(seen[0] == '{"event":"ready"}' and seen[-1] is not None,
              f"the service ran to its first status beside the planted DLLs: {seen}")
        code = helper.close()
        check(code == 0, f"the service ended with 0, not by a planted DLL: {code}")

        result = subprocess.run([WINE_RUN, exe, "--install-elevated"], stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=60, env=env)
        check(result.returncode == 1 and result.stderr == SIGNATURE_FAILED,
              f"the installer checked the signatures: {result.returncode} {result.stderr!r}")


def main():
    import_table()
    planted_run()
    return finish("no DLL loads from the program's folder")


if __name__ == "__main__":
    sys.exit(main())
