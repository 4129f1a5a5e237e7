"""Reads what the tests check of a PE image from the PE structures themselves: the machine type,
the sections, and the export, import, delay-import and resource directories. No objdump or nm:
their text differs between binutils releases and linkers, and GNU objdump lists only part of an
lld image's imports. PE32 and PE32+ alike.

Every fault of the file (not a PE image, an RVA outside the sections, a truncated table) is a
ValueError that names the file and what is wrong.
"""

import struct
from typing import NamedTuple

MACHINE_I386 = 0x14C
MACHINE_AMD64 = 0x8664
MACHINE_ARM64 = 0xAA64

PE32 = 0x10B
PE32_PLUS = 0x20B

# Indices in the optional header's data directories.
EXPORT_DIRECTORY = 0
IMPORT_DIRECTORY = 1
RESOURCE_DIRECTORY = 2
DELAY_IMPORT_DIRECTORY = 13

# dlltool names each delay-import descriptor with a symbol of this prefix. The GNU linker
# leaves the header's delay-import directory empty, so its images are read through them.
DELAY_DESCRIPTOR_SYMBOL = "__DELAY_IMPORT_DESCRIPTOR_"
DELAY_ATTRIBUTE_RVA = 1  # else the descriptor holds addresses (of the preferred image base)

SECTION_ENTRY = 40
IMPORT_DESCRIPTOR = 20
DELAY_DESCRIPTOR = 32
SYMBOL_ENTRY = 18
RESOURCE_LEVELS = 3  # type, name, language


class Section(NamedTuple):
    name: str
    rva: int
    size: int  # in memory; past raw_size it reads as zeros
    raw: int  # file offset
    raw_size: int


class Image:
    """One PE file, read whole. Imports and exports name a function by its name, or by its
    ordinal (an int) where it has none; DLL names are in lower case, as the loader compares
    them. data, where given, stands for the file's bytes; path then only names it in errors."""

    def __init__(self, path, data=None):
        self.path = path
        if data is None:
            with open(path, "rb") as f:
                data = f.read()
        self.data = data
        if self.data[:2] != b"MZ":
            raise self._fault("not a PE image (no MZ header)")
        header, = self._unpack("<I", 0x3C, "DOS header")
        if self.data[header:header + 4] != b"PE\0\0":
            raise self._fault(f"not a PE image (no PE signature at {header:#x})")
        (self.machine, section_count, _, self.symbols, self.symbol_count, optional_size,
         _) = self._unpack("<HHIIIHH", header + 4, "file header")
        optional = header + 24
        magic, = self._unpack("<H", optional, "optional header")
        if magic not in (PE32, PE32_PLUS):
            raise self._fault(f"optional header magic {magic:#x} is neither PE32 nor PE32+")
        self.pe32_plus = magic == PE32_PLUS
        if self.pe32_plus:
            self.image_base, = self._unpack("<Q", optional + 24, "optional header")
            directory_count, = self._unpack("<I", optional + 108, "optional header")
            directories = optional + 112
        else:
            self.image_base, = self._unpack("<I", optional + 28, "optional header")
            directory_count, = self._unpack("<I", optional + 92, "optional header")
            directories = optional + 96
        if directories + 8 * directory_count > optional + optional_size:
            raise self._fault(f"{directory_count} data directories overrun the optional header")
        self.directories = [self._unpack("<II", directories + 8 * i, "data directories")
                            for i in range(directory_count)]
        self.sections = [self._section(optional + optional_size + SECTION_ENTRY * i)
                         for i in range(section_count)]

    def _fault(self, what):
        return ValueError(f"{self.path}: {what}")

    def _unpack(self, layout, offset, what):
        """Fields at a file offset."""
        if offset < 0 or offset + struct.calcsize(layout) > len(self.data):
            raise self._fault(f"{what} truncated (at file offset {offset:#x}, "
                              f"file of {len(self.data)} bytes)")
        return struct.unpack_from(layout, self.data, offset)

    def _section(self, entry):
        raw_name, virtual_size, rva, raw_size, raw = self._unpack("<8sIIII", entry,
                                                                  "section table")
        name = raw_name.rstrip(b"\0").decode("latin-1")
        if raw_size and raw + raw_size > len(self.data):
            raise self._fault(f"section {name} truncated: its data ends at {raw + raw_size:#x}, "
                              f"the file at {len(self.data):#x}")
        size = virtual_size or raw_size
        return Section(name, rva, size, raw, min(raw_size, size))

    def _holding(self, rva, what):
        for section in self.sections:
            if section.rva <= rva < section.rva + section.size:
                return section
        raise self._fault(f"{what} at RVA {rva:#x} lies outside the sections")

    def read(self, rva, size, what):
        """size bytes at an RVA, all inside one section."""
        if size > len(self.data):
            raise self._fault(f"{what} at RVA {rva:#x}: {size} bytes, more than the file holds")
        section = self._holding(rva, what)
        start = rva - section.rva
        if start + size > section.size:
            raise self._fault(f"{what} at RVA {rva:#x} truncated: {size} bytes overrun section "
                              f"{section.name}")
        stored = section.raw + start, section.raw + min(start + size, section.raw_size)
        data = self.data[stored[0]:stored[1]] if start < section.raw_size else b""
        return data + bytes(size - len(data))

    def unpack(self, layout, rva, what):
        return struct.unpack(layout, self.read(rva, struct.calcsize(layout), what))

    def string(self, rva, what):
        """The NUL-terminated ASCII text at an RVA."""
        section = self._holding(rva, what)
        start = section.raw + rva - section.rva
        stop = section.raw + section.raw_size
        end = self.data.find(b"\0", start, stop) if start < stop else start
        if end < 0:
            if section.raw_size == section.size:
                raise self._fault(f"{what} at RVA {rva:#x} has no terminating NUL")
            end = stop  # the section's zero fill ends it
        try:
            return self.data[start:end].decode("ascii")
        except UnicodeDecodeError:
            raise self._fault(f"{what} at RVA {rva:#x} is not ASCII: "
                              f"{self.data[start:end][:40]!r}") from None

    def directory(self, index):
        """(RVA, size) of a data directory, (0, 0) where the header has none."""
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def exports(self):
        """The exported functions: names, and ordinals of those exported without a name."""
        rva, _ = self.directory(EXPORT_DIRECTORY)
        if not rva:
            return []
        (base, function_count, name_count, functions, names,
         ordinals) = self.unpack("<16x6I", rva, "export directory")
        found = []
        named = set()
        for i in range(name_count):
            name, = self.unpack("<I", names + 4 * i, "export name table")
            index, = self.unpack("<H", ordinals + 2 * i, "export ordinal table")
            found.append(self.string(name, "export name"))
            named.add(index)
        for index in range(function_count):
            address, = self.unpack("<I", functions + 4 * index, "export address table")
            if address and index not in named:
                found.append(base + index)
        return found

    def _thunks(self, rva, what):
        """The functions of one import name table: names, or ordinals."""
        layout, ordinal_flag = ("<Q", 1 << 63) if self.pe32_plus else ("<I", 1 << 31)
        size = struct.calcsize(layout)
        found = []
        while thunk := self.unpack(layout, rva, what)[0]:
            if thunk & ordinal_flag:
                found.append(thunk & 0xFFFF)
            elif thunk >> 31:
                raise self._fault(f"{what} entry at RVA {rva:#x} is {thunk:#x}: neither an "
                                  "ordinal nor the RVA of a name")
            else:
                found.append(self.string(thunk + 2, f"{what} name"))  # past the hint
            rva += size
        return found

    def imports(self):
        """DLL -> functions of the import directory, in the image's order."""
        found = {}
        rva, _ = self.directory(IMPORT_DIRECTORY)
        while rva:
            names, _, _, dll, addresses = self.unpack("<5I", rva, "import directory")
            if not dll:
                break
            # Without a name table the address table, unbound in the file, holds the same.
            found.setdefault(self.string(dll, "imported DLL name").lower(), []).extend(
                self._thunks(names or addresses, "import name table"))
            rva += IMPORT_DESCRIPTOR
        return found

    def delay_imports(self):
        """DLL -> functions of the delay-import descriptors: those of the header's directory and
        those that dlltool's symbols name."""
        descriptors = []
        rva, _ = self.directory(DELAY_IMPORT_DIRECTORY)
        while rva and any(self.unpack("<8I", rva, "delay-import directory")):
            descriptors.append(rva)
            rva += DELAY_DESCRIPTOR
        descriptors += self.symbol_rvas(DELAY_DESCRIPTOR_SYMBOL)
        found = {}
        for rva in dict.fromkeys(descriptors):
            attributes, dll, _, _, names = self.unpack("<5I", rva, "delay-import descriptor")
            offset = 0 if attributes & DELAY_ATTRIBUTE_RVA else self.image_base
            found.setdefault(self.string(dll - offset, "delay-imported DLL name").lower(),
                             []).extend(self._thunks(names - offset, "delay-import name table"))
        return found

    def symbol_rvas(self, prefix):
        """RVAs of the COFF symbols defined in a section whose names, longer than the eight
        bytes a symbol record holds, start with prefix. lld and strip leave no symbol table."""
        if not self.symbols:
            return []
        strings = self.symbols + SYMBOL_ENTRY * self.symbol_count
        size, = self._unpack("<I", strings, f"symbol table of {self.symbol_count} symbols")
        if strings + size > len(self.data):
            raise self._fault(f"symbol names truncated ({size} bytes from file offset "
                              f"{strings:#x}, file of {len(self.data)} bytes)")
        names = self.data[strings:strings + size]
        wanted = set()
        at = names.find(prefix.encode("latin-1"), 4)  # past the size
        while at >= 0:
            wanted.add(at)
            at = names.find(prefix.encode("latin-1"), at + 1)
        found = []
        aux = 0
        for short, name, value, section, count in struct.iter_unpack(
                "<4sIIh3xB", self.data[self.symbols:strings]):
            if aux:  # an auxiliary record of the symbol before
                aux -= 1
                continue
            aux = count
            if name in wanted and short == b"\0\0\0\0" and 0 < section <= len(self.sections):
                found.append(self.sections[section - 1].rva + value)
        return found

    def resources(self):
        """(type, name, language) -> bytes of every resource; a type or name is an id, or its
        text where it has one."""
        base, _ = self.directory(RESOURCE_DIRECTORY)
        found = {}
        if base:
            self._resource_level(base, 0, (), found)
        return found

    def _resource_level(self, base, offset, path, found):
        named, numbered = self.unpack("<12xHH", base + offset, "resource directory")
        for i in range(named + numbered):
            key, target = self.unpack("<II", base + offset + 16 + 8 * i, "resource entry")
            if key >> 31:
                length, = self.unpack("<H", base + (key & 0x7FFFFFFF), "resource name")
                key = self.read(base + (key & 0x7FFFFFFF) + 2, 2 * length,
                                "resource name").decode("utf-16-le", "surrogatepass")
            below = (*path, key)
            leaf = len(below) == RESOURCE_LEVELS
            if bool(target >> 31) == leaf:
                raise self._fault(f"resource {below}: a {'directory' if leaf else 'data entry'} "
                                  f"at level {len(below)} of {RESOURCE_LEVELS}")
            if not leaf:
                self._resource_level(base, target & 0x7FFFFFFF, below, found)
            else:
                rva, size = self.unpack("<II", base + target, "resource data entry")
                found[below] = self.read(rva, size, f"resource {below}")
