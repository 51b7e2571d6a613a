#!/usr/bin/env bash
# The program under each Windows it must run on: the scenarios whose outcome depends on the
# version, with the program as it is, made to meet Windows 95, 95 OSR2, 98, NT 4.0, 2000, XP or
# 10 by the personality layer (tests/personality: personalities.txt says what each differs in,
# with sources; velkin-launch.exe puts vpersona.dll into the program before it runs). Wine's own
# version mode is set to match.
#
# Usage: tests/personality/run.sh BUILD_WIN64_DIR [BUILD_WIN32_DIR]
#   The 64-bit program meets the NT personalities; the 32-bit release program (when its build is
#   named and this machine runs 32-bit programs) meets all seven.
#
# In each personality, with a scripted disk of 8 GB (1 GB free) on every drive, 100 MB of free
# memory and free system resources of 73 %:
#   readouts      the buttons (suspend where the version offers it) and the version dialog; the
#                 drive figures through the version's query (clamped to 2 GB on Windows 95's
#                 cluster path), the memory figure, resources as " 73 ％" where RSRC32 exists
#                 and "Disable" where it does not; suspend pressed where offered, with the call
#                 it makes; the interval read back from the file and another one saved, with no
#                 file left over by the save (Windows 9x renames in steps)
#   session-102/103/104  restart Windows alone, restart the system, shut down: the interval read
#                 back, the request the version is asked (the 16-bit ExitWindows on 9x), the
#                 settings written and the program ended with the session
#   refused       (NT) the end asked, answered and then refused by another application: the bar
#                 goes on refreshing and its exit still saves and ends it
#   titles        (win10, nt4, win98) windows titled in UTF-16, some beyond CP932, in the context
#                 menu's window slots and the exclusion list's picker: NT reads titles in UTF-16,
#                 so every one is minimized and listed; 9x reads them in the ANSI code page (932
#                 here), so only those CP932 holds; "メモ帳" picked is saved in CP932
# And, scripted, in one personality each (32-bit program):
#   win95  LoadLibrary16's answer with an undefined high word (a restart that goes through) and
#          a failed one (the bar goes on refreshing)
#   win98  the MoveFileExA stub failing with another code than "not implemented" (the save
#          still goes through), and memory running out (one box, nothing saved, the end)
# Failure on demand is the failures tier's (tools/sweep.py, tests/personality/sweep-expected.txt).
# Ends with "N passed, M failed"; exits non-zero when anything failed.
set -u

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 BUILD_WIN64_DIR [BUILD_WIN32_DIR]" >&2
  exit 2
fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build64=$(cd "$1" 2>/dev/null && pwd) || { echo "personality: no directory $1" >&2; exit 2; }
build32=""
[ $# -eq 2 ] && { build32=$(cd "$2" 2>/dev/null && pwd) || { echo "personality: no directory $2" >&2; exit 2; }; }
table="$root/tests/personality/personalities.txt"

export VELKIN_HEADLESS=1
export WINEPREFIX_VELKIN="${WINEPREFIX_VELKIN:-$root/build/e2e/wineprefix}"
. "$root/scripts/wine-env.sh"

scratch="$root/build/personality"
rm -rf "$scratch"
mkdir -p "$scratch"
cp "$build64/velkin-driver.exe" "$scratch/"
driver="$scratch/velkin-driver.exe"
. "$root/tests/e2e/e2e-lib.sh"

# One fact of a personality from the table: version (MAJOR.MINOR.BUILD), platform (9x or nt),
# wine (Wine's mode), resources (yes when RSRC32 is there), async (yes when the session's end
# comes after ExitWindowsEx has answered).
fact() {  # personality fact
  /usr/bin/python3 - "$table" "$1" "$2" <<'PY'
import sys
table, name, fact = sys.argv[1:]
rows = []
for line in open(table, encoding='utf-8'):
    line = line.strip()
    if not line or line.startswith('#'):
        continue
    names, kind, subject, value, _ = [f.strip() for f in line.split('|')]
    if name in names.split():
        rows.append((kind, subject, value))
get = lambda kind: [r for r in rows if r[0] == kind]
print({'version': lambda: get('version')[0][1],
       'platform': lambda: get('version')[0][2].split()[0],
       'wine': lambda: get('wine')[0][1],
       'resources': lambda: 'yes' if any(r[1] == 'RSRC32' for r in get('module')) else 'no',
       'async': lambda: 'yes' if get('async') else 'no'}[fact]())
PY
}

disk_total=8589934592
disk_free=1073741824
memory=104857600
defaults=(0 0 Bytes 0 Bytes 2 4 0 0 1 0)
saved=(0 0 Bytes 0 Bytes 2 2 0 0 1 0)

# Checks that the layer recorded a line starting with the text (or, with "no", none).
expect_logged() {  # name log text [no]
  if grep -aqF -- "$3" "$2" 2>/dev/null; then
    [ "${4:-}" = no ] && fail "$1" "no \"$3\" in the record of calls, got it" || pass "$1"
  else
    [ "${4:-}" = no ] && pass "$1" || fail "$1" "\"$3\" in the record of calls, got: $(tr '\r\n' '  ' <"$2" 2>/dev/null)"
  fi
}

# Runs one driver command under the personality, the record of calls fresh.
run_persona() {  # name args...
  local name=$1
  shift
  fresh_server
  : >"$log"
  (cd "$scratch" && run_driver "$scratch/$name.log" "$@")
  local rc=$?
  cat "$scratch/$name.log"
  echo "-- calls recorded:"
  cat "$log"
  tally "$name" "$scratch/$name.log" $rc
}

# A vlkini.dat dated in the past, so that a run shows whether it wrote it.
date_back() { touch -d '2001-02-03 04:05:06' "$@"; }
expect_written() {  # name file
  if [ -f "$2" ] && [ "$(date -r "$2" +%Y)" != 2001 ]; then pass "$1"; else fail "$1" "$2 written"; fi
}

personality() {  # bits name
  local bits=$1 name=$2 build_dir
  [ "$bits" = 32 ] && build_dir=$build32 || build_dir=$build64
  local version platform wine_mode resources async
  version=$(fact "$name" version)
  platform=$(fact "$name" platform)
  wine_mode=$(fact "$name" wine)
  resources=$(fact "$name" resources)
  async=$(fact "$name" async)
  local id="$name-$bits"
  echo "== $id: Windows $version ($platform), Wine as $wine_mode"

  local layer="$scratch/layer$bits" files="$scratch/$id"
  mkdir -p "$layer"
  cp "$build_dir/velkin-launch.exe" "$build_dir/vpersona.dll" "$layer/"
  rm -rf "$files" && mkdir -p "$files"
  cp "$build_dir/velkin.exe" "$files/"
  write_lines "$files/vlkini.dat" "${defaults[@]}"
  write_lines "$files/nonapp.dat" "Velkin keep me"
  log="$scratch/$id-calls.txt"
  local exe_w
  exe_w=$(winepath -w "$files/velkin.exe")
  export VELKIN_LAUNCHER VELKIN_PERSONALITY=$name VELKIN_PERSONALITY_TABLE VELKIN_PERSONALITY_LOG
  VELKIN_LAUNCHER=$(winepath -w "$layer/velkin-launch.exe")
  VELKIN_PERSONALITY_TABLE=$(winepath -w "$table")
  VELKIN_PERSONALITY_LOG=$(winepath -w "$log")
  export VELKIN_SCRIPT_DISK="$disk_total $disk_free" VELKIN_SCRIPT_MEMORY=$memory VELKIN_SCRIPT_RESOURCES=73
  wine_version_value "$wine_mode"

  # Windows 95's cluster path: the version's answer holds at most 2 GB (4 KB clusters here).
  local free=$disk_free total=$disk_total build16=${version##*.}
  if [ "$build16" -lt 1000 ]; then
    local most=$(( (2147483647 / 4096) * 4096 ))
    [ "$free" -gt "$most" ] && free=$most
    [ "$total" -gt "$most" ] && total=$most
  fi
  local shown_resources="Disable"
  [ "$resources" = yes ] && shown_resources=" 73 ％"
  [ "$name" = win98 ] && export VELKIN_SCRIPT_MOVEFILEEX=87
  run_persona "$id-readouts" persona-readouts "$exe_w" "$version" 4 2 "$shown_resources" "$free" "$total" "$memory"
  unset VELKIN_SCRIPT_MOVEFILEEX
  expect_logged "$id.layer" "$log" "personality $name in place"
  expect_lines "$id.saved" "$files/vlkini.dat" "${saved[@]}"
  expect_files "$id.nothing_left" "$files" velkin.exe vlkini.dat nonapp.dat
  if [ "$build16" -ge 1998 ]; then
    [ "$platform" = nt ] && expect_logged "$id.suspend" "$log" "SetSystemPowerState 1 0" \
                         || expect_logged "$id.suspend" "$log" "SetSystemPowerState 0 0"
  fi
  [ "$resources" = yes ] && expect_logged "$id.rsrc32" "$log" "RSRC32 0"

  local buttons=(102 103 104)
  local button
  for button in "${buttons[@]}"; do
    date_back "$files/vlkini.dat" "$files/nonapp.dat"
    [ "$name" = win95 ] && [ "$button" = 102 ] && export VELKIN_SCRIPT_LOAD16=upper
    run_persona "$id-session-$button" persona-session "$exe_w" "$button" 2 ends
    unset VELKIN_SCRIPT_LOAD16
    case "$platform-$button" in
      9x-102) expect_logged "$id.session_102.load16" "$log" "LoadLibrary16 USER.EXE"
              expect_logged "$id.session_102.exitwindows16" "$log" "GetProcAddress16 ExitWindows" ;;
      nt-102) expect_logged "$id.session_102.logoff" "$log" "ExitWindowsEx 0x00000000 0" ;;
      9x-103) expect_logged "$id.session_103.reboot" "$log" "ExitWindowsEx 0x0000000a 1" ;;
      nt-103) expect_logged "$id.session_103.reboot" "$log" "ExitWindowsEx 0x00000002 1" ;;
      *-104)  expect_logged "$id.session_104.shutdown" "$log" "ExitWindowsEx 0x00000001 0" ;;
    esac
    expect_logged "$id.session_$button.no_fault" "$log" "the program faults" no
    expect_written "$id.session_$button.written" "$files/vlkini.dat"
    expect_lines "$id.session_$button.vlkini" "$files/vlkini.dat" "${saved[@]}"
    expect_files "$id.session_$button.files" "$files" velkin.exe vlkini.dat nonapp.dat
  done

  if [ "$async" = yes ]; then
    export VELKIN_SCRIPT_END=refuse
    run_persona "$id-refused" persona-session "$exe_w" 104 2 refreshes
    unset VELKIN_SCRIPT_END
    expect_logged "$id.refused.asked" "$log" "ExitWindowsEx 0x00000001 0"
  fi

  if [ "$bits" = 32 ] && [ "$name" = win95 ]; then
    export VELKIN_SCRIPT_LOAD16=fail
    run_persona "$id-load16-failed" persona-session "$exe_w" 102 2 refreshes
    unset VELKIN_SCRIPT_LOAD16
    expect_logged "$id.load16_failed.no_fault" "$log" "the program faults" no
  fi
  if [ "$bits" = 32 ] && [ "$name" = win98 ]; then
    date_back "$files/vlkini.dat" "$files/nonapp.dat"
    local stamps
    stamps=$(stat -c '%n %Y' "$files/vlkini.dat" "$files/nonapp.dat")
    run_persona "$id-no-memory" persona-no-memory "$exe_w"
    if [ "$(stat -c '%n %Y' "$files/vlkini.dat" "$files/nonapp.dat" 2>&1)" = "$stamps" ]; then
      pass "$id.no_memory.nothing_written"
    else
      fail "$id.no_memory.nothing_written" "both files as they were, got them written"
    fi
  fi
  case "$bits-$name" in
    64-win10 | 64-nt4 | 32-win98)
      write_lines "$files/nonapp.dat" "Velkin keep me"
      run_persona "$id-titles" window-titles "$exe_w"
      expect_lines "$id.titles.nonapp" "$files/nonapp.dat" "Velkin keep me" "メモ帳"
      ;;
  esac
  unset VELKIN_LAUNCHER VELKIN_PERSONALITY VELKIN_PERSONALITY_TABLE VELKIN_PERSONALITY_LOG \
    VELKIN_SCRIPT_DISK VELKIN_SCRIPT_MEMORY VELKIN_SCRIPT_RESOURCES
  wine_version_value ""
}

velkin_start_display || exit 2
echo "personality: display $DISPLAY, prefix $WINEPREFIX"
velkin_prepare_prefix
wine_version_value ""

only="${VELKIN_PERSONALITIES:-win95 win95osr2 win98 nt4 win2000 winxp win10}"
for name in $only; do
  case "$(fact "$name" platform)" in nt) personality 64 "$name" ;; esac
done
if [ -n "$build32" ]; then
  for name in $only; do personality 32 "$name"; done
fi

fresh_server
velkin_stop_display
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
