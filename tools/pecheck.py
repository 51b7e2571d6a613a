#!/usr/bin/env python3
"""Check that a 32-bit Windows image can be loaded by Windows 95.

Usage: pecheck.py IMAGE [--allowlist FILE]

The image is read directly (no external tools). It passes when:
  * it is PE32 (optional header magic 0x10B) for the i386 machine,
  * its subsystem is Windows GUI (2),
  * its subsystem version and its operating system version are both 4.0,
  * every function it imports statically, by name, is in the allowlist under
    the DLL it is imported from (DLL names compare case-insensitively),
  * it has no import by ordinal and no delay-load import, unless the allowlist
    names that import (ordinals as DLL!#ordinal).

Windows 95 refuses images whose subsystem version is above 4.0, and its loader
fails the whole image when a single imported name is missing from a DLL, so
anything outside the allowlist has to be looked up at run time with
GetProcAddress instead.

Each violation is printed on its own line, followed by a one-line summary.
Exit status: 0 when everything passes, 1 when there are violations, 2 when the
image or the allowlist cannot be read or is not what it claims to be.
"""

import argparse
import os
import struct
import sys

IMAGE_FILE_MACHINE_I386 = 0x014C
PE32_MAGIC = 0x10B
PE32PLUS_MAGIC = 0x20B
SUBSYSTEM_WINDOWS_GUI = 2

MACHINE_NAMES = {
    0x014C: "i386",
    0x8664: "AMD64",
    0x01C4: "ARMNT",
    0xAA64: "ARM64",
    0x0200: "IA64",
}

SUBSYSTEM_NAMES = {
    0: "unknown",
    1: "native",
    2: "Windows GUI",
    3: "Windows console",
    5: "OS/2 console",
    7: "POSIX console",
    9: "Windows CE GUI",
    10: "EFI application",
}

DIR_IMPORT = 1
DIR_DELAY_IMPORT = 13

# Sanity limits so that a damaged file cannot keep us walking forever.
MAX_DESCRIPTORS = 4096
MAX_THUNKS = 65536
MAX_NAME = 4096

DEFAULT_ALLOWLIST = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                 "win95-imports.txt")


class BadInput(Exception):
    """The file cannot be checked: unreadable, not PE, truncated or malformed."""


def normalize_dll(name):
    """Case-insensitive DLL key; "KERNEL32" and "kernel32.dll" are the same DLL."""
    key = name.strip().lower()
    if "." not in key:
        key += ".dll"
    return key


class Allowlist:
    def __init__(self):
        self.entries = {}  # dll key -> set of function names and "#ordinal" strings

    def allows(self, dll, item):
        return item in self.entries.get(normalize_dll(dll), ())

    def knows_dll(self, dll):
        return normalize_dll(dll) in self.entries

    def count(self):
        return sum(len(v) for v in self.entries.values())


def load_allowlist(path):
    try:
        with open(path, "rb") as f:
            raw = f.read()
    except OSError as e:
        raise BadInput("cannot read allowlist %s: %s" % (path, e.strerror or e))
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        raise BadInput("allowlist %s is not UTF-8 text" % path)

    allow = Allowlist()
    for lineno, line in enumerate(text.splitlines(), 1):
        stripped = line.strip()
        if not stripped or stripped.startswith("#"):
            continue
        # The entry is the first word; "#" inside it is an ordinal (DLL!#5),
        # the source comment starts at the first "#" after whitespace.
        parts = stripped.split(None, 1)
        entry = parts[0]
        rest = parts[1].lstrip() if len(parts) > 1 else ""
        where = "%s:%d" % (path, lineno)
        if rest and not rest.startswith("#"):
            raise BadInput("%s: malformed entry '%s' (expected 'DLL!Function  # source')"
                           % (where, stripped))
        if not rest[1:].strip():
            raise BadInput("%s: entry '%s' gives no source (expected 'DLL!Function  # source')"
                           % (where, entry))
        if entry.count("!") != 1:
            raise BadInput("%s: malformed entry '%s' (expected 'DLL!Function  # source')"
                           % (where, entry))
        dll, func = entry.split("!")
        if not dll or not func:
            raise BadInput("%s: malformed entry '%s' (expected 'DLL!Function  # source')"
                           % (where, entry))
        if func.startswith("#"):
            ordinal = func[1:]
            if not ordinal.isdigit() or not 0 <= int(ordinal) <= 0xFFFF:
                raise BadInput("%s: bad ordinal in '%s' (expected DLL!#number)" % (where, entry))
            func = "#%d" % int(ordinal)
        allow.entries.setdefault(normalize_dll(dll), set()).add(func)
    return allow


class PEImage:
    """Just enough of a PE parser to read the headers and the import tables."""

    def __init__(self, data, label):
        self.data = data
        self.label = label
        self.parse_headers()

    # -- raw access -------------------------------------------------------

    def unpack(self, fmt, offset, what):
        size = struct.calcsize(fmt)
        if offset < 0 or offset + size > len(self.data):
            raise BadInput("truncated: %s at file offset 0x%x runs past the end of the file "
                           "(%d bytes)" % (what, offset, len(self.data)))
        return struct.unpack_from(fmt, self.data, offset)

    def rva_to_offset(self, rva, what):
        if rva < self.size_of_headers and rva < len(self.data):
            return rva
        for name, vaddr, vsize, raw_ptr, raw_size in self.sections:
            span = max(vsize, raw_size)
            if vaddr <= rva < vaddr + span:
                delta = rva - vaddr
                if delta >= raw_size:
                    raise BadInput("%s (RVA 0x%x) lies in the uninitialised part of section %s"
                                   % (what, rva, name))
                return raw_ptr + delta
        raise BadInput("%s (RVA 0x%x) is not inside any section" % (what, rva))

    def read_cstring(self, rva, what):
        off = self.rva_to_offset(rva, what)
        end = self.data.find(b"\0", off, off + MAX_NAME)
        if end < 0:
            if off + MAX_NAME > len(self.data):
                raise BadInput("truncated: %s at RVA 0x%x has no terminating NUL before the "
                               "end of the file" % (what, rva))
            raise BadInput("%s at RVA 0x%x is not NUL-terminated" % (what, rva))
        return self.data[off:end].decode("latin-1")

    # -- headers ----------------------------------------------------------

    def parse_headers(self):
        data = self.data
        if len(data) < 2 or data[:2] != b"MZ":
            raise BadInput("not a PE image: no 'MZ' signature at the start of the file")
        if len(data) < 0x40:
            raise BadInput("truncated: the DOS header is only %d bytes long" % len(data))
        (pe_off,) = self.unpack("<I", 0x3C, "e_lfanew")
        if pe_off + 4 > len(data):
            raise BadInput("truncated or not a PE image: the PE header offset 0x%x is past the "
                           "end of the file (%d bytes)" % (pe_off, len(data)))
        if data[pe_off:pe_off + 4] != b"PE\0\0":
            raise BadInput("not a PE image: no 'PE' signature at offset 0x%x" % pe_off)

        (self.machine, nsections, _timestamp, _symptr, _nsyms, opt_size,
         self.characteristics) = self.unpack("<HHIIIHH", pe_off + 4, "COFF file header")
        opt = pe_off + 24
        if opt_size < 2:
            raise BadInput("the image has no optional header")
        (self.magic,) = self.unpack("<H", opt, "optional header")

        if self.magic == PE32_MAGIC:
            ddir_off, count_off = 96, 92
        elif self.magic == PE32PLUS_MAGIC:
            ddir_off, count_off = 112, 108
        else:
            raise BadInput("unknown optional header magic 0x%x" % self.magic)
        if opt_size < ddir_off:
            raise BadInput("optional header is %d bytes, too short for a %s header"
                           % (opt_size, "PE32" if self.magic == PE32_MAGIC else "PE32+"))

        if self.magic == PE32_MAGIC:
            (self.image_base,) = self.unpack("<I", opt + 28, "ImageBase")
        else:
            (self.image_base,) = self.unpack("<Q", opt + 24, "ImageBase")
        (self.os_major, self.os_minor) = self.unpack("<HH", opt + 40, "OS version")
        (self.subsys_major, self.subsys_minor) = self.unpack("<HH", opt + 48, "subsystem version")
        (self.size_of_headers,) = self.unpack("<I", opt + 60, "SizeOfHeaders")
        (self.subsystem,) = self.unpack("<H", opt + 68, "Subsystem")
        (ndirs,) = self.unpack("<I", opt + count_off, "NumberOfRvaAndSizes")
        ndirs = min(ndirs, (opt_size - ddir_off) // 8, 16)
        self.directories = []
        for i in range(ndirs):
            self.directories.append(self.unpack("<II", opt + ddir_off + 8 * i,
                                                "data directory %d" % i))

        self.sections = []
        sec_table = opt + opt_size
        for i in range(nsections):
            fields = self.unpack("<8sIIII", sec_table + 40 * i, "section header %d" % i)
            raw_name, vsize, vaddr, raw_size, raw_ptr = fields
            name = raw_name.rstrip(b"\0").decode("latin-1") or "#%d" % i
            if raw_size and raw_ptr + raw_size > len(self.data):
                raise BadInput("truncated: section %s needs file bytes 0x%x-0x%x but the file "
                               "has only %d bytes" % (name, raw_ptr, raw_ptr + raw_size,
                                                      len(self.data)))
            self.sections.append((name, vaddr, vsize, raw_ptr, raw_size))

    def directory(self, index):
        if index < len(self.directories):
            return self.directories[index]
        return (0, 0)

    # -- imports ----------------------------------------------------------

    def thunk_entries(self, table_rva, what):
        """Yield ("name", str) or ("ordinal", int) for each entry of an import lookup table."""
        wide = self.magic == PE32PLUS_MAGIC
        fmt, size = ("<Q", 8) if wide else ("<I", 4)
        flag = 1 << 63 if wide else 1 << 31
        off = self.rva_to_offset(table_rva, what)
        for i in range(MAX_THUNKS):
            (value,) = self.unpack(fmt, off + size * i, what)
            if value == 0:
                return
            if value & flag:
                yield ("ordinal", value & 0xFFFF)
            else:
                hint_rva = value & 0x7FFFFFFF
                yield ("name", self.read_cstring(hint_rva + 2, "imported name in " + what))
        raise BadInput("%s has more than %d entries; the image looks damaged" % (what, MAX_THUNKS))

    def static_imports(self):
        """Return [(dll, [entries])] from the import directory."""
        rva, _size = self.directory(DIR_IMPORT)
        if rva == 0:
            return []
        base = self.rva_to_offset(rva, "import directory")
        result = []
        for i in range(MAX_DESCRIPTORS):
            ilt, _stamp, _chain, name_rva, iat = self.unpack(
                "<IIIII", base + 20 * i, "import descriptor %d" % i)
            if ilt == 0 and name_rva == 0 and iat == 0:
                return result
            dll = self.read_cstring(name_rva, "DLL name of import descriptor %d" % i)
            table = ilt or iat
            entries = list(self.thunk_entries(table, "import table of " + dll)) if table else []
            result.append((dll, entries))
        raise BadInput("import directory has more than %d DLLs; the image looks damaged"
                       % MAX_DESCRIPTORS)

    def delay_imports(self):
        """Return [(dll, [entries])] from the delay-load import directory."""
        rva, size = self.directory(DIR_DELAY_IMPORT)
        if rva == 0:
            return []
        base = self.rva_to_offset(rva, "delay-load import directory")
        limit = size // 32 if size >= 32 else MAX_DESCRIPTORS
        result = []
        for i in range(min(limit, MAX_DESCRIPTORS)):
            fields = self.unpack("<8I", base + 32 * i, "delay-load descriptor %d" % i)
            attrs, name_rva, _hmod, _iat, int_rva = fields[:5]
            if not any(fields):
                break
            if not attrs & 1:
                # Old-style descriptors hold virtual addresses instead of RVAs.
                name_rva = (name_rva - self.image_base) & 0xFFFFFFFF
                int_rva = (int_rva - self.image_base) & 0xFFFFFFFF if int_rva else 0
            dll = self.read_cstring(name_rva, "DLL name of delay-load descriptor %d" % i)
            entries = (list(self.thunk_entries(int_rva, "delay-load name table of " + dll))
                       if int_rva else [])
            result.append((dll, entries))
        return result


def describe_machine(machine):
    name = MACHINE_NAMES.get(machine)
    return "%s (0x%x)" % (name, machine) if name else "0x%x" % machine


def check(image, allow):
    """Return (violations, number of imports checked, DLL names)."""
    problems = []

    if image.magic != PE32_MAGIC:
        problems.append("optional header magic is 0x%x (%s), not 0x10B: the image is not PE32, "
                        "Windows 95 loads only 32-bit PE32 images"
                        % (image.magic, "PE32+, a 64-bit image" if image.magic == PE32PLUS_MAGIC
                           else "unknown"))
    if image.machine != IMAGE_FILE_MACHINE_I386:
        problems.append("machine is %s, not i386 (0x14c)" % describe_machine(image.machine))
    if image.subsystem != SUBSYSTEM_WINDOWS_GUI:
        problems.append("subsystem is %d (%s), not 2 (Windows GUI)"
                        % (image.subsystem, SUBSYSTEM_NAMES.get(image.subsystem, "unknown")))
    if (image.subsys_major, image.subsys_minor) != (4, 0):
        problems.append("subsystem version is %d.%d, not 4.0: Windows 95 refuses images that "
                        "ask for a newer subsystem (link with --major-subsystem-version,4 "
                        "--minor-subsystem-version,0)" % (image.subsys_major, image.subsys_minor))
    if (image.os_major, image.os_minor) != (4, 0):
        problems.append("operating system version is %d.%d, not 4.0 (link with "
                        "--major-os-version,4 --minor-os-version,0)"
                        % (image.os_major, image.os_minor))

    checked = 0
    dlls = []
    for dll, entries in image.static_imports():
        dlls.append(dll)
        if not entries and not allow.knows_dll(dll):
            problems.append("%s: the image depends on this DLL but the allowlist has nothing "
                            "for it" % dll)
        for kind, value in entries:
            checked += 1
            if kind == "name":
                if not allow.allows(dll, value):
                    problems.append("%s!%s: imported by name but not in the Windows 95 "
                                    "allowlist" % (dll, value))
            elif not allow.allows(dll, "#%d" % value):
                problems.append("%s!#%d: imported by ordinal %d; ordinals differ between "
                                "Windows versions (allowlist it as %s!#%d if it is known to "
                                "be right)" % (dll, value, value, dll, value))

    for dll, entries in image.delay_imports():
        dlls.append(dll + " (delay-load)")
        if not entries:
            problems.append("%s: delay-load descriptor with no imports" % dll)
        for kind, value in entries:
            checked += 1
            item = value if kind == "name" else "#%d" % value
            if not allow.allows(dll, item):
                problems.append("%s!%s: delay-load import not in the allowlist (look it up "
                                "with GetProcAddress instead)" % (dll, item))
    return problems, checked, dlls


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Check that a 32-bit Windows image can be loaded by Windows 95.")
    parser.add_argument("image", help="the .exe or .dll to check")
    parser.add_argument("--allowlist", default=DEFAULT_ALLOWLIST,
                        help="DLL!Function list of imports known to exist on Windows 95 "
                             "(default: %(default)s)")
    args = parser.parse_args(argv)
    label = os.path.basename(args.image)

    try:
        allow = load_allowlist(args.allowlist)
        try:
            with open(args.image, "rb") as f:
                data = f.read()
        except OSError as e:
            raise BadInput("cannot read %s: %s" % (args.image, e.strerror or e))
        image = PEImage(data, label)
        problems, checked, dlls = check(image, allow)
    except BadInput as e:
        print("pecheck: %s: %s" % (args.image, e), file=sys.stderr)
        return 2
    except Exception as e:  # a parser bug must still not look like a pass
        print("pecheck: %s: cannot check the image: %s: %s"
              % (args.image, type(e).__name__, e), file=sys.stderr)
        return 2

    for p in problems:
        print("%s: FAIL: %s" % (label, p))
    kind = "PE32" if image.magic == PE32_MAGIC else "PE32+" if image.magic == PE32PLUS_MAGIC \
        else "magic 0x%x" % image.magic
    facts = "%s %s, %s subsystem %d.%d, OS %d.%d, %d imports from %d DLLs checked against %d " \
            "allowlist entries" % (
                kind, MACHINE_NAMES.get(image.machine, "0x%x" % image.machine),
                SUBSYSTEM_NAMES.get(image.subsystem, str(image.subsystem)),
                image.subsys_major, image.subsys_minor, image.os_major, image.os_minor,
                checked, len(dlls), allow.count())
    if problems:
        print("%s: %d violation%s (%s)" % (label, len(problems),
                                            "" if len(problems) == 1 else "s", facts))
        return 1
    print("%s: OK, loads on Windows 95 (%s)" % (label, facts))
    return 0


if __name__ == "__main__":
    sys.exit(main())
