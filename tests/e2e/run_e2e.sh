#!/usr/bin/env bash
# End-to-end tests: runs the real velkin.exe under Wine on a virtual 1024x768 screen and checks
# its bar from outside with velkin-driver.exe (tests/e2e/driver/, which says what each of its
# sub-commands checks), and the settings files it leaves, after each scenario, here.
#
# Usage: tests/e2e/run_e2e.sh BUILD_WIN64_DIR [PROGRAM_EXE]
#   BUILD_WIN64_DIR holds velkin-driver.exe and velkin.exe (scripts/build.sh win64); PROGRAM_EXE is
#   the program to test when it is another (build/win32/velkin.exe, under 32-bit Wine).
#
# Each scenario runs on a fresh Wine server: a bar whose process dies keeps its strip of the
# screen until the server ends, so one scenario cannot spoil the next. First the bar, its
# readouts against the host's figures, the Windows versions Wine reports (7, 95, 98), a launch
# and an exit; then the settings files, vlkini.dat and nonapp.dat beside velkin.exe, with the
# program in a folder of its own started from another (build/e2e/run/elsewhere, which must stay
# empty): a first start, changes kept, bad stored values, too many titles, the session's end,
# the welcome box cut short, minimize-all and the exclusion list's dialogs, and folders whose
# CP932 names hold the trail byte 0x5C; other windows' titles from other code pages. Then the
# scenarios that read the bar's texts again with Wine in other locales, so in other ANSI code
# pages (1252, 65001), their checks' names marked "cp1252." and "cp65001.": the bar must read
# the same, and its files hold the same CP932 bytes, whatever the code page. Ends with
# "N passed, M failed" over every check; exits non-zero when anything failed.
#
# The tests use their own Wine prefix, build/e2e/wineprefix (WINEPREFIX_VELKIN overrides it):
# "wineserver -k" must not end programs that other runs have going in the shared one.
set -u

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 BUILD_WIN64_DIR [PROGRAM_EXE]" >&2
  exit 2
fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "$1" 2>/dev/null && pwd) || { echo "run_e2e: no directory $1" >&2; exit 2; }
program="${2:-$build/velkin.exe}"
for exe in "$program" "$build/velkin-driver.exe"; do
  if [ ! -f "$exe" ]; then
    echo "run_e2e: $exe does not exist; build it first (scripts/build.sh)" >&2
    exit 2
  fi
done

export VELKIN_HEADLESS=1
export WINEPREFIX_VELKIN="${WINEPREFIX_VELKIN:-$root/build/e2e/wineprefix}"
. "$root/scripts/wine-env.sh"

# 32 or 64: the program's PE machine.
program_bits=$(python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read(4096)
machine = struct.unpack_from("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4)[0]
print({0x14C: 32, 0x8664: 64}.get(machine, 0))' "$program")
echo "run_e2e: $program, a $program_bits-bit program"

# A fresh folder for the program: it may write its settings next to itself.
scratch="$root/build/e2e/run"
rm -rf "$scratch"
mkdir -p "$scratch"
cp "$program" "$scratch/velkin.exe"
cp "$build/velkin-driver.exe" "$scratch/"
driver="$scratch/velkin-driver.exe"

. "$root/tests/e2e/e2e-lib.sh"

velkin_start_display || exit 2
echo "run_e2e: display $DISPLAY, prefix $WINEPREFIX"
velkin_prepare_prefix
# A run stopped half-way may have left a version set.
wine_version_value ""
exe_w=$(winepath -w "$scratch/velkin.exe")

# Runs the driver from $here, its checks counted under this name; with $mark set, the driver's
# check names get it as a prefix.
here=$PWD
mark=""
drive() {  # name driver-args...
  local name=$1 log="$scratch/$1.log" rc
  shift
  echo "== $name"
  (cd "$here" && run_driver "$log" "$@")
  rc=$?
  [ -z "$mark" ] || sed -i -E "s/^(PASS|FAIL) /\1 $mark./" "$log"
  cat "$log"
  tally "$name" "$log" $rc
  return $rc
}

# The same on a fresh Wine server, which reports Windows $as (win95, win98) when it is set.
scenario() {  # name driver-args...
  fresh_server
  [ -z "${as:-}" ] || wine_version_value "$as"
  drive "$@"
  [ -z "${as:-}" ] || wine_version_value ""
}

scenario check-bar check-bar "$exe_w"

# What the host says about the folder behind C: and about memory, just before the scenario. Wine
# gives a drive's free bytes (lpTotalNumberOfFreeBytes as well as the caller's) as statvfs's
# f_bavail: blocks reserved for root (f_bfree counts them too) never show under Wine.
readouts_scenario() {  # name
  local disk_total disk_free disk_bfree mem_kb
  read -r disk_total disk_free disk_bfree < <(python3 -c '
import os, sys
s = os.statvfs(sys.argv[1])
print(s.f_blocks * s.f_frsize, s.f_bavail * s.f_frsize, s.f_bfree * s.f_frsize)' "$WINEPREFIX/drive_c")
  mem_kb=$(awk '$1 == "MemTotal:" && $3 == "kB" {print $2}' /proc/meminfo)
  echo "note: host: drive_c total $disk_total, free $disk_free (f_bfree $disk_bfree) bytes; MemTotal $mem_kb kB"
  if [ -z "$disk_total" ] || [ -z "$mem_kb" ]; then
    fail "$1" "the host's figures from statvfs and /proc/meminfo, got \"$disk_total\" and \"$mem_kb\""
  else
    scenario "$1" check-readouts "$exe_w" "$disk_total" "$disk_free" $((mem_kb * 1024))
  fi
}
readouts_scenario check-readouts

for version in win7 win95 win98; do
  as=${version#win7} scenario "version-$version" check-version "$exe_w" "$version"
done

# launch prints where the bar docked and leaves it running; exit presses its exit button.
echo "== launch-exit"
fresh_server
run_driver "$scratch/launch.log" launch "$exe_w"
rc=$?
cat "$scratch/launch.log"
rect=$(grep -E '^-?[0-9]+ -?[0-9]+ -?[0-9]+ -?[0-9]+$' "$scratch/launch.log" | tail -n 1)
if [ $rc -ne 0 ]; then fail launch.rect "the bar within 20 s, got exit code $rc"
elif [ "$rect" = "0 0 1024 47" ]; then pass launch.rect
else fail launch.rect "\"0 0 1024 47\", got \"$rect\""; fi
[ $rc -ne 0 ] || drive exit exit

# ---- The settings files: vlkini.dat and nonapp.dat beside velkin.exe, CP932, CR LF lines. The
# driver runs from a folder of its own, and the program starts there too: its files must still
# go beside velkin.exe, never into this folder.
here="$scratch/elsewhere"
mkdir -p "$here"
defaults=(0 0 Bytes 0 Bytes 2 4 0 0 1 0)
changed=(2 3 GBytes 2 MBytes 3 2 0 0 1 1)
past='2001-02-03 04:05:06'

# A fresh folder $files with the program alone; $files_w is the program's Windows path.
program_folder() {  # folder
  files=$1
  rm -rf "$files"
  mkdir -p "$files"
  cp "$program" "$files/velkin.exe"
  files_w=$(winepath -w "$files/velkin.exe")
}

# The same with vlkini.dat's defaults and nonapp.dat of these lines.
settings_folder() {  # folder [nonapp-line...]
  program_folder "$1"
  shift
  write_lines "$files/vlkini.dat" "${defaults[@]}"
  write_lines "$files/nonapp.dat" "$@"
}

# "<name>.vlkini" and "<name>.nonapp": the files' lines; "<name>.folder": both files beside
# velkin.exe, nothing left over as "X.new" or "X.old".
expect_settings() {  # name vlkini-line... -- nonapp-line...
  local name=$1 vlkini=()
  shift
  while [ "$1" != -- ]; do vlkini+=("$1"); shift; done
  shift
  expect_lines "$name.vlkini" "$files/vlkini.dat" "${vlkini[@]}"
  expect_lines "$name.nonapp" "$files/nonapp.dat" "$@"
  expect_files "$name.folder" "$files" velkin.exe vlkini.dat nonapp.dat
}

# "<name>": the file written again since it was dated $past.
expect_rewritten() {  # name file
  if [ -f "$2" ] && [ "$(date -r "$2" +%Y)" != 2001 ]; then pass "$1"
  else fail "$1" "$2 written again, got $(stat -c %y "$2" 2>&1)"; fi
}

program_folder "$scratch/settings"
scenario settings-first-start first-start "$files_w"
expect_settings files.first "${defaults[@]}" --
scenario settings-change change-settings "$files_w"
expect_settings files.change "${changed[@]}" --
# WM_CLOSE saves as the exit button does, with the interval the driver selected ("2秒", 5).
touch -d "$past" "$files/vlkini.dat" "$files/nonapp.dat"
scenario settings-restored check-restored "$files_w"
for name in vlkini.dat nonapp.dat; do expect_rewritten "files.close_writes.$name" "$files/$name"; done
closed=("${changed[@]:0:6}" 5 "${changed[@]:7}")
expect_settings files.restored "${closed[@]}" --

# A stored interval position the selector does not have; the other settings are kept, and the
# exit saves the interval it fell back to. No nonapp.dat: an empty list, and no box for it.
for value in 7 -1 word; do
  program_folder "$scratch/bad-interval"
  write_lines "$files/vlkini.dat" 1 3 GBytes 2 MBytes 3 "$value" 0 0 1 2
  scenario "settings-bad-interval-$value" check-warning "$files_w" interval 4 1
  expect_settings "files.bad_interval.$value" 1 3 GBytes 2 MBytes 3 4 0 0 1 2 --
done

program_folder "$scratch/bad-drive"
write_lines "$files/vlkini.dat" 9 0 Bytes 0 Bytes 2 5 0 0 1 0
scenario settings-bad-drive check-warning "$files_w" drive 5 0
expect_lines files.bad_drive.vlkini "$files/vlkini.dat" 0 0 Bytes 0 Bytes 2 5 0 0 1 0

# 25 lines, the fourth empty: the program keeps the first 20 titles and saves what it keeps.
# Titles with a trail byte 0x5C (表, ソ) and a backslash of their own.
titles=()
for i in $(seq -w 1 24); do
  case $((10#$i % 3)) in
    0) titles+=("表示ソフト $i") ;;
    1) titles+=("Window $i - C:\\temp") ;;
    2) titles+=("無題 - メモ帳 $i") ;;
  esac
done
settings_folder "$scratch/exclusions" "${titles[@]:0:3}" "" "${titles[@]:3}"
scenario settings-exclusions start-exit "$files_w"
expect_settings files.exclusions "${defaults[@]}" -- "${titles[@]:0:20}"

# ---- The program's own restart of Windows alone (button 102) ends the session: the bar gets
# WM_QUERYENDSESSION and WM_ENDSESSION, writes both files (nonapp.dat only then) and ends with
# the session. As Windows 7 (NT: the command logs off, EWX_LOGOFF) for both builds; as Windows 95
# for the 32-bit program, where KERNEL32's 16-bit services (forwarders to Wine's 16-bit kernel)
# load USER.EXE and call its ExitWindows(0x42) through QT_Thunk.
session_restart_windows() {  # win7 | win95
  program_folder "$scratch/session"
  write_lines "$files/vlkini.dat" "${changed[@]}"
  write_lines "$files/nonapp.dat" "Velkin keep me"
  touch -d "$past" "$files/vlkini.dat" "$files/nonapp.dat"
  as=${1#win7} scenario "session-restart-windows-$1" end-session "$files_w" 102
  for f in vlkini.dat nonapp.dat; do expect_rewritten "files.session_$1.$f.written" "$files/$f"; done
  expect_settings "files.session_$1" "${changed[@]}" -- "Velkin keep me"
}
session_restart_windows win7
[ "$program_bits" = 32 ] && session_restart_windows win95

# ---- The session ends, or the bar is closed (WM_CLOSE), while a first start's welcome box is
# up, before the program has read its files: it ends without writing either. nonapp.dat stays
# byte for byte, no vlkini.dat.
program_folder "$scratch/welcome-end"
write_lines "$files/nonapp.dat" "Velkin keep me" "表示ソフト メモ"
scenario session-end-at-welcome end-session-at-welcome "$files_w"
expect_lines files.welcome_end.nonapp "$files/nonapp.dat" "Velkin keep me" "表示ソフト メモ"
expect_files files.welcome_end.folder "$files" velkin.exe nonapp.dat

program_folder "$files"
write_lines "$files/nonapp.dat" "Velkin keep me"
scenario close-at-welcome close-at-welcome "$files_w"
expect_lines files.welcome_close.nonapp "$files/nonapp.dat" "Velkin keep me"
expect_files files.welcome_close.folder "$files" velkin.exe nonapp.dat

# ---- Minimizing the other windows, and nonapp.dat's list edited through the program's dialogs.
# The titles are the driver's too (kKeepTitle, kStoredSorted, kEditedSorted, full_list in
# driver/windows.cpp).
settings_folder "$scratch/windows" "Velkin keep me"
scenario windows-minimize-all minimize-all "$files_w"
expect_lines files.minimize.nonapp "$files/nonapp.dat" "Velkin keep me"
scenario windows-lookalikes minimize-lookalikes "$files_w"

settings_folder "$files" "Zebra notes" "Velkin keep me" "表示ソフト メモ" "Aardvark notes"
edited=("Aardvark notes" "Velkin keep me" "Velkin pick me" "Zebra notes" "表示ソフト メモ")
scenario windows-exclusions-edit exclusions-edit "$files_w"
expect_lines files.exclusions_edit.nonapp "$files/nonapp.dat" "${edited[@]}"
expect_files files.exclusions_edit.folder "$files" velkin.exe vlkini.dat nonapp.dat
scenario windows-exclusions-back exclusions-back "$files_w"
expect_lines files.exclusions_back.nonapp "$files/nonapp.dat" "${edited[@]}"

full=() reversed=()
for i in $(seq -w 1 20); do
  full+=("Velkin full $i")
  reversed=("Velkin full $i" "${reversed[@]}")
done
settings_folder "$files" "${reversed[@]}"
scenario windows-exclusions-full exclusions-full "$files_w"
expect_lines files.exclusions_full.nonapp "$files/nonapp.dat" "${full[@]}"

# Windows titled in UTF-16, some beyond CP932 (driver/windows.cpp's kTitleTable): each one
# minimized from its slot of the context menu and listed by the picker; "メモ帳" picked there is
# saved in CP932.
titles_scenario() {  # name-prefix
  settings_folder "$scratch/titles" "Velkin keep me"
  scenario "${1}windows-titles" window-titles "$files_w"
  expect_lines "${1}files.titles.nonapp" "$files/nonapp.dat" "Velkin keep me" "メモ帳"
}
titles_scenario ""

# Folders whose names hold double-byte characters with the trail byte 0x5C (表 is 95 5C, ソ is
# 83 5C in CP932); Wine gives the program the CP932 name. The second ends in such a character.
# A program that reads the folder wrong may write beside it instead, as "<folder>vlkini.dat" in a
# name cut after the 0x5C: none may be there, from this run or an earlier one.
e2e="$root/build/e2e"
stray_files() {  # [find action]
  find "$e2e" -maxdepth 1 -type f \( -name '*vlkini*' -o -name '*nonapp*' \) "${@:--print}"
}
stray=$(stray_files -printf '%f ')
[ -z "$stray" ] || { echo "note: removing $stray from an earlier run"; stray_files -delete; }
for folder in 表示ソフト データ表; do
  program_folder "$e2e/$folder"
  scenario "settings-folder-$folder-first" first-start "$files_w"
  expect_lines "files.folder.$folder.vlkini" "$files/vlkini.dat" "${defaults[@]}"
  expect_lines "files.folder.$folder.nonapp" "$files/nonapp.dat"
  expect_files "files.folder.$folder.files" "$files" velkin.exe vlkini.dat nonapp.dat
  scenario "settings-folder-$folder-again" start-exit "$files_w"
  expect_lines "files.folder.$folder.vlkini_again" "$files/vlkini.dat" "${defaults[@]}"
  expect_files "files.folder.$folder.files_again" "$files" velkin.exe vlkini.dat nonapp.dat
  rm -rf "$files"
done
stray=$(stray_files -printf '%f ')
if [ -z "$stray" ]; then pass files.folder.none_beside; else fail files.folder.none_beside "no settings files in $e2e, got $stray"; fi

# ---- The bar's texts in other ANSI code pages: its labels and tooltip, the selectors' entries, the
# welcome box and the first start's vlkini.dat, the version dialog, the title table and its
# nonapp.dat, each with Wine started in another locale. Wine takes its ANSI code page from the
# locale alone: C.UTF-8 gives 1252. Wine 8 keeps none of its own: it writes
# HKLM\System\CurrentControlSet\Control\Nls\CodePage's ACP anew from the locale whenever it
# starts, so ACP=65001 set there (wine reg add) is gone again and GetACP() answers 1252 under
# C.UTF-8 or en_US.UTF-8 and 932 under ja_JP.UTF-8 all the same. But a locale whose Windows
# counterpart has no ANSI code page gets UTF-8, 65001: hi_IN.UTF-8. Few machines have it
# installed, so localedef compiles it here once, into build/e2e/locale, which LOCPATH names.
locales="$e2e/locale"
if [ ! -d "$locales/hi_IN.UTF-8" ]; then
  mkdir -p "$locales"
  localedef -i hi_IN -f UTF-8 "$locales/hi_IN.UTF-8" >/dev/null 2>&1 || rm -rf "$locales/hi_IN.UTF-8"
fi

code_page_run() {  # code-page locale [LOCPATH]
  mark="cp$1"
  export LANG=$2 LC_ALL=$2
  [ -z "${3:-}" ] || export LOCPATH=$3
  fresh_server
  run_driver "$scratch/$mark-acp.log" ansi-code-page
  local acp
  acp=$(tr -d '\r' <"$scratch/$mark-acp.log")
  if [ "$acp" = "$1" ]; then pass "$mark.ansi_code_page"
  else fail "$mark.ansi_code_page" "GetACP() $1 under LANG=$2, got \"$acp\""; fi
  if [ "$acp" = "$1" ]; then
    scenario "$mark.check-bar" check-bar "$exe_w"
    readouts_scenario "$mark.check-readouts"
    program_folder "$scratch/$mark-first"
    scenario "$mark.settings-first-start" first-start "$files_w"
    expect_settings "$mark.files.first" "${defaults[@]}" --
    scenario "$mark.version-win7" check-version "$exe_w" win7
    titles_scenario "$mark."
  fi
  mark=""
  export LANG=$velkin_locale LC_ALL=$velkin_locale
  unset LOCPATH
}
velkin_locale=$LANG
code_page_run 1252 C.UTF-8
code_page_run 65001 hi_IN.UTF-8 "$locales"

expect_files files.elsewhere_untouched "$here"

fresh_server
velkin_stop_display

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
