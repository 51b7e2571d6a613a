#!/usr/bin/env bash
# Writes build/dist/velkin.zip: the release program build/win32/velkin.exe as it ships, and
# readme.txt (res/dist/readme.txt in code page 932 with CR LF line ends). The program is built
# first and must pass the release checks (Windows 95 and NT 4.0 loadability, the 486 instruction
# set, the size limit); the archive is then read back and checked.
# Usage: scripts/package.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/build.sh win32 >/dev/null
/usr/bin/python3 tools/pecheck.py build/win32/velkin.exe --allowlist tools/win95-imports.txt \
  --allowlist tools/nt4-imports.txt --cpu i486 --max-size 131072

mkdir -p build/dist
python3 - build/win32/velkin.exe res/dist/readme.txt build/dist/velkin.zip <<'PY'
import sys, zipfile
exe, readme, archive = sys.argv[1:]
program = open(exe, "rb").read()
text = open(readme, encoding="utf-8").read()
lines = text.replace("\r\n", "\n").split("\n")
notes = "\r\n".join(lines).encode("cp932")  # raises on a character code page 932 lacks
# Fixed dates, so that the same program and readme make the same archive.
with zipfile.ZipFile(archive + ".tmp", "w", zipfile.ZIP_DEFLATED) as z:
    for name, data in (("velkin.exe", program), ("readme.txt", notes)):
        info = zipfile.ZipInfo(name, date_time=(2000, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        z.writestr(info, data)

# Read it back: exactly the two files, the program unchanged, the readme CP932 with CR LF only.
problems = []
with zipfile.ZipFile(archive + ".tmp") as z:
    names = z.namelist()
    if names != ["velkin.exe", "readme.txt"]:
        problems.append("entries %r, wanted velkin.exe and readme.txt" % names)
    else:
        if z.read("velkin.exe") != program:
            problems.append("velkin.exe differs from %s" % exe)
        notes_back = z.read("readme.txt")
        if notes_back.replace(b"\r\n", b"").find(b"\n") >= 0 or b"\r\n" not in notes_back:
            problems.append("readme.txt has line ends other than CR LF")
        if notes_back.decode("cp932").replace("\r\n", "\n") != "\n".join(lines):
            problems.append("readme.txt does not read back as the text of %s" % readme)
if problems:
    sys.exit("package: " + "; ".join(problems))
import os
os.replace(archive + ".tmp", archive)
print("package: %s: velkin.exe (%d bytes), readme.txt (%d bytes, code page 932, CR LF)"
      % (archive, len(program), len(notes)))
PY
