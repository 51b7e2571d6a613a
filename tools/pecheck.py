#!/usr/bin/python3
"""Check that a 32-bit Windows image can be loaded and run where Velkin must run.

Usage: pecheck.py IMAGE [--allowlist FILE]... [--cpu i486] [--max-size BYTES]

The image is read with pefile and disassembled with Capstone (Debian's
python3-pefile and python3-capstone). It passes when:
  * it is PE32 (optional header magic 0x10B) for the i386 machine,
  * its subsystem is Windows GUI (2),
  * its subsystem version and its operating system version are both 4.0,
  * every function it imports statically, by name, is in the allowlist under
    the DLL it is imported from (DLL names compare case-insensitively),
  * it has no import by ordinal and no delay-load import, unless the allowlist
    names that import (ordinals as DLL!#ordinal);
  * --allowlist may be given more than once (one list for each Windows the
    image must load on): every import must then be in each list, and each
    violation names the list it fails (default: tools/win95-imports.txt);
and, when asked:
  * --cpu i486: no instruction that can run is beyond the 486's integer and
    x87 set (CMOVcc, FCMOVcc, FCOMI/FUCOMI(P), CMPXCHG8B, RDTSC, RDMSR/WRMSR,
    CPUID, SYSENTER, multi-byte NOP, MMX, SSE and every later extension);
  * --max-size: the file is at most that many bytes.

Windows 95 refuses images whose subsystem version is above 4.0, and its loader
fails the whole image when a single imported name is missing from a DLL, so
anything outside the allowlist has to be looked up at run time with
GetProcAddress instead. A 486, Pentium or K6 stops a program with an
invalid-opcode fault at the first later instruction it meets.

The instruction check disassembles the executable sections the way the
processor reaches them: from the entry point, every export and every address
that a base relocation holds into an executable section (function pointers,
virtual tables, jump tables, the constructor list), following every direct
jump and call and falling through every instruction that can fall through.
Bytes no path reaches (alignment between functions, data the linker puts in
.text) are counted, not judged: read as instructions they would be noise.

Each violation is printed on its own line, followed by a one-line summary.
Exit status: 0 when everything passes, 1 when there are violations, 2 when the
image or the allowlist cannot be read or is not what it claims to be.
"""

import argparse
import os
import struct
import sys

try:
    import capstone
    import pefile
except ImportError as e:  # a missing library must not look like a pass
    print("pecheck: needs python3-pefile and python3-capstone (Debian packages): %s" % e,
          file=sys.stderr)
    sys.exit(2)

IMAGE_FILE_MACHINE_I386 = 0x014C
PE32_MAGIC = 0x10B
PE32PLUS_MAGIC = 0x20B
SUBSYSTEM_WINDOWS_GUI = 2
SCN_CNT_CODE = 0x00000020
SCN_MEM_EXECUTE = 0x20000000
REL_BASED_HIGHLOW = 3

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
    def __init__(self, name):
        self.name = name  # the file's name, as violations cite it
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

    allow = Allowlist(os.path.basename(path))
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


# -- reading the image ------------------------------------------------------------------------

def open_image(data):
    """The parsed image, or BadInput saying why it is not one."""
    if len(data) < 2 or data[:2] != b"MZ":
        raise BadInput("not a PE image: no 'MZ' signature at the start of the file")
    if len(data) < 0x40:
        raise BadInput("truncated: the DOS header is only %d bytes long" % len(data))
    (pe_off,) = struct.unpack_from("<I", data, 0x3C)
    if pe_off + 4 > len(data):
        raise BadInput("truncated or not a PE image: the PE header offset 0x%x is past the "
                       "end of the file (%d bytes)" % (pe_off, len(data)))
    if data[pe_off:pe_off + 4] != b"PE\0\0":
        raise BadInput("not a PE image: no 'PE' signature at offset 0x%x" % pe_off)
    try:
        pe = pefile.PE(data=data, fast_load=True)
    except pefile.PEFormatError as e:
        raise BadInput("truncated or damaged headers: %s" % e.value)
    for section in pe.sections:
        name = section.Name.rstrip(b"\0").decode("latin-1")
        end = section.PointerToRawData + section.SizeOfRawData
        if section.SizeOfRawData and end > len(data):
            raise BadInput("truncated: section %s needs file bytes 0x%x-0x%x but the file has "
                           "only %d bytes" % (name, section.PointerToRawData, end, len(data)))
    pe.parse_data_directories(directories=[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"],
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT"],
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_EXPORT"],
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"],
    ])
    return pe


def dll_name(entry):
    return entry.dll.decode("latin-1") if entry.dll else "?"


def import_items(entry):
    """("name", str) or ("ordinal", int) for each function of an import descriptor."""
    for imp in entry.imports:
        if imp.import_by_ordinal or imp.name is None:
            yield ("ordinal", imp.ordinal)
        else:
            yield ("name", imp.name.decode("latin-1"))


# -- Windows 95 loadability -------------------------------------------------------------------

def describe_machine(machine):
    name = MACHINE_NAMES.get(machine)
    return "%s (0x%x)" % (name, machine) if name else "0x%x" % machine


def check_loadability(pe, allowlists):
    """Return (violations, number of imports checked, DLL names)."""
    problems = []
    opt = pe.OPTIONAL_HEADER
    if opt.Magic != PE32_MAGIC:
        problems.append("optional header magic is 0x%x (%s), not 0x10B: the image is not PE32, "
                        "Windows 95 loads only 32-bit PE32 images"
                        % (opt.Magic, "PE32+, a 64-bit image" if opt.Magic == PE32PLUS_MAGIC
                           else "unknown"))
    if pe.FILE_HEADER.Machine != IMAGE_FILE_MACHINE_I386:
        problems.append("machine is %s, not i386 (0x14c)" % describe_machine(pe.FILE_HEADER.Machine))
    if opt.Subsystem != SUBSYSTEM_WINDOWS_GUI:
        problems.append("subsystem is %d (%s), not 2 (Windows GUI)"
                        % (opt.Subsystem, SUBSYSTEM_NAMES.get(opt.Subsystem, "unknown")))
    subsystem = (opt.MajorSubsystemVersion, opt.MinorSubsystemVersion)
    if subsystem != (4, 0):
        problems.append("subsystem version is %d.%d, not 4.0: Windows 95 refuses images that "
                        "ask for a newer subsystem (link with --major-subsystem-version,4 "
                        "--minor-subsystem-version,0)" % subsystem)
    system = (opt.MajorOperatingSystemVersion, opt.MinorOperatingSystemVersion)
    if system != (4, 0):
        problems.append("operating system version is %d.%d, not 4.0 (link with "
                        "--major-os-version,4 --minor-os-version,0)" % system)

    checked = 0
    dlls = []
    for allow in allowlists:
        problems += check_imports(pe, allow)
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dlls.append(dll_name(entry))
        checked += len(entry.imports)
    for entry in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", []):
        dlls.append(dll_name(entry) + " (delay-load)")
        checked += len(entry.imports)
    return problems, checked, dlls


def check_imports(pe, allow):
    """The imports that `allow` does not list, each naming the list."""
    problems = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = dll_name(entry)
        items = list(import_items(entry))
        if not items and not allow.knows_dll(dll):
            problems.append("%s: the image depends on this DLL but the allowlist %s has nothing "
                            "for it" % (dll, allow.name))
        for kind, value in items:
            if kind == "name":
                if not allow.allows(dll, value):
                    problems.append("%s!%s: imported by name but not in the allowlist %s"
                                    % (dll, value, allow.name))
            elif not allow.allows(dll, "#%d" % value):
                problems.append("%s!#%d: imported by ordinal %d; ordinals differ between "
                                "Windows versions (list it in %s as %s!#%d if it is known to "
                                "be right)" % (dll, value, value, allow.name, dll, value))

    for entry in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", []):
        dll = dll_name(entry)
        items = list(import_items(entry))
        if not items:
            problems.append("%s: delay-load descriptor with no imports" % dll)
        for kind, value in items:
            item = value if kind == "name" else "#%d" % value
            if not allow.allows(dll, item):
                problems.append("%s!%s: delay-load import not in the allowlist %s (look it up "
                                "with GetProcAddress instead)" % (dll, item, allow.name))
    return problems


# -- the processor floor ----------------------------------------------------------------------

CPUS = ("i486",)

X86 = capstone.x86
# Capstone's feature groups: an instruction in any of them needs more than a 486.
LATER_GROUPS = {
    X86.X86_GRP_CMOV: "CMOVcc/FCMOVcc (Pentium Pro)",
    X86.X86_GRP_MMX: "MMX",
    X86.X86_GRP_3DNOW: "3DNow!",
    X86.X86_GRP_SSE1: "SSE", X86.X86_GRP_SSE2: "SSE2", X86.X86_GRP_SSE3: "SSE3",
    X86.X86_GRP_SSSE3: "SSSE3", X86.X86_GRP_SSE41: "SSE4.1", X86.X86_GRP_SSE42: "SSE4.2",
    X86.X86_GRP_SSE4A: "SSE4a", X86.X86_GRP_AVX: "AVX", X86.X86_GRP_AVX2: "AVX2",
    X86.X86_GRP_AVX512: "AVX-512", X86.X86_GRP_FMA: "FMA", X86.X86_GRP_FMA4: "FMA4",
    X86.X86_GRP_F16C: "F16C", X86.X86_GRP_AES: "AES-NI", X86.X86_GRP_PCLMUL: "PCLMULQDQ",
    X86.X86_GRP_SHA: "SHA", X86.X86_GRP_BMI: "BMI", X86.X86_GRP_BMI2: "BMI2",
    X86.X86_GRP_ADX: "ADX", X86.X86_GRP_XOP: "XOP", X86.X86_GRP_TBM: "TBM",
    X86.X86_GRP_RTM: "TSX", X86.X86_GRP_HLE: "TSX", X86.X86_GRP_VM: "virtualization",
    X86.X86_GRP_SGX: "SGX", X86.X86_GRP_FSGSBASE: "FSGSBASE", X86.X86_GRP_SMAP: "SMAP",
}
# Later instructions that Capstone puts in no feature group, with the processor that brought them.
LATER_MNEMONICS = {
    "fcomi": "Pentium Pro", "fcomip": "Pentium Pro", "fucomi": "Pentium Pro",
    "fucomip": "Pentium Pro", "rdpmc": "Pentium Pro", "ud2": "Pentium Pro",
    "cmpxchg8b": "Pentium", "rdtsc": "Pentium", "rdmsr": "Pentium", "wrmsr": "Pentium",
    "cpuid": "Pentium", "rsm": "Pentium",
    "sysenter": "Pentium II", "sysexit": "Pentium II", "fxsave": "Pentium II",
    "fxrstor": "Pentium II", "syscall": "K6-2", "sysret": "K6-2", "rdtscp": "Athlon 64",
    "prefetchnta": "Pentium III", "prefetcht0": "Pentium III", "prefetcht1": "Pentium III",
    "prefetcht2": "Pentium III", "sfence": "Pentium III", "lfence": "Pentium 4",
    "mfence": "Pentium 4", "clflush": "Pentium 4", "movnti": "Pentium 4",
    "monitor": "Pentium 4", "mwait": "Pentium 4", "fisttp": "Pentium 4",
    "popcnt": "Nehalem", "lzcnt": "Barcelona", "tzcnt": "Haswell", "movbe": "Atom",
    "crc32": "Nehalem", "xgetbv": "Nehalem", "rdrand": "Ivy Bridge", "rdseed": "Broadwell",
}


def later_instruction(insn):
    """Why `insn` is beyond the 486's integer and x87 set, or None when it is not."""
    name = insn.mnemonic
    if name.startswith("fcmov"):
        return "FCMOVcc (Pentium Pro)"
    if name in LATER_MNEMONICS:
        return "%s (%s)" % (name.upper(), LATER_MNEMONICS[name])
    # 0F 18..1F are hint NOPs (multi-byte NOP, prefetch hints): Pentium Pro and later.
    opcode = insn.opcode
    if opcode[0] == 0x0F and 0x18 <= opcode[1] <= 0x1F:
        return "multi-byte NOP (Pentium Pro)"
    for group in insn.groups:
        if group in LATER_GROUPS:
            return LATER_GROUPS[group]
    return None


def executable_sections(pe):
    return [s for s in pe.sections if s.Characteristics & (SCN_MEM_EXECUTE | SCN_CNT_CODE)]


def code_starts(pe, sections):
    """RVAs where running code can begin: the entry point, the exports, relocated pointers."""
    def inside(rva):
        return any(s.VirtualAddress <= rva < s.VirtualAddress + s.Misc_VirtualSize for s in sections)

    starts = set()
    entry = pe.OPTIONAL_HEADER.AddressOfEntryPoint
    if entry and inside(entry):
        starts.add(entry)
    export = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    for symbol in (export.symbols if export else []):
        if symbol.address and inside(symbol.address):
            starts.add(symbol.address)
    base = pe.OPTIONAL_HEADER.ImageBase
    relocated = 0
    for block in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", []):
        for reloc in block.entries:
            if reloc.type != REL_BASED_HIGHLOW:
                continue
            relocated += 1
            target = (pe.get_dword_at_rva(reloc.rva) or 0) - base
            if inside(target):
                starts.add(target)
    return starts, relocated


def scan_processor(pe):
    """Return (violations, facts) for the instructions the image can run."""
    if pe.FILE_HEADER.Machine != IMAGE_FILE_MACHINE_I386:
        return ["the instruction check reads only i386 images"], ""
    sections = executable_sections(pe)
    code = {}  # RVA range start -> (bytes, size) per executable section
    for s in sections:
        code[s.VirtualAddress] = s.get_data()[:s.Misc_VirtualSize]

    def bytes_at(rva):
        for start, data in code.items():
            if start <= rva < start + len(data):
                return data, rva - start
        return None, 0

    starts, relocated = code_starts(pe, sections)
    disassembler = capstone.Cs(capstone.CS_ARCH_X86, capstone.CS_MODE_32)
    disassembler.detail = True
    base = pe.OPTIONAL_HEADER.ImageBase
    seen = {}  # rva -> size of the instruction decoded there
    problems = []
    pending = sorted(starts, reverse=True)
    while pending:
        rva = pending.pop()
        while rva not in seen:
            data, offset = bytes_at(rva)
            if data is None:
                break
            insn = next(disassembler.disasm(data[offset:offset + 16], base + rva, 1), None)
            if insn is None:
                break  # data reached by falling through: nothing runs there
            seen[rva] = insn.size
            why = later_instruction(insn)
            if why:
                problems.append("0x%08x: %s %s: %s is not a 486 instruction"
                                % (insn.address, insn.mnemonic, insn.op_str, why))
            groups = set(insn.groups)
            if X86.X86_GRP_JUMP in groups or X86.X86_GRP_CALL in groups:
                operand = insn.operands[0] if insn.operands else None
                if operand is not None and operand.type == X86.X86_OP_IMM:
                    pending.append(operand.imm - base)
            ends = (X86.X86_GRP_RET in groups or X86.X86_GRP_IRET in groups
                    or insn.mnemonic in ("jmp", "ljmp", "hlt", "int3", "ud2"))
            if ends:
                break
            rva += insn.size
    total = sum(len(d) for d in code.values())
    reached = sum(seen.values())
    facts = ("%d instructions from %d starts (%d relocated pointers) cover %d of %d bytes of "
             "code" % (len(seen), len(starts), relocated, reached, total))
    return problems, facts


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Check that a 32-bit Windows image can be loaded by Windows 95.")
    parser.add_argument("image", help="the .exe or .dll to check")
    parser.add_argument("--allowlist", action="append", metavar="FILE",
                        help="DLL!Function list of imports known to exist on a Windows the "
                             "image must load on; repeat it for each such Windows "
                             "(default: %s)" % DEFAULT_ALLOWLIST)
    parser.add_argument("--cpu", choices=CPUS,
                        help="also fail any instruction that can run and that this processor "
                             "lacks")
    parser.add_argument("--max-size", type=int, metavar="BYTES",
                        help="also fail an image larger than this")
    args = parser.parse_args(argv)
    label = os.path.basename(args.image)

    try:
        allowlists = [load_allowlist(path) for path in args.allowlist or [DEFAULT_ALLOWLIST]]
        try:
            with open(args.image, "rb") as f:
                data = f.read()
        except OSError as e:
            raise BadInput("cannot read %s: %s" % (args.image, e.strerror or e))
        pe = open_image(data)
        problems, checked, dlls = check_loadability(pe, allowlists)
        cpu_facts = ""
        if args.cpu:
            cpu_problems, cpu_facts = scan_processor(pe)
            problems += cpu_problems
        if args.max_size is not None and len(data) > args.max_size:
            problems.append("the image is %d bytes, more than the %d allowed"
                            % (len(data), args.max_size))
    except BadInput as e:
        print("pecheck: %s: %s" % (args.image, e), file=sys.stderr)
        return 2
    except Exception as e:  # a checker bug must still not look like a pass
        print("pecheck: %s: cannot check the image: %s: %s"
              % (args.image, type(e).__name__, e), file=sys.stderr)
        return 2

    for p in problems:
        print("%s: FAIL: %s" % (label, p))
    opt = pe.OPTIONAL_HEADER
    kind = "PE32" if opt.Magic == PE32_MAGIC else "PE32+" if opt.Magic == PE32PLUS_MAGIC \
        else "magic 0x%x" % opt.Magic
    facts = "%s %s, %s subsystem %d.%d, OS %d.%d, %d imports from %d DLLs checked against %s, " \
            "%d bytes" % (
                kind, MACHINE_NAMES.get(pe.FILE_HEADER.Machine, "0x%x" % pe.FILE_HEADER.Machine),
                SUBSYSTEM_NAMES.get(opt.Subsystem, str(opt.Subsystem)),
                opt.MajorSubsystemVersion, opt.MinorSubsystemVersion,
                opt.MajorOperatingSystemVersion, opt.MinorOperatingSystemVersion,
                checked, len(dlls),
                ", ".join("%s (%d entries)" % (a.name, a.count()) for a in allowlists), len(data))
    if cpu_facts:
        facts += "; %s: %s" % (args.cpu, cpu_facts)
    if problems:
        print("%s: %d violation%s (%s)" % (label, len(problems),
                                            "" if len(problems) == 1 else "s", facts))
        return 1
    target = "loads on Windows 95, imports only what %s list%s" % (
        " and ".join(a.name for a in allowlists), "" if len(allowlists) > 1 else "s") + (" and needs no more than an %s" % args.cpu if args.cpu else "")
    print("%s: OK, %s (%s)" % (label, target, facts))
    return 0


if __name__ == "__main__":
    sys.exit(main())
