#!/usr/bin/env python3
"""The backend DLL exports DllGetClassObject and DllCanUnloadNow and nothing else: reads the
export table that objdump prints.

usage: exports_test.py OBJDUMP DLL
"""

import re
import subprocess
import sys

EXPECTED = ["DllCanUnloadNow", "DllGetClassObject"]


def exported_names(objdump, dll):
    text = subprocess.run([objdump, "-p", dll], capture_output=True, text=True,
                          check=True).stdout
    table = text.split("[Ordinal/Name Pointer] Table", 1)
    if len(table) < 2:
        return []
    names = []
    for line in table[1].splitlines()[1:]:
        match = re.match(r"\s+\[\s*\d+\]\s+(\S+)\s*$", line)
        if not match:
            break
        names.append(match.group(1))
    return sorted(names)


def main():
    objdump, dll = sys.argv[1:3]
    names = exported_names(objdump, dll)
    if names != EXPECTED:
        print(f"exports of {dll}: {names}, expected {EXPECTED}")
        return 1
    print("exports:", ", ".join(names))
    return 0


if __name__ == "__main__":
    sys.exit(main())
