#!/usr/bin/env bash
# End-to-end tests: runs the real velkin.exe under Wine on a virtual 1024x768 screen and checks
# its bar from outside with velkin-driver.exe (tests/e2e/driver.cpp).
#
# Usage: tests/e2e/run_e2e.sh BUILD_WIN64_DIR
#   BUILD_WIN64_DIR holds velkin.exe and velkin-driver.exe (scripts/build.sh win64).
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
# Ends with "N passed, M failed" over every check; exits non-zero when anything failed.
#
# The tests use their own Wine prefix, build/e2e/wineprefix (WINEPREFIX_VELKIN overrides it):
# "wineserver -k" must not end programs that other runs have going in the shared one.
set -u

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_WIN64_DIR" >&2
  exit 2
fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "$1" 2>/dev/null && pwd) || { echo "run_e2e: no directory $1" >&2; exit 2; }
for exe in velkin.exe velkin-driver.exe; do
  if [ ! -f "$build/$exe" ]; then
    echo "run_e2e: $build/$exe does not exist; build the win64 tree first" >&2
    exit 2
  fi
done

export VELKIN_HEADLESS=1
export WINEPREFIX_VELKIN="${WINEPREFIX_VELKIN:-$root/build/e2e/wineprefix}"
. "$root/scripts/wine-env.sh"

# A fresh folder for the program: it may write its settings next to itself.
scratch="$root/build/e2e/run"
rm -rf "$scratch"
mkdir -p "$scratch"
cp "$build/velkin.exe" "$build/velkin-driver.exe" "$scratch/"
driver="$scratch/velkin-driver.exe"

passed=0
failed=0

pass() { passed=$((passed + 1)); echo "PASS $1"; }
fail() { failed=$((failed + 1)); echo "FAIL $1: $2"; }

# Adds a driver transcript's summary to the totals; a transcript without one is a failure.
tally() {  # name transcript exit-code
  local line
  line=$(grep -aE '^[0-9]+ passed, [0-9]+ failed$' "$2" | tail -n 1)
  if [ -z "$line" ]; then
    fail "$1" "a summary line from the driver, got none (exit code $3)"
    return
  fi
  local p=${line%% passed*}
  local f=${line#*passed, }
  f=${f%% failed}
  passed=$((passed + p))
  failed=$((failed + f))
  if [ "$f" = 0 ] && [ "$3" != 0 ]; then
    fail "$1" "exit code 0 with no failed checks, got $3"
  fi
}

# Ends every Wine process of the prefix and waits until the server is gone.
fresh_server() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
}

# Runs the driver with its output in a file: a pipe would stay open as long as any Wine process
# started meanwhile (the server, the desktop, the bar) holds it.
run_driver() {  # transcript args...
  local transcript=$1
  shift
  timeout 300 wine "$driver" "$@" >"$transcript" 2>&1
}

# Wine's Windows version for every program of the prefix; none set means Wine's own choice.
wine_version_value() {  # win95 | win98 | ""
  if [ -n "$1" ]; then
    wine reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1
  else
    wine reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1
  fi
}

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

fresh_server
velkin_stop_display

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
