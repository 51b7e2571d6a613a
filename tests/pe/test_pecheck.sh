#!/usr/bin/env bash
# Tests for tools/pecheck.py, the Windows 95 and NT 4.0 load checks and the 486 instruction
# check; and that every script the README names as a command can be run as one.
#
# Builds tiny images with the mingw-w64 cross compilers in a temporary
# directory and checks that pecheck passes or fails them for the right reason.
#
# Usage: tests/pe/test_pecheck.sh [path/to/build/win32/velkin.exe]
#   With an argument naming an existing file, that image must pass as well, with the 486
#   instruction check and the size limit of the release image.
set -u

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
pecheck="$root/tools/pecheck.py"
allowlist="$root/tools/win95-imports.txt"
nt4_allowlist="$root/tools/nt4-imports.txt"
velkin_exe="${1:-}"
# Debian's python3, which has python3-pefile and python3-capstone.
python=${VELKIN_PYTHON:-/usr/bin/python3}
# The release image's size limit.
max_size=131072

cc32=i686-w64-mingw32-gcc
cc64=x86_64-w64-mingw32-gcc
dlltool32=i686-w64-mingw32-dlltool
nm32=i686-w64-mingw32-nm
v4="-Wl,--major-subsystem-version,4,--minor-subsystem-version,0,--major-os-version,4,--minor-os-version,0"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/pecheck-test.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

passed=0
failed=0
out=""
err=""
rc=0

pass() { echo "PASS: $1"; passed=$((passed + 1)); }
fail() {
  echo "FAIL: $1"
  shift
  local line
  for line in "$@"; do echo "    $line"; done
  failed=$((failed + 1))
}

# run_pecheck ARGS... : sets out, err, rc
run_pecheck() {
  out=$("$python" "$pecheck" "$@" 2>"$tmp/stderr")
  rc=$?
  err=$(cat "$tmp/stderr")
}

# expect NAME WANT_RC [--stdout TEXT]... [--stderr TEXT]... [--not TEXT]...
# Checks the last run_pecheck result.
expect() {
  local name=$1 want=$2
  shift 2
  local why=()
  if [ "$rc" != "$want" ]; then
    why+=("exit status $rc, wanted $want")
  fi
  while [ $# -gt 0 ]; do
    case $1 in
      --stdout) grep -qF -- "$2" <<<"$out" || why+=("stdout lacks: $2") ;;
      --stderr) grep -qF -- "$2" <<<"$err" || why+=("stderr lacks: $2") ;;
      --not) if grep -qF -- "$2" <<<"$out$err"; then why+=("output has: $2"); fi ;;
    esac
    shift 2
  done
  if grep -q 'Traceback' <<<"$err"; then
    why+=("python traceback on stderr")
  fi
  if [ ${#why[@]} -eq 0 ]; then
    pass "$name"
  else
    fail "$name" "${why[@]}" "stdout: $out" "stderr: $err"
  fi
}

# build NAME OUTPUT COMMAND... : runs a build step; a failed build is a failed case.
build() {
  local name=$1
  shift
  if ! "$@" >"$tmp/build.log" 2>&1; then
    fail "$name (build)" "$*" "$(cat "$tmp/build.log")"
    return 1
  fi
}

# ---------------------------------------------------------------- sources

cat >"$tmp/good.c" <<'EOF'
#include <windows.h>
int WINAPI WinMain(HINSTANCE h, HINSTANCE p, LPSTR cmd, int show)
{
    (void)h; (void)p; (void)cmd; (void)show;
    MessageBoxA(NULL, "Velkin", "pecheck", MB_OK);
    return (int)(GetTickCount() & 1);
}
EOF

cat >"$tmp/filesizeex.c" <<'EOF'
#include <windows.h>
int WINAPI WinMain(HINSTANCE h, HINSTANCE p, LPSTR cmd, int show)
{
    LARGE_INTEGER size;
    (void)h; (void)p; (void)cmd; (void)show;
    MessageBoxA(NULL, "Velkin", "pecheck", MB_OK);
    return GetFileSizeEx(GetCurrentProcess(), &size) ? 0 : 1;
}
EOF

cat >"$tmp/hardlink.c" <<'EOF'
#include <windows.h>
int WINAPI WinMain(HINSTANCE h, HINSTANCE p, LPSTR cmd, int show)
{
    (void)h; (void)p; (void)cmd; (void)show;
    return CreateHardLinkA("b.txt", "a.txt", NULL) ? 0 : 1;
}
EOF

cat >"$tmp/console.c" <<'EOF'
#include <stdio.h>
int main(void) { puts("velkin"); return 0; }
EOF

# An import by ordinal from a made-up DLL whose only export has no name.
cat >"$tmp/vkord.def" <<'EOF'
LIBRARY VKORD.DLL
EXPORTS
vk_by_ordinal @5 NONAME
EOF
cat >"$tmp/ordinal.c" <<'EOF'
#include <windows.h>
__declspec(dllimport) int vk_by_ordinal(void);
int WINAPI WinMain(HINSTANCE h, HINSTANCE p, LPSTR cmd, int show)
{
    (void)h; (void)p; (void)cmd; (void)show;
    return vk_by_ordinal();
}
EOF

# A delay-load import from a made-up DLL.
cat >"$tmp/vkdelay.def" <<'EOF'
LIBRARY VKDELAY.DLL
EXPORTS
vk_late
EOF
cat >"$tmp/delay.c" <<'EOF'
#include <windows.h>
int vk_late(void);
int WINAPI WinMain(HINSTANCE h, HINSTANCE p, LPSTR cmd, int show)
{
    (void)h; (void)p; (void)cmd; (void)show;
    return vk_late();
}
EOF

# Copy of the real allowlist plus extra lines: allow_with FILE LINE...
allow_with() {
  local file=$1
  shift
  cp "$allowlist" "$file"
  printf '%s\n' "$@" >>"$file"
}

# ---------------------------------------------------------------- cases

# (a) a Windows 95 compatible image passes
if build "good image" $cc32 -O2 -mwindows $v4 "$tmp/good.c" -o "$tmp/good.exe"; then
  run_pecheck "$tmp/good.exe"
  expect "good image passes" 0 --stdout "OK" --not "FAIL"

  run_pecheck "$tmp/good.exe" --allowlist "$allowlist"
  expect "good image passes with --allowlist given explicitly" 0 --stdout "OK"

  # DLL names in the allowlist match whatever their case.
  sed -e 's/^KERNEL32\.DLL!/kernel32.dll!/' -e 's/^USER32\.DLL!/User32.Dll!/' \
      -e 's/^MSVCRT\.DLL!/msvcrt!/' "$allowlist" >"$tmp/lower.txt"
  run_pecheck "$tmp/good.exe" --allowlist "$tmp/lower.txt"
  expect "allowlist DLL names are case-insensitive" 0 --stdout "OK"

  # A function counts only under its own DLL.
  sed -e 's/^USER32\.DLL!MessageBoxA /KERNEL32.DLL!MessageBoxA /' "$allowlist" >"$tmp/moved.txt"
  run_pecheck "$tmp/good.exe" --allowlist "$tmp/moved.txt"
  expect "function listed under another DLL fails" 1 --stdout "USER32.dll!MessageBoxA" \
    --stdout "1 violation"

  # An image whose imports are all missing from the allowlist reports each one.
  grep -v '^MSVCRT\.DLL!' "$allowlist" >"$tmp/nocrt.txt"
  run_pecheck "$tmp/good.exe" --allowlist "$tmp/nocrt.txt"
  expect "every missing import is reported" 1 --stdout "msvcrt.dll!__getmainargs" \
    --stdout "msvcrt.dll!_initterm" --stdout "msvcrt.dll!malloc"

  # Allowlist format errors stop the check.
  allow_with "$tmp/nosource.txt" "KERNEL32.DLL!GetTickCount"
  run_pecheck "$tmp/good.exe" --allowlist "$tmp/nosource.txt"
  expect "allowlist entry without a source is refused" 2 --stderr "gives no source"

  allow_with "$tmp/malformed.txt" "KERNEL32.DLL GetTickCount  # test fixture"
  run_pecheck "$tmp/good.exe" --allowlist "$tmp/malformed.txt"
  expect "malformed allowlist entry is refused" 2 --stderr "malformed entry"

  run_pecheck "$tmp/good.exe" --allowlist "$tmp/does-not-exist.txt"
  expect "missing allowlist is refused" 2 --stderr "cannot read allowlist"

  # (f) truncated images: cut inside the sections, and inside the headers
  size=$(stat -c %s "$tmp/good.exe")
  head -c $((size / 2)) "$tmp/good.exe" >"$tmp/half.exe"
  run_pecheck "$tmp/half.exe"
  expect "truncated image (half) exits 2" 2 --stderr "truncated"

  head -c 200 "$tmp/good.exe" >"$tmp/headers.exe"
  run_pecheck "$tmp/headers.exe"
  expect "truncated image (inside the headers) exits 2" 2 --stderr "truncated"
fi

# (b) NT-only imports fail and are named
if build "GetFileSizeEx image" $cc32 -O2 -mwindows $v4 "$tmp/filesizeex.c" -o "$tmp/filesizeex.exe"; then
  run_pecheck "$tmp/filesizeex.exe"
  expect "GetFileSizeEx import fails" 1 --stdout "KERNEL32.dll!GetFileSizeEx" \
    --stdout "not in the allowlist win95-imports.txt" --not "MessageBoxA"
fi
if build "CreateHardLinkA image" $cc32 -O2 -mwindows $v4 "$tmp/hardlink.c" -o "$tmp/hardlink.exe"; then
  run_pecheck "$tmp/hardlink.exe"
  expect "CreateHardLinkA import fails" 1 --stdout "KERNEL32.dll!CreateHardLinkA"
fi

# An import Windows 95 has and NT 4.0 lacks: the Windows 95 list passes it, the NT 4.0 list
# fails it, and with both lists given the image fails, naming the list.
printf '  .text\n  .globl _start\n_start:\n  pushl $0\n  pushl $0\n  call _SetSystemPowerState@8\n  pushl $0\n  call _ExitProcess@4\n  ret\n' >"$tmp/power.s"
if build "SetSystemPowerState image" $cc32 -nostdlib -Wl,-e,_start -mwindows $v4 "$tmp/power.s" -lkernel32 -o "$tmp/power.exe"; then
  for row in "win95|$allowlist|0|OK" "nt4|$nt4_allowlist|1|KERNEL32.dll!SetSystemPowerState: imported by name but not in the allowlist nt4-imports.txt" \
      "both|$allowlist --allowlist $nt4_allowlist|1|1 violation"; do
    IFS='|' read -r name lists want text <<<"$row"
    # shellcheck disable=SC2086
    run_pecheck "$tmp/power.exe" --allowlist $lists
    expect "SetSystemPowerState import against the $name list" "$want" --stdout "$text"
  done
fi

# (c) subsystem version 5.0 fails; so does an OS version of 5.0
if build "subsystem 5.0 image" $cc32 -O2 -mwindows \
    -Wl,--major-subsystem-version,5,--minor-subsystem-version,0,--major-os-version,4,--minor-os-version,0 \
    "$tmp/good.c" -o "$tmp/subsys5.exe"; then
  run_pecheck "$tmp/subsys5.exe"
  expect "subsystem version 5.0 fails" 1 --stdout "subsystem version is 5.0" --stdout "1 violation"
fi
if build "OS 5.0 image" $cc32 -O2 -mwindows \
    -Wl,--major-subsystem-version,4,--minor-subsystem-version,0,--major-os-version,5,--minor-os-version,0 \
    "$tmp/good.c" -o "$tmp/os5.exe"; then
  run_pecheck "$tmp/os5.exe"
  expect "OS version 5.0 fails" 1 --stdout "operating system version is 5.0" --stdout "1 violation"
fi

# (d) a 64-bit image is not PE32
if build "64-bit image" $cc64 -O2 -mwindows $v4 "$tmp/good.c" -o "$tmp/good64.exe"; then
  run_pecheck "$tmp/good64.exe"
  expect "64-bit image fails as not PE32" 1 --stdout "not PE32" --stdout "AMD64"
fi

# (e) a console image fails
if build "console image" $cc32 -O2 -mconsole $v4 "$tmp/console.c" -o "$tmp/console.exe"; then
  run_pecheck "$tmp/console.exe"
  expect "console subsystem fails" 1 --stdout "subsystem is 3 (Windows console)"
fi

# (f) files that are not PE images
printf 'This is not a Windows program.\n' >"$tmp/notes.txt"
run_pecheck "$tmp/notes.txt"
expect "text file exits 2" 2 --stderr "not a PE image"

: >"$tmp/empty.exe"
run_pecheck "$tmp/empty.exe"
expect "empty file exits 2" 2 --stderr "not a PE image"

{ printf 'MZ'; head -c 200 /dev/zero; } >"$tmp/mz-only.exe"
run_pecheck "$tmp/mz-only.exe"
expect "MZ header without PE header exits 2" 2 --stderr "not a PE image"

run_pecheck "$tmp/no-such-file.exe"
expect "missing image exits 2" 2 --stderr "cannot read"

# (g) an import by ordinal fails unless allowlisted as DLL!#ordinal
if build "ordinal import library" $dlltool32 -d "$tmp/vkord.def" -l "$tmp/libvkord.a" &&
   build "ordinal image" $cc32 -O2 -mwindows $v4 "$tmp/ordinal.c" -L"$tmp" -lvkord -o "$tmp/ordinal.exe"; then
  run_pecheck "$tmp/ordinal.exe"
  expect "import by ordinal fails" 1 --stdout "VKORD.DLL!#5" --stdout "ordinal 5" --stdout "1 violation"

  allow_with "$tmp/ordinal-ok.txt" "vkord.dll!#5  # test fixture"
  run_pecheck "$tmp/ordinal.exe" --allowlist "$tmp/ordinal-ok.txt"
  expect "import by ordinal allowlisted as DLL!#5 passes" 0 --stdout "OK"

  allow_with "$tmp/ordinal-other.txt" "VKORD.DLL!#6  # test fixture"
  run_pecheck "$tmp/ordinal.exe" --allowlist "$tmp/ordinal-other.txt"
  expect "a different ordinal does not allow it" 1 --stdout "VKORD.DLL!#5"
fi

# Delay-load imports. GNU ld 2.40 does not fill in the delay-load data
# directory for dlltool's delay-import libraries, so point it at the
# descriptor here, the way other linkers write it.
if build "delay-load import library" $dlltool32 -d "$tmp/vkdelay.def" -y "$tmp/libvkdelay.a" &&
   build "delay-load image" $cc32 -O2 -mwindows $v4 "$tmp/delay.c" -L"$tmp" -lvkdelay -o "$tmp/delay.exe"; then
  desc=$($nm32 "$tmp/delay.exe" | awk '/ __DELAY_IMPORT_DESCRIPTOR_/ { print $1; exit }')
  if [ -z "$desc" ] || ! "$python" - "$tmp/delay.exe" "$desc" >"$tmp/patch.log" 2>&1 <<'EOF'
import struct, sys
path, va = sys.argv[1], int(sys.argv[2], 16)
data = bytearray(open(path, "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
opt = pe + 24
assert struct.unpack_from("<H", data, opt)[0] == 0x10B
image_base = struct.unpack_from("<I", data, opt + 28)[0]
struct.pack_into("<II", data, opt + 96 + 8 * 13, va - image_base, 32)
open(path, "wb").write(bytes(data))
EOF
  then
    fail "delay-load image (patch)" "descriptor: '$desc'" "$(cat "$tmp/patch.log")"
  else
    run_pecheck "$tmp/delay.exe"
    expect "delay-load import fails" 1 --stdout "VKDELAY.DLL!vk_late: delay-load import"

    # The delay-load helper linked in from the mingw-w64 runtime imports these.
    allow_with "$tmp/delay-ok.txt" \
      "VKDELAY.DLL!vk_late  # test fixture" \
      "KERNEL32.DLL!LocalAlloc  # test fixture" \
      "KERNEL32.DLL!RaiseException  # test fixture"
    run_pecheck "$tmp/delay.exe" --allowlist "$tmp/delay-ok.txt"
    expect "allowlisted delay-load import passes" 0 --stdout "OK"
  fi
fi

# (h) the 486 instruction check, on images of a few instructions each: the body runs from
# the entry point (or, for "pointer", from a function reached only through a relocated
# pointer). Each row: name | instructions | exit status | text the report must hold.
cpu_cases=(
  "486 integer and x87 code passes|bswap %eax; xadd %eax, %edx; cmpxchg %edx, %ecx; fld1; fldz; fcompp; fnstsw %ax; sahf; setne %al|0|OK"
  "one CMOV fails, naming it|cmovne %edx, %eax|1|cmovne eax, edx: CMOVcc"
  "FCOMI fails|fld1; fldz; fcomi %st(1), %st|1|FCOMI (Pentium Pro)"
  "FUCOMIP fails|fld1; fldz; fucomip %st(1), %st|1|FUCOMIP (Pentium Pro)"
  "FCMOV fails|fld1; fldz; fcmovb %st(1), %st|1|FCMOVcc"
  "CPUID fails|cpuid|1|CPUID (Pentium)"
  "RDTSC fails|rdtsc|1|RDTSC (Pentium)"
  "CMPXCHG8B fails|cmpxchg8b (%esi)|1|CMPXCHG8B (Pentium)"
  "RDMSR fails|rdmsr|1|RDMSR (Pentium)"
  "SYSENTER fails|sysenter|1|SYSENTER (Pentium II)"
  "MMX fails|movd %eax, %mm0; emms|1|MMX"
  "SSE fails|xorps %xmm0, %xmm0|1|SSE"
  "multi-byte NOP fails|nopl 0(%eax)|1|multi-byte NOP"
  "a CMOV reached only through a pointer fails|pointer: cmovne %edx, %eax|1|cmovne"
  "bytes of a CMOV that no path reaches pass|unreached: .byte 0x0f, 0x45, 0xc2|0|OK"
)
for row in "${cpu_cases[@]}"; do
  IFS='|' read -r name body want text <<<"$row"
  case $body in
    pointer:*) entry="movl \$hidden, %eax; call *%eax"; hidden=${body#pointer: } ;;
    unreached:*) entry="nop"; hidden="ret; ${body#unreached: }" ;;
    *) entry=$body; hidden="nop" ;;
  esac
  # After ExitProcess the entry routine returns, so what follows it runs only when called.
  printf '  .text\n  .globl _start\n_start:\n  %s\n  pushl $0\n  call _ExitProcess@4\n  ret\nhidden:\n  %s\n  ret\n' \
    "$entry" "$hidden" >"$tmp/cpu.s"
  if build "$name" $cc32 -nostdlib -Wl,-e,_start -mwindows $v4 "$tmp/cpu.s" -lkernel32 -o "$tmp/cpu.exe"; then
    run_pecheck "$tmp/cpu.exe" --cpu i486
    expect "$name" "$want" --stdout "$text"
  fi
done

# (i) the size limit
if [ -f "$tmp/cpu.exe" ]; then
  size=$(stat -c %s "$tmp/cpu.exe")
  run_pecheck "$tmp/cpu.exe" --max-size $((size - 1))
  expect "an image one byte over the limit fails" 1 --stdout "the image is $size bytes, more than the $((size - 1)) allowed"
  run_pecheck "$tmp/cpu.exe" --max-size "$size"
  expect "an image at the limit passes" 0 --stdout "OK"
fi

# The allowlist must not list what the original Windows 95 lacks.
bad=$(grep -nE '^[^#]*!(GetDiskFreeSpaceExA|MoveFileExA|GetFileSizeEx|CreateHardLinkA|GetModuleHandleW|LoadLibraryW|CreateSemaphoreW)[[:space:]]' "$allowlist")
if [ -z "$bad" ]; then
  pass "allowlist leaves out functions the original Windows 95 lacks"
else
  fail "allowlist leaves out functions the original Windows 95 lacks" "$bad"
fi

# Every script the README names as a command has its run bit, in the tree and in git.
commands=(run test .ci/run scripts/build.sh scripts/package.sh tools/mutate.py tools/pecheck.py tools/mkico.py bench/run.sh)
not_runnable=()
for command in "${commands[@]}"; do
  if [ ! -x "$root/$command" ]; then
    not_runnable+=("$command: no run bit")
  elif [ "$(git -C "$root" rev-parse --show-toplevel 2>/dev/null)" = "$root" ] &&
       [ "$(git -C "$root" ls-files -s -- "$command" | cut -c1-6)" != 100755 ]; then
    not_runnable+=("$command: git does not record its run bit")
  fi
done
if [ ${#not_runnable[@]} -eq 0 ]; then
  pass "every command the README names can be run"
else
  fail "every command the README names can be run" "${not_runnable[@]}"
fi

# The real program, when asked for.
if [ -n "$velkin_exe" ]; then
  if [ -f "$velkin_exe" ]; then
    run_pecheck "$velkin_exe" --allowlist "$allowlist" --allowlist "$nt4_allowlist" --cpu i486 --max-size "$max_size"
    expect "$(basename "$velkin_exe") loads on Windows 95 and NT 4.0, runs on a 486, is at most $max_size bytes" 0 --stdout "OK"
    echo "    $out"
    if "$python" "$root/tests/pe/check_version.py" "$velkin_exe" >"$tmp/version.log" 2>&1; then
      pass "$(basename "$velkin_exe") carries its Japanese version resource, 2.0β1"
    else
      fail "$(basename "$velkin_exe") carries its Japanese version resource, 2.0β1" "$(grep -v '^PASS' "$tmp/version.log")"
    fi
  else
    echo "SKIP: $velkin_exe not found"
  fi
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
