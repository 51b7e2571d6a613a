#!/usr/bin/env bash
# End-to-end tests: runs the real velkin.exe under Wine on a virtual 1024x768 screen and checks
# its bar from outside with velkin-driver.exe (tests/e2e/driver/).
#
# Usage: tests/e2e/run_e2e.sh BUILD_WIN64_DIR [PROGRAM_EXE]
#   BUILD_WIN64_DIR holds velkin-driver.exe and velkin.exe (scripts/build.sh win64); PROGRAM_EXE is
#   the program to test when it is another (build/win32/velkin.exe, under 32-bit Wine).
#
# Scenarios, each on a fresh Wine server (a bar whose process dies keeps its strip of the
# screen until the server ends, so one scenario cannot spoil the next):
#   check-bar       the window, its class, the 18 controls, the tooltip; closing; docking again
#   check-readouts  the selectors' entries; drive C:'s readouts against the driver's measure and
#                   the host's (statvfs of the prefix's drive_c), following a file written there;
#                   the memory readout against the host's MemTotal; the resources readout
#   version-win7    Wine's own Windows version (7, build 7601): buttons, drive readouts, the
#   version-win95   version dialog; then the same with Wine told to report Windows 95 (no suspend
#   version-win98   button, drives measured in clusters) and Windows 98
#   launch-exit     start the bar, check where it docked, press its exit button
# Then the settings files, vlkini.dat and nonapp.dat beside velkin.exe, each scenario with the
# program in a folder of its own and started from another (build/e2e/run/elsewhere, which must
# stay empty); the files' bytes are checked here, after each exit:
#   settings-first-start      the welcome box before the bar and before any file; the defaults;
#                             the exit writes both files, no "X.new" or "X.old" left
#   settings-change           units, places, interval and drive changed; the exit saves them
#   settings-restored         a start brings them back; the interval changed, then WM_CLOSE: both
#                             files written again, the new interval kept
#   settings-bad-interval     a stored interval of 7, -1 or a word: the warning, "1秒"
#   settings-bad-drive        a stored drive of 9: the warning naming the first drive
#   settings-exclusions       25 stored titles, one line empty: the first 20 titles saved back
#   windows-minimize-all      the context menu; the minimize-all button over windows the driver
#                             makes, one titled as nonapp.dat's entry; the exit keeps the file
#   windows-lookalikes        the button over windows titled alike: the excluded title over one
#                             a case apart, a hidden window over a shown one of the same title,
#                             two shown windows of one title
#   windows-exclusions-edit   nonapp.dat's four titles in no order: a window's title added through
#                             the list's dialog and its picker, minimize-all passes over it; the
#                             exit saves the five titles in the dialog's sorted order
#   windows-exclusions-back   a start brings them back; deletions dropped by Esc and the close box
#   windows-exclusions-full   20 stored titles in reverse order: a 21st is refused with a warning;
#                             the exit saves the 20 sorted
#   session-restart-windows   button 102 ends the session: as Windows 7 it logs off, as Windows 95
#                             (32-bit program only) it calls the 16-bit ExitWindows; both files
#                             written, the program ends
#   session-end-at-welcome    the session ends while a first start's welcome box is up: neither
#                             file is written, nonapp.dat stays as it was
#   close-at-welcome          the same with the bar closed (WM_CLOSE) instead: the program ends
#   settings-folder           the program in build/e2e/表示ソフト and build/e2e/データ表 (trail
#                             bytes 0x5C in CP932): the files go inside, a second start finds them
# Ends with "N passed, M failed" over every check; exits non-zero when anything failed.
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

echo "== check-bar"
fresh_server
run_driver "$scratch/check-bar.log" check-bar "$exe_w"
rc=$?
cat "$scratch/check-bar.log"
tally check-bar "$scratch/check-bar.log" $rc

echo "== check-readouts"
fresh_server
# What the host says about the folder behind C: and about memory. Wine gives a drive's free
# bytes (lpTotalNumberOfFreeBytes as well as the caller's) as statvfs's f_bavail: blocks
# reserved for root (f_bfree counts them too) never show under Wine.
read -r disk_total disk_free disk_bfree < <(python3 -c '
import os, sys
s = os.statvfs(sys.argv[1])
print(s.f_blocks * s.f_frsize, s.f_bavail * s.f_frsize, s.f_bfree * s.f_frsize)' "$WINEPREFIX/drive_c")
mem_kb=$(awk '$1 == "MemTotal:" && $3 == "kB" {print $2}' /proc/meminfo)
echo "note: host: drive_c total $disk_total, free $disk_free (f_bfree $disk_bfree) bytes; MemTotal $mem_kb kB"
if [ -z "$disk_total" ] || [ -z "$mem_kb" ]; then
  fail check-readouts "the host's figures from statvfs and /proc/meminfo, got \"$disk_total\" and \"$mem_kb\""
else
  run_driver "$scratch/readouts.log" check-readouts "$exe_w" "$disk_total" "$disk_free" $((mem_kb * 1024))
  rc=$?
  cat "$scratch/readouts.log"
  tally check-readouts "$scratch/readouts.log" $rc
fi

for version in win7 win95 win98; do
  echo "== version-$version"
  fresh_server
  [ "$version" = win7 ] || wine_version_value "$version"
  run_driver "$scratch/version-$version.log" check-version "$exe_w" "$version"
  rc=$?
  [ "$version" = win7 ] || wine_version_value ""
  cat "$scratch/version-$version.log"
  tally "version-$version" "$scratch/version-$version.log" $rc
done

echo "== launch-exit"
fresh_server
run_driver "$scratch/launch.log" launch "$exe_w"
rc=$?
cat "$scratch/launch.log"
rect=$(grep -E '^-?[0-9]+ -?[0-9]+ -?[0-9]+ -?[0-9]+$' "$scratch/launch.log" | tail -n 1)
if [ $rc -ne 0 ]; then
  fail launch.rect "the bar within 20 s, got exit code $rc"
elif [ "$rect" = "0 0 1024 47" ]; then
  pass launch.rect
else
  fail launch.rect "\"0 0 1024 47\", got \"$rect\""
fi
if [ $rc -eq 0 ]; then
  run_driver "$scratch/exit.log" exit
  rc=$?
  cat "$scratch/exit.log"
  tally exit "$scratch/exit.log" $rc
fi

# ---- The settings files: vlkini.dat and nonapp.dat beside velkin.exe, CP932, CR LF lines.


# A fresh folder with the program alone, for one scenario.
program_folder() {  # folder
  rm -rf "$1"
  mkdir -p "$1"
  cp "$program" "$1/velkin.exe"
}

# The driver runs from a folder of its own, and the program starts there too: its files must
# still go beside velkin.exe, never into this folder.
elsewhere="$scratch/elsewhere"
mkdir -p "$elsewhere"
run_elsewhere() {  # name transcript args...
  local name=$1 transcript=$2
  shift 2
  fresh_server
  (cd "$elsewhere" && run_driver "$transcript" "$@")
  local rc=$?
  cat "$transcript"
  tally "$name" "$transcript" $rc
}

defaults=(0 0 Bytes 0 Bytes 2 4 0 0 1 0)
changed=(2 3 GBytes 2 MBytes 3 2 0 0 1 1)

echo "== settings-first-start"
files="$scratch/settings"
program_folder "$files"
files_w=$(winepath -w "$files/velkin.exe")
run_elsewhere settings-first-start "$scratch/first-start.log" first-start "$files_w"
expect_lines files.first.vlkini "$files/vlkini.dat" "${defaults[@]}"
expect_lines files.first.nonapp "$files/nonapp.dat"
expect_files files.first.folder "$files" velkin.exe vlkini.dat nonapp.dat

echo "== settings-change"
run_elsewhere settings-change "$scratch/change.log" change-settings "$files_w"
expect_lines files.change.vlkini "$files/vlkini.dat" "${changed[@]}"
expect_lines files.change.nonapp "$files/nonapp.dat"
expect_files files.change.folder "$files" velkin.exe vlkini.dat nonapp.dat

echo "== settings-restored"
# WM_CLOSE saves as the exit button does: files dated in the past are written again, with the
# interval the driver selected ("2秒", position 5) before it sent WM_CLOSE.
touch -d '2001-02-03 04:05:06' "$files/vlkini.dat" "$files/nonapp.dat"
stamps_before=$(stat -c '%n %Y' "$files/vlkini.dat" "$files/nonapp.dat")
run_elsewhere settings-restored "$scratch/restored.log" check-restored "$files_w"
for name in vlkini.dat nonapp.dat; do
  if [ "$(stat -c %Y "$files/$name" 2>&1)" != "$(date -d '2001-02-03 04:05:06' +%s)" ]; then
    pass "files.close_writes.$name"
  else
    fail "files.close_writes.$name" "$name written by WM_CLOSE, still dated 2001-02-03 04:05:06 ($stamps_before)"
  fi
done
closed=("${changed[@]}")
closed[6]=5
expect_lines files.restored.vlkini "$files/vlkini.dat" "${closed[@]}"
expect_lines files.restored.nonapp "$files/nonapp.dat"
expect_files files.restored.folder "$files" velkin.exe vlkini.dat nonapp.dat

# A stored interval position the selector does not have; the other settings are kept, and the
# exit saves the interval it fell back to. No nonapp.dat: an empty list, and no box for it.
for value in 7 -1 word; do
  echo "== settings-bad-interval ($value)"
  files="$scratch/bad-interval"
  program_folder "$files"
  write_lines "$files/vlkini.dat" 1 3 GBytes 2 MBytes 3 "$value" 0 0 1 2
  run_elsewhere "settings-bad-interval-$value" "$scratch/bad-interval.log" check-warning \
    "$(winepath -w "$files/velkin.exe")" interval 4 1
  expect_lines "files.bad_interval.$value.vlkini" "$files/vlkini.dat" 1 3 GBytes 2 MBytes 3 4 0 0 1 2
  expect_lines "files.bad_interval.$value.nonapp" "$files/nonapp.dat"
  expect_files "files.bad_interval.$value.folder" "$files" velkin.exe vlkini.dat nonapp.dat
done

echo "== settings-bad-drive"
files="$scratch/bad-drive"
program_folder "$files"
write_lines "$files/vlkini.dat" 9 0 Bytes 0 Bytes 2 5 0 0 1 0
run_elsewhere settings-bad-drive "$scratch/bad-drive.log" check-warning \
  "$(winepath -w "$files/velkin.exe")" drive 5 0
expect_lines files.bad_drive.vlkini "$files/vlkini.dat" 0 0 Bytes 0 Bytes 2 5 0 0 1 0

echo "== settings-exclusions"
# 25 lines, the fourth empty: the program keeps the first 20 titles and saves what it keeps.
# Titles with a trail byte 0x5C (表, ソ) and a backslash of their own.
files="$scratch/exclusions"
program_folder "$files"
titles=()
for i in $(seq -w 1 24); do
  case $((10#$i % 3)) in
    0) titles+=("表示ソフト $i") ;;
    1) titles+=("Window $i - C:\\temp") ;;
    2) titles+=("無題 - メモ帳 $i") ;;
  esac
done
write_lines "$files/vlkini.dat" "${defaults[@]}"
write_lines "$files/nonapp.dat" "${titles[@]:0:3}" "" "${titles[@]:3}"
run_elsewhere settings-exclusions "$scratch/exclusions.log" start-exit "$(winepath -w "$files/velkin.exe")"
expect_lines files.exclusions.nonapp "$files/nonapp.dat" "${titles[@]:0:20}"
expect_lines files.exclusions.vlkini "$files/vlkini.dat" "${defaults[@]}"
expect_files files.exclusions.folder "$files" velkin.exe vlkini.dat nonapp.dat

# ---- The Windows session ends through the program's own restart of Windows alone (button 102):
# the bar gets WM_QUERYENDSESSION and WM_ENDSESSION, writes both files (nonapp.dat only then)
# and ends with the session. Wine as Windows 7 (NT: the command logs off, EWX_LOGOFF) for both
# builds; as Windows 95 for the 32-bit program, where KERNEL32's 16-bit services (forwarders to
# Wine's 16-bit kernel) load USER.EXE and call its ExitWindows(0x42) through QT_Thunk.
session_restart_windows() {  # win7 | win95
  echo "== session-restart-windows ($1)"
  files="$scratch/session"
  program_folder "$files"
  write_lines "$files/vlkini.dat" "${changed[@]}"
  write_lines "$files/nonapp.dat" "Velkin keep me"
  touch -d '2001-02-03 04:05:06' "$files/vlkini.dat" "$files/nonapp.dat"
  fresh_server
  [ "$1" = win7 ] || wine_version_value "$1"
  (cd "$elsewhere" && run_driver "$scratch/session.log" end-session "$(winepath -w "$files/velkin.exe")" 102)
  rc=$?
  [ "$1" = win7 ] || wine_version_value ""
  cat "$scratch/session.log"
  tally "session-restart-windows-$1" "$scratch/session.log" $rc
  for f in vlkini.dat nonapp.dat; do
    if [ -f "$files/$f" ] && [ "$(date -r "$files/$f" +%Y)" != 2001 ]; then
      pass "files.session_$1.$f.written"
    else
      fail "files.session_$1.$f.written" "$f written again as the session ended, got $(stat -c %y "$files/$f" 2>&1)"
    fi
  done
  expect_lines "files.session_$1.vlkini" "$files/vlkini.dat" "${changed[@]}"
  expect_lines "files.session_$1.nonapp" "$files/nonapp.dat" "Velkin keep me"
  expect_files "files.session_$1.folder" "$files" velkin.exe vlkini.dat nonapp.dat
}
session_restart_windows win7
[ "$program_bits" = 32 ] && session_restart_windows win95

# ---- The session ends while a first start's welcome box is up, before the program has read
# its files: it ends without writing either. nonapp.dat stays byte for byte, no vlkini.dat.
echo "== session-end-at-welcome"
files="$scratch/welcome-end"
program_folder "$files"
write_lines "$files/nonapp.dat" "Velkin keep me" "表示ソフト メモ"
run_elsewhere session-end-at-welcome "$scratch/welcome-end.log" end-session-at-welcome "$(winepath -w "$files/velkin.exe")"
expect_lines files.welcome_end.nonapp "$files/nonapp.dat" "Velkin keep me" "表示ソフト メモ"
expect_files files.welcome_end.folder "$files" velkin.exe nonapp.dat

# ---- The same with the bar closed (WM_CLOSE) while the welcome box is up: after OK the program
# ends, its bar never shown, and writes neither file.
echo "== close-at-welcome"
program_folder "$files"
write_lines "$files/nonapp.dat" "Velkin keep me"
run_elsewhere close-at-welcome "$scratch/welcome-close.log" close-at-welcome "$(winepath -w "$files/velkin.exe")"
expect_lines files.welcome_close.nonapp "$files/nonapp.dat" "Velkin keep me"
expect_files files.welcome_close.folder "$files" velkin.exe nonapp.dat

# ---- Minimizing the other windows, and nonapp.dat's list edited through the program's dialogs.
# The driver makes the windows; the titles here are the driver's too (kKeepTitle, kStoredSorted,
# kEditedSorted, full_list in driver/windows.cpp).

echo "== windows-minimize-all"
files="$scratch/windows"
program_folder "$files"
files_w=$(winepath -w "$files/velkin.exe")
write_lines "$files/vlkini.dat" "${defaults[@]}"
write_lines "$files/nonapp.dat" "Velkin keep me"
run_elsewhere windows-minimize-all "$scratch/minimize-all.log" minimize-all "$files_w"
expect_lines files.minimize.nonapp "$files/nonapp.dat" "Velkin keep me"

echo "== windows-lookalikes"
run_elsewhere windows-lookalikes "$scratch/lookalikes.log" minimize-lookalikes "$files_w"

echo "== windows-exclusions-edit"
program_folder "$files"
write_lines "$files/vlkini.dat" "${defaults[@]}"
write_lines "$files/nonapp.dat" "Zebra notes" "Velkin keep me" "表示ソフト メモ" "Aardvark notes"
edited=("Aardvark notes" "Velkin keep me" "Velkin pick me" "Zebra notes" "表示ソフト メモ")
run_elsewhere windows-exclusions-edit "$scratch/exclusions-edit.log" exclusions-edit "$files_w"
expect_lines files.exclusions_edit.nonapp "$files/nonapp.dat" "${edited[@]}"
expect_files files.exclusions_edit.folder "$files" velkin.exe vlkini.dat nonapp.dat

echo "== windows-exclusions-back"
run_elsewhere windows-exclusions-back "$scratch/exclusions-back.log" exclusions-back "$files_w"
expect_lines files.exclusions_back.nonapp "$files/nonapp.dat" "${edited[@]}"

echo "== windows-exclusions-full"
program_folder "$files"
full=() reversed=()
for i in $(seq -w 1 20); do
  full+=("Velkin full $i")
  reversed=("Velkin full $i" "${reversed[@]}")
done
write_lines "$files/vlkini.dat" "${defaults[@]}"
write_lines "$files/nonapp.dat" "${reversed[@]}"
run_elsewhere windows-exclusions-full "$scratch/exclusions-full.log" exclusions-full "$files_w"
expect_lines files.exclusions_full.nonapp "$files/nonapp.dat" "${full[@]}"

# Folders whose names hold double-byte characters with the trail byte 0x5C (表 is 95 5C, ソ is
# 83 5C in CP932); Wine gives the program the CP932 name. The second ends in such a character.
# A program that reads the folder wrong may write beside it instead, as "<folder>vlkini.dat" in a
# name cut after the 0x5C: none may be there, from this run or an earlier one.
e2e="$root/build/e2e"
stray_files() {  # [find action]
  find "$e2e" -maxdepth 1 -type f \( -name '*vlkini*' -o -name '*nonapp*' \) "${@:--print}"
}
stray=$(stray_files -printf '%f ')
if [ -n "$stray" ]; then
  echo "note: removing $stray from an earlier run"
  stray_files -delete
fi
for folder in 表示ソフト データ表; do
  echo "== settings-folder ($folder)"
  files="$e2e/$folder"
  program_folder "$files"
  folder_w=$(winepath -w "$files/velkin.exe")
  run_elsewhere "settings-folder-$folder-first" "$scratch/folder-first.log" first-start "$folder_w"
  expect_lines "files.folder.$folder.vlkini" "$files/vlkini.dat" "${defaults[@]}"
  expect_lines "files.folder.$folder.nonapp" "$files/nonapp.dat"
  expect_files "files.folder.$folder.files" "$files" velkin.exe vlkini.dat nonapp.dat
  run_elsewhere "settings-folder-$folder-again" "$scratch/folder-again.log" start-exit "$folder_w"
  expect_lines "files.folder.$folder.vlkini_again" "$files/vlkini.dat" "${defaults[@]}"
  expect_files "files.folder.$folder.files_again" "$files" velkin.exe vlkini.dat nonapp.dat
  rm -rf "$files"
done
stray=$(stray_files -printf '%f ')
if [ -z "$stray" ]; then pass files.folder.none_beside; else fail files.folder.none_beside "no settings files in $e2e, got $stray"; fi
expect_files files.elsewhere_untouched "$elsewhere"

fresh_server
velkin_stop_display

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
