#!/usr/bin/env python3
"""The PE reader on damaged copies of built images: each fault is a ValueError that names the
file and what is wrong, and no cut or overwritten byte makes it fail otherwise (a struct error,
an index out of range, a bad decode) or hang.

usage: pe_test.py EXE DLL
EXE is an image with resources and a COFF symbol table, DLL one with exports.
"""

import struct
import sys

import pe

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def patched(data, offset, layout, *values):
    copy = bytearray(data)
    struct.pack_into(layout, copy, offset, *values)
    return bytes(copy)


def file_header(data):
    return struct.unpack_from("<I", data, 0x3C)[0] + 4


def section_table(data):
    optional_size, = struct.unpack_from("<H", data, file_header(data) + 16)
    return file_header(data) + 20 + optional_size


def directory_entry(data, index):
    optional = file_header(data) + 20
    magic, = struct.unpack_from("<H", data, optional)
    return optional + (112 if magic == pe.PE32_PLUS else 96) + 8 * index


def holder(image, index):
    """The section that holds a data directory (each linker names its sections its own way)."""
    rva, _ = image.directory(index)
    return next(s for s in image.sections if s.rva <= rva < s.rva + s.size)


def section_end(section):
    return section.rva + section.size


def resource_root_entry(image):
    """File offset of the first entry of the resource directory's root."""
    rva, _ = image.directory(pe.RESOURCE_DIRECTORY)
    resources = holder(image, pe.RESOURCE_DIRECTORY)
    return resources.raw + rva - resources.rva + 16


def read_all(image):
    return image.exports(), image.imports(), image.delay_imports(), image.resources()


# What is damaged, in which image, how, what is read, and what the error says.
CASES = [
    ("an empty file", "exe", lambda d, i: b"", None, "not a PE image"),
    ("a text file", "exe", lambda d, i: b"#!/bin/sh\nexit 0\n", None, "not a PE image"),
    ("a DOS header cut short", "exe", lambda d, i: d[:0x20], None, "DOS header truncated"),
    ("a PE header offset past the end", "exe", lambda d, i: patched(d, 0x3C, "<I", len(d)),
     None, "no PE signature"),
    ("an optional header of no known kind", "exe",
     lambda d, i: patched(d, file_header(d) + 20, "<H", 0x107), None, "neither PE32 nor PE32+"),
    ("more data directories than the optional header holds", "exe",
     lambda d, i: patched(d, directory_entry(d, 0) - 4, "<I", 1000), None, "overrun"),
    ("a file cut in its section table", "exe", lambda d, i: d[:section_table(d) + 20],
     None, "section table truncated"),
    ("a file cut in a section", "exe",
     lambda d, i: d[:holder(i, pe.IMPORT_DIRECTORY).raw + 16], None, "truncated: its data ends"),
    ("an export directory outside the sections", "dll",
     lambda d, i: patched(d, directory_entry(d, pe.EXPORT_DIRECTORY), "<I", 0x7FFF0000),
     "exports", "outside the sections"),
    ("an import directory cut by its section's end", "exe",
     lambda d, i: patched(d, directory_entry(d, pe.IMPORT_DIRECTORY), "<I",
                          section_end(holder(i, pe.IMPORT_DIRECTORY)) - 8),
     "imports", "truncated: 20 bytes overrun"),
    ("a symbol table past the end", "exe",
     lambda d, i: patched(d, file_header(d) + 8, "<I", len(d)), "delay_imports",
     "symbol table of"),
    ("a resource type with data in place of its directory", "exe",
     lambda d, i: patched(d, resource_root_entry(i) + 4, "<I", 0x10), "resources",
     "a data entry at level 1"),
]


def damaged(cases, fixtures):
    for what, fixture, damage, read, expected in cases:
        data = damage(fixtures[fixture].data, fixtures[fixture])
        name = f"{fixtures[fixture].path} with {what}"
        try:
            image = pe.Image(name, data)
            if read:
                getattr(image, read)()
            check(False, f"{name}: read without an error")
        except ValueError as error:
            text = str(error)
            check(text.startswith(name + ": ") and expected in text,
                  f"{name}: the error names the file and says {expected!r}: {text!r}")
        except Exception as error:  # the fault under test: anything but a ValueError
            check(False, f"{name}: {type(error).__name__}: {error}")


def survives(name, data):
    try:
        read_all(pe.Image(name, data))
    except ValueError as error:
        check(str(error).startswith(name + ": "), f"the error names the file: {error}")
    except Exception as error:  # the fault under test: anything but a ValueError
        check(False, f"{name}: {type(error).__name__}: {error}")


def sweeps(image):
    """Copies cut at 64 lengths, and with each byte of the PE headers and of the first 64 of
    each directory inverted."""
    data = image.data
    for i in range(64):
        survives(f"{image.path} cut at {len(data) * i // 64}", data[:len(data) * i // 64])
    offsets = list(range(file_header(data) - 4,
                         section_table(data) + pe.SECTION_ENTRY * len(image.sections)))
    for index in (pe.EXPORT_DIRECTORY, pe.IMPORT_DIRECTORY, pe.RESOURCE_DIRECTORY,
                  pe.DELAY_IMPORT_DIRECTORY):
        rva, _ = image.directory(index)
        holders = [s for s in image.sections if s.rva <= rva < s.rva + s.raw_size]
        if rva and holders:
            start = holders[0].raw + rva - holders[0].rva
            offsets += range(start, min(start + 64, holders[0].raw + holders[0].raw_size))
    copy = bytearray(data)
    for offset in offsets:
        copy[offset] ^= 0xFF
        survives(f"{image.path} with byte {offset:#x} inverted", copy)
        copy[offset] ^= 0xFF


def main():
    if len(sys.argv) != 3:
        print(__doc__.split("usage: ", 1)[1], end="")
        return 2
    fixtures = {"exe": pe.Image(sys.argv[1]), "dll": pe.Image(sys.argv[2])}
    damaged(CASES, fixtures)
    for image in fixtures.values():
        sweeps(image)
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print(f"{len(CASES)} damaged images fail as they should; no cut or inverted byte upsets "
          "the reader")
    return 0


if __name__ == "__main__":
    sys.exit(main())
