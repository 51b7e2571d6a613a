#!/usr/bin/python3
"""Reads the version resource back from a built image and compares it with what Explorer must
show. Usage: check_version.py IMAGE. Prints one PASS or FAIL line per item and a summary."""
import sys

import pefile

EXPECTED_STRINGS = {
    "FileDescription": "ハードディスクの残量表示プログラム",
    "FileVersion": "2.0β1",
    "InternalName": "velkin",
    "OriginalFilename": "velkin.exe",
    "ProductName": "Velkin",
    "ProductVersion": "2.0β1",
}


def main(path):
    pe = pefile.PE(path)
    results = []

    def check(name, ok, want, got):
        results.append(ok)
        print("%s: version.%s%s" % ("PASS" if ok else "FAIL", name,
                                   "" if ok else ": wanted %r, got %r" % (want, got)))

    fixed = pe.VS_FIXEDFILEINFO[0] if getattr(pe, "VS_FIXEDFILEINFO", None) else None
    numbers = None if fixed is None else (
        fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
        fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF,
        fixed.ProductVersionMS >> 16, fixed.ProductVersionMS & 0xFFFF,
        fixed.ProductVersionLS >> 16, fixed.ProductVersionLS & 0xFFFF)
    check("numbers", numbers == (2, 0, 0, 1) * 2, "2.0.0.1 for file and product", numbers)
    check("prerelease", fixed is not None and fixed.FileFlags & 0x2 != 0, "VS_FF_PRERELEASE",
          fixed and hex(fixed.FileFlags))

    tables, translations = {}, []
    for info in getattr(pe, "FileInfo", [[]])[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                tables[table.LangID.decode().lower()] = {
                    k.decode(): v.decode() for k, v in table.entries.items()}
        elif info.Key == b"VarFileInfo":
            for var in info.Var:
                translations.append(var.entry.get(b"Translation"))
    check("translation", translations == ["0x0411 0x03a4"], ["0x0411 0x03a4"], translations)
    strings = tables.get("041103a4")
    check("japanese_table", strings is not None, "a string table 041103a4", sorted(tables))
    for key, want in EXPECTED_STRINGS.items():
        got = (strings or {}).get(key)
        check(key, got == want, want, got)
    print("%d passed, %d failed" % (results.count(True), results.count(False)))
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
