#!/usr/bin/env python3
"""Each program carries the application manifest as resource type 24 (RT_MANIFEST), id 1, and no
other: asInvoker without UI access, and Windows 10 and 11 as the supported systems.

usage: manifest_test.py EXE...
"""

import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24
MANIFEST_ID = 1
RESOURCE_DIRECTORY = 2  # index in the optional header's data directories
WINDOWS_10_AND_11 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


class Image:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        header = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[header:header + 4] != b"PE\0\0":
            raise ValueError(f"{path} is no PE image")
        count, = struct.unpack_from("<H", self.data, header + 6)
        optional_size, = struct.unpack_from("<H", self.data, header + 20)
        optional = header + 24
        magic, = struct.unpack_from("<H", self.data, optional)
        directories = optional + (112 if magic == 0x20B else 96)
        self.resources, _ = struct.unpack_from("<II", self.data,
                                               directories + 8 * RESOURCE_DIRECTORY)
        self.sections = []
        for i in range(count):
            entry = optional + optional_size + 40 * i
            virtual_size, address, raw_size, raw = struct.unpack_from("<IIII", self.data,
                                                                      entry + 8)
            self.sections.append((address, max(virtual_size, raw_size), raw))

    def at(self, rva):
        for address, size, raw in self.sections:
            if address <= rva < address + size:
                return raw + rva - address
        raise ValueError(f"RVA {rva:#x} outside the sections")

    def entries(self, offset):
        """(id or name, is a directory, offset) of a resource directory below the root."""
        base = self.at(self.resources)
        named, numbered = struct.unpack_from("<HH", self.data, base + offset + 12)
        for i in range(named + numbered):
            key, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
            yield (key if not key >> 31 else None), bool(target >> 31), target & 0x7FFFFFFF

    def manifests(self):
        """id -> manifest bytes of every RT_MANIFEST resource (any language)."""
        found = {}
        if not self.resources:
            return found
        base = self.at(self.resources)
        for kind, _, types in self.entries(0):
            if kind != RT_MANIFEST:
                continue
            for ident, _, languages in self.entries(types):
                for _, _, leaf in self.entries(languages):
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    found.setdefault(ident, []).append(self.data[self.at(rva):self.at(rva) + size])
        return found


def check_program(path):
    manifests = Image(path).manifests()
    check(list(manifests) == [MANIFEST_ID] and len(manifests[MANIFEST_ID]) == 1,
          f"{path}: one manifest, id 1: {sorted(manifests, key=str)}")
    if MANIFEST_ID not in manifests:
        return
    root = ET.fromstring(manifests[MANIFEST_ID][0])
    levels = [(e.get("level"), e.get("uiAccess"))
              for e in root.iter(ASM_V3 + "requestedExecutionLevel")]
    check(levels == [("asInvoker", "false")], f"{path}: execution level {levels}")
    systems = [e.get("Id") for e in root.iter(COMPATIBILITY + "supportedOS")]
    check(systems == [WINDOWS_10_AND_11], f"{path}: supported systems {systems}")


def main():
    for path in sys.argv[1:]:
        check_program(path)
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("every program carries the manifest")
    return 0


if __name__ == "__main__":
    sys.exit(main())
