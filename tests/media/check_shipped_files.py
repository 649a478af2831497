#!/usr/bin/env python3
"""Checks the PE files of the media folders: machine, subsystem, manifest execution
level, the bootstrapper's icon group, the log service's exports, and the DLLs every file
imports at load time.

Usage: check_shipped_files.py MEDIA_DIR MEDIA_X64_DIR
MEDIA_DIR is the shipping folder (the 32-bit files plus the x64 Scourwell64.exe),
MEDIA_X64_DIR holds every file built for x64. Prints one line per check and exits 1 when any
check fails, 2 when a file is missing or is not a PE file.
"""

import struct
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

I386 = 0x014C
AMD64 = 0x8664
GUI_SUBSYSTEM = 2

RT_ICON = 3
RT_GROUP_ICON = 14
RT_MANIFEST = 24

ICON_GROUP_ID = 107
ICON_SIZES = [256, 128, 48, 32, 16]

# The KnownDLLs list of current Windows (HKLM\SYSTEM\CurrentControlSet\Control\Session
# Manager\KnownDLLs), which the loader maps from the system folder only, whatever lies
# beside the program; ntdll.dll is mapped before any of them. Any other DLL imported at
# load time is searched for in the program's own folder first.
KNOWN_DLLS = {name.lower() for name in (
    "ntdll.dll", "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll",
    "coml2.dll", "difxapi.dll", "gdi32.dll", "gdiplus.dll", "imagehlp.dll", "imm32.dll",
    "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll",
    "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll",
    "shcore.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll",
    "ws2_32.dll")}

COMPILER_RUNTIME_PREFIXES = ("libgcc", "libstdc++", "libwinpthread")

LOG_SERVICE = "quill.dll"
LOG_SERVICE_EXPORTS = ["StartLogger", "StopLogger"]

# What each media folder must hold: file name, machine, execution level of the manifest
# (None for the DLL).
SHIPPING_FILES = [
        ("TaviBootLoader.exe", I386, "asInvoker"),
        ("Quill.dll", I386, None),
        ("Scourwell32.exe", I386, "requireAdministrator"),
        ("Scourwell64.exe", AMD64, "requireAdministrator"),
]
X64_FILES = [
        ("TaviBootLoader.exe", AMD64, "asInvoker"),
        ("Quill.dll", AMD64, None),
        ("Scourwell32.exe", AMD64, "requireAdministrator"),
        ("Scourwell64.exe", AMD64, "requireAdministrator"),
]


class NotPortableExecutable(Exception):
    """The file is not a PE image this script can read."""


class PeFile:
    """The parts of a PE image the checks read: headers, sections, imports, exports and
    resources."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise NotPortableExecutable("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise NotPortableExecutable("no PE signature")
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic not in (0x10B, 0x20B):
            raise NotPortableExecutable("unknown optional header 0x%x" % magic)
        self.wide = magic == 0x20B
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (112 if self.wide else 96)
        count = struct.unpack_from("<I", data, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i)
                            for i in range(count)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            virtual_size, address, raw_size, raw_pointer = struct.unpack_from(
                "<IIII", data, table + 40 * i + 8)
            self.sections.append((address, max(virtual_size, raw_size), raw_pointer))

    def offset(self, rva):
        """File offset of a relative virtual address."""
        for address, size, raw_pointer in self.sections:
            if address <= rva < address + size:
                return rva - address + raw_pointer
        raise NotPortableExecutable("RVA 0x%x lies in no section" % rva)

    def directory(self, index):
        """(RVA, size) of a data directory; (0, 0) when the header lacks it."""
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def text(self, rva):
        """The zero-terminated ASCII text at an RVA."""
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def thunk_names(self, rva):
        """Names (or #ordinals) of an import name table."""
        names = []
        size, ordinal_flag = (8, 1 << 63) if self.wide else (4, 1 << 31)
        position = self.offset(rva)
        while True:
            value = struct.unpack_from("<Q" if self.wide else "<I", self.data, position)[0]
            if not value:
                return names
            names.append("#%d" % (value & 0xFFFF) if value & ordinal_flag
                         else self.text(value + 2))
            position += size

    def imports(self):
        """{dll name: [function names]} of the load-time import table."""
        result = {}
        rva, size = self.directory(1)
        if not rva:
            return result
        position = self.offset(rva)
        while True:
            lookup, _, _, name, address = struct.unpack_from("<IIIII", self.data, position)
            if not name:
                return result
            result.setdefault(self.text(name), []).extend(
                self.thunk_names(lookup or address))
            position += 20

    def delay_imports(self):
        """Names of the DLLs of the delay-load import table."""
        result = []
        rva, _ = self.directory(13)
        if not rva:
            return result
        position = self.offset(rva)
        while True:
            name = struct.unpack_from("<II", self.data, position)[1]
            if not name:
                return result
            result.append(self.text(name))
            position += 32

    def exports(self):
        """Exported names, in the order of the export table."""
        rva, _ = self.directory(0)
        if not rva:
            return []
        start = self.offset(rva)
        count, names = struct.unpack_from("<I4xI", self.data, start + 24)
        return [self.text(struct.unpack_from("<I", self.data, self.offset(names) + 4 * i)[0])
                for i in range(count)]

    def resources(self):
        """{(type, name): bytes} of the resource tree (first language of each entry).
        Types and names are integers for numeric ids, strings for named ones."""
        rva, _ = self.directory(2)
        result = {}
        if not rva:
            return result
        base = self.offset(rva)

        def entries(offset):
            named, numbered = struct.unpack_from("<HH", self.data, base + offset + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
                if ident & 0x80000000:
                    length = struct.unpack_from("<H", self.data, base + (ident & 0x7FFFFFFF))[0]
                    start = base + (ident & 0x7FFFFFFF) + 2
                    ident = self.data[start:start + 2 * length].decode("utf-16-le")
                yield ident, target

        for kind, kind_target in entries(0):
            for name, name_target in entries(kind_target & 0x7FFFFFFF):
                target = name_target
                while target & 0x80000000:
                    target = next(entries(target & 0x7FFFFFFF))[1]
                data_rva, size = struct.unpack_from("<II", self.data, base + target)
                start = self.offset(data_rva)
                result[(kind, name)] = self.data[start:start + size]
        return result


class Report:
    """Counts and prints the outcome of each check."""
    def __init__(self):
        self.failures = 0

    def check(self, label, ok, detail=""):
        """Prints the check's outcome, with detail when it failed."""
        if ok:
            print("ok    " + label)
        else:
            print("FAIL  %s%s" % (label, (": " + detail) if detail else ""))
            self.failures += 1


def execution_level(manifest):
    """The level attribute of the manifest's requestedExecutionLevel, or None."""
    root = ElementTree.fromstring(manifest)
    for element in root.iter():
        if element.tag.endswith("requestedExecutionLevel"):
            return element.get("level")
    return None


def icon_image_problem(size, data):
    """What is wrong with one icon image of the given side, or None."""
    if data[:8] == b"\x89PNG\r\n\x1a\n":
        width, height, depth, colour = struct.unpack_from(">IIBB", data, 16)
        if (width, height) != (size, size):
            return "PNG of %dx%d" % (width, height)
        if (depth, colour) != (8, 6):
            return "PNG not 8-bit RGBA (depth %d, colour type %d)" % (depth, colour)
        return None
    header, width, height, planes, bits = struct.unpack_from("<IiiHH", data, 0)
    if header != 40:
        return "neither PNG nor DIB"
    if (width, height) != (size, 2 * size):
        return "DIB of %dx%d" % (width, height // 2)
    if bits != 32:
        return "DIB of %d bits per pixel" % bits
    return None


def check_icon(report, label, resources):
    """The bootstrapper's icon: group 107 alone, with its five 32-bit images."""
    groups = sorted((name for kind, name in resources if kind == RT_GROUP_ICON), key=str)
    report.check(label + " icon groups", groups == [ICON_GROUP_ID],
                 "found %s, expected only %d (the program's icon is the lowest id)"
                 % (groups, ICON_GROUP_ID))
    group = resources.get((RT_GROUP_ICON, ICON_GROUP_ID))
    if group is None:
        return
    count = struct.unpack_from("<H", group, 4)[0]
    sizes = []
    for i in range(count):
        width, height, _, _, planes, bits, length, ident = struct.unpack_from(
            "<BBBBHHIH", group, 6 + 14 * i)
        size = width or 256
        sizes.append(size)
        image = resources.get((RT_ICON, ident))
        problem = None
        if (width, height) != (size % 256, size % 256) or planes != 1 or bits != 32:
            problem = "entry %dx%d, %d planes, %d bits" % (width, height, planes, bits)
        elif image is None or len(image) != length:
            problem = "image %d missing or of the wrong length" % ident
        else:
            problem = icon_image_problem(size, image)
        report.check("%s icon image %d px, 32 bpp" % (label, size), problem is None, problem or "")
    report.check(label + " icon sizes", sizes == ICON_SIZES,
                 "%s, expected %s" % (sizes, ICON_SIZES))


def check_file(report, folder, name, machine, level):
    """Runs every check that applies to one file; False when it cannot be read."""
    label = "%s/%s" % (folder.name, name)
    try:
        pe = PeFile((folder / name).read_bytes())
    except (OSError, NotPortableExecutable, struct.error) as error:
        print("FAIL  %s: cannot read: %s" % (label, error))
        return False
    is_dll = bool(pe.characteristics & 0x2000)
    report.check(label + " machine", pe.machine == machine,
                 "0x%04x, expected 0x%04x" % (pe.machine, machine))
    if not is_dll:
        report.check(label + " GUI subsystem", pe.subsystem == GUI_SUBSYSTEM,
                     "subsystem %d" % pe.subsystem)
    resources = pe.resources()
    if level:
        manifests = [data for (kind, _), data in resources.items() if kind == RT_MANIFEST]
        found = execution_level(manifests[0]) if len(manifests) == 1 else None
        report.check(label + " manifest execution level", found == level,
                     "%s, expected %s" % (found, level))
    if name == "TaviBootLoader.exe":
        check_icon(report, label, resources)

    imports = pe.imports()
    print("      %s imports %s" % (label, ", ".join(
        dll + ("(%s)" % ", ".join(functions) if dll.lower() == LOG_SERVICE else "")
        for dll, functions in imports.items())))
    allowed = KNOWN_DLLS | ({LOG_SERVICE} if name == "TaviBootLoader.exe" else set())
    runtime = [dll for dll in imports if dll.lower().startswith(COMPILER_RUNTIME_PREFIXES)]
    report.check(label + " no compiler runtime DLL", not runtime, ", ".join(runtime))
    unknown = sorted(dll for dll in imports if dll.lower() not in allowed)
    report.check(label + " imports only KnownDLLs", not unknown,
                 "also imports " + ", ".join(unknown))
    delayed = sorted(dll for dll in pe.delay_imports() if dll.lower() not in KNOWN_DLLS)
    report.check(label + " no delay-loaded DLL outside KnownDLLs", not delayed, ", ".join(delayed))
    log_service = {dll.lower(): functions for dll, functions in imports.items()}.get(LOG_SERVICE)
    if name == "TaviBootLoader.exe":
        report.check(label + " imports StartLogger and StopLogger from Quill.dll",
                     sorted(log_service or []) == LOG_SERVICE_EXPORTS, str(log_service))
    else:
        report.check(label + " does not import Quill.dll", log_service is None)
    if name == "Quill.dll":
        exports = sorted(pe.exports())
        report.check(label + " exports StartLogger and StopLogger",
                     exports == LOG_SERVICE_EXPORTS, str(exports))
    return True


def main(argv):
    """Checks both media folders and reports the outcome in the exit code."""
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    report = Report()
    readable = True
    for folder, files in ((argv[1], SHIPPING_FILES), (argv[2], X64_FILES)):
        for name, machine, level in files:
            readable &= check_file(report, Path(folder), name, machine, level)
    if not readable:
        print("Build both trees first (make build: win32, then win64).")
        return 2
    print("%d check(s) failed" % report.failures if report.failures else "all checks passed")
    return 1 if report.failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
