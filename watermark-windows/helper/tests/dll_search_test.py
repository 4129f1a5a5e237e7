#!/usr/bin/env python3
"""VantorelWatermark.exe loads no DLL from its own folder, where a user may plant one that would
run elevated in the installer: DLLs of the delay-loaded platform names planted beside it never
load, even where Wine is told to prefer such DLLs. (That its import table names only KnownDLLs
is a check of its image, cmake/pe/images_test.py.)

usage: dll_search_test.py EXE WINE_RUN WINEPREFIX PLANTED_DIR SIGNED_DIR
"""

import os
import subprocess
import sys

from helper_process import SIGNATURE_FAILED, Helper, check, finish, program_copy

EXE, WINE_RUN, PREFIX, PLANTED_DIR, SIGNED_DIR = sys.argv[1:6]
os.environ["WINEPREFIX"] = PREFIX

PLANTED = ["crypt32.dll", "wintrust.dll", "mf.dll", "mfplat.dll"]


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
    planted_run()
    return finish("no DLL loads from the program's folder")


if __name__ == "__main__":
    sys.exit(main())
