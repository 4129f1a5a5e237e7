#!/usr/bin/env python3
"""What the images of the three deliverables hold, read from their PE structures, so that the
checks hold for any linker and either architecture, also for images that cannot run here:
- each is built for the target's machine type;
- each imports only DLLs of the system, so that none needs a runtime DLL beside it; the helper,
  whose elevated copy runs from a folder its user may write to, imports at start-up only
  KnownDLLs, and the call that restricts its DLL search for the others;
- the helper delay-imports exactly the functions that its failure hook has stand-ins for, so a
  missing DLL cannot raise 0xC06D007E unguarded and no stand-in is left over;
- the backend DLL exports DllCanUnloadNow and DllGetClassObject and nothing else;
- each program carries the application manifest as resource type 24 (RT_MANIFEST), id 1, and no
  other: asInvoker without UI access, Windows 10 and 11 as the supported systems.

usage: images_test.py PROCESSOR HOOK_SOURCE HELPER BACKEND HUDDLEWATCH
PROCESSOR is CMake's name of the target processor; HOOK_SOURCE is the failure hook's source
file, whose STAND_INS table lists the stand-ins.
"""

import functools
import re
import sys
import xml.etree.ElementTree as ET

import pe

# CMake's names of the target processor -> the machine type of its images.
MACHINES = {"x86_64": pe.MACHINE_AMD64, "amd64": pe.MACHINE_AMD64,
            "aarch64": pe.MACHINE_ARM64, "arm64": pe.MACHINE_ARM64}

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
# The DLLs a deliverable may import: the KnownDLLs and the other System32 DLLs of Windows 10 and
# 11 that the deliverables call (signatures, Media Foundation, Direct2D, DirectWrite, the window
# manager), as the x64 and ARM64 builds import them. The C and C++ runtimes are linked in, so no
# libstdc++, libgcc, libwinpthread, libc++ or libunwind DLL belongs here.
SYSTEM_DLLS = KNOWN_DLLS | {
    "crypt32.dll", "wintrust.dll", "mf.dll", "mfplat.dll", "mfreadwrite.dll", "d2d1.dll",
    "dwrite.dll", "dwmapi.dll",
}

BACKEND_EXPORTS = ["DllCanUnloadNow", "DllGetClassObject"]

RT_MANIFEST = 24
MANIFEST_ID = 1
WINDOWS_10_AND_11 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"

# The hook's DLL enumerators, their names and its table of stand-ins, as the source spells them.
DLL_ENUM = re.compile(r"enum Dll\b[^{]*\{([^}]*)\}")
DLL_NAMES = re.compile(r"DLL_NAMES\{([^}]*)\}")
STAND_IN_TABLE = re.compile(r"STAND_INS\[\]\s*=\s*\{(.*?)\};", re.S)
STAND_IN = re.compile(r"VT_STAND_IN\((\w+),\s*(\w+)\)")

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def stand_ins(source):
    """(DLL, function) of every entry of the hook's STAND_INS table, the one it hands the
    stand-ins out from, each DLL named as the hook's DLL_NAMES names its enumerator."""
    with open(source, encoding="utf-8") as f:
        text = f.read()
    enum, names, table = (pattern.search(text) for pattern in (DLL_ENUM, DLL_NAMES,
                                                               STAND_IN_TABLE))
    if not (enum and names and table):
        raise ValueError(f"{source}: no enum Dll, DLL_NAMES or STAND_INS table")
    enumerators = [e.strip() for e in enum.group(1).split(",") if e.strip() != "DLL_COUNT"]
    dll_names = re.findall(r'"([^"]+)"', names.group(1))
    if len(enumerators) != len(dll_names):
        raise ValueError(f"{source}: DLL enumerators {enumerators}, DLL_NAMES {dll_names}")
    dll_of = dict(zip(enumerators, (name.lower() for name in dll_names)))
    entries = STAND_IN.findall(table.group(1))
    unknown = [dll for dll, _ in entries if dll not in dll_of]
    if not entries or unknown:
        raise ValueError(f"{source}: STAND_INS entries {entries}, of unknown DLLs {unknown}")
    return {(dll_of[dll], function) for dll, function in entries}


def named(function):
    """A function as a message shows it: its name, or # and its ordinal."""
    return function if isinstance(function, str) else f"#{function}"


def system_dlls(image):
    outside = sorted((set(image.imports()) | set(image.delay_imports())) - SYSTEM_DLLS)
    check(not outside, f"{image.path}: imports DLLs that are not the system's: {outside}")


def start_up_imports(image):
    imports = image.imports()
    outside = sorted(set(imports) - KNOWN_DLLS)
    check(not outside, f"{image.path}: static imports outside the KnownDLLs: {outside}")
    check("SetDefaultDllDirectories" in imports.get("kernel32.dll", []),
          f"{image.path}: restricts its DLL search (kernel32.dll!SetDefaultDllDirectories): "
          f"{sorted(imports)}")


def delay_imports(image, table):
    imports = image.delay_imports()
    expected = sorted({dll for dll, _ in table})
    # A GNU ld image keeps its descriptors only in its symbol table, which strip removes.
    found_in = (f" (delay-import directory {image.directory(pe.DELAY_IMPORT_DIRECTORY)}, "
                f"{image.symbol_count} COFF symbols)" if not imports else "")
    check(sorted(imports) == expected, f"{image.path}: delay-loaded DLLs {sorted(imports)}, "
                                       f"those of the stand-ins {expected}{found_in}")
    delayed = {(dll, function) for dll, functions in imports.items() for function in functions}
    unguarded = sorted(f"{dll}!{named(function)}" for dll, function in delayed - table)
    check(not unguarded, f"{image.path}: delay imports without a stand-in: {unguarded}")
    stale = sorted(f"{dll}!{function}" for dll, function in table - delayed)
    check(not stale, f"{image.path}: stand-ins for functions not delay-imported: {stale}")


def exports(image):
    names = sorted(map(named, image.exports()))
    check(names == BACKEND_EXPORTS, f"{image.path}: exports {names}, expected {BACKEND_EXPORTS}")


def manifest(image):
    manifests = [(ident, data) for (kind, ident, _), data in image.resources().items()
                 if kind == RT_MANIFEST]
    idents = [ident for ident, _ in manifests]
    check(idents == [MANIFEST_ID], f"{image.path}: one manifest, id 1: {idents}")
    if idents != [MANIFEST_ID]:
        return
    try:
        root = ET.fromstring(manifests[0][1])
    except ET.ParseError as error:
        check(False, f"{image.path}: the manifest is XML: {error}")
        return
    levels = [(e.get("level"), e.get("uiAccess"))
              for e in root.iter(ASM_V3 + "requestedExecutionLevel")]
    check(levels == [("asInvoker", "false")], f"{image.path}: execution level {levels}")
    systems = [e.get("Id") for e in root.iter(COMPATIBILITY + "supportedOS")]
    check(systems == [WINDOWS_10_AND_11], f"{image.path}: supported systems {systems}")


def check_image(path, machine_type, checks):
    """The checks of every deliverable, then its own; a fault of the file fails the image."""
    try:
        image = pe.Image(path)
        check(image.machine == machine_type,
              f"{path}: machine type {image.machine:#x}, expected {machine_type:#x}")
        system_dlls(image)
        for run in checks:
            run(image)
    except (OSError, ValueError) as error:
        check(False, str(error))


def main():
    if len(sys.argv) != 6:
        print(__doc__.split("usage: ", 1)[1], end="")
        return 2
    processor, source, helper, backend, huddlewatch = sys.argv[1:]
    machine_type = MACHINES.get(processor.lower())
    if machine_type is None:
        print(f"no machine type known for the processor {processor!r}: {sorted(MACHINES)}")
        return 2
    try:
        table = stand_ins(source)
    except (OSError, ValueError) as error:
        print("FAIL:", error)
        return 1
    check_image(helper, machine_type,
                [start_up_imports, functools.partial(delay_imports, table=table), manifest])
    check_image(backend, machine_type, [exports])
    check_image(huddlewatch, machine_type, [manifest])
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print(f"the three images: machine type {machine_type:#x}, system DLLs only, "
          f"{len(table)} delay imports with their stand-ins, the DLL's exports, the manifests")
    return 0


if __name__ == "__main__":
    sys.exit(main())
