#!/usr/bin/env bash
# Runs Velkin under Wine, waits for its bar and saves a picture of the top of the screen to
# build/screenshot.png.
#
# Usage: scripts/show-bar.sh BUILD_WIN64_DIR
#
# With DISPLAY set (and VELKIN_HEADLESS not 1) the bar appears on that display and stays up
# for you; the script returns once you have closed it with its exit button (the rightmost of
# the icon buttons). Without a display it runs on a virtual 1024x768 screen, and once the
# picture is taken the script presses the bar's exit button itself.
set -u

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_WIN64_DIR" >&2
  exit 2
fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "$1" 2>/dev/null && pwd) || { echo "show-bar: no directory $1" >&2; exit 2; }
exe="$build/velkin.exe"
driver="$build/velkin-driver.exe"
for f in "$exe" "$driver"; do
  if [ ! -f "$f" ]; then
    echo "show-bar: $f does not exist; build the win64 tree first" >&2
    exit 2
  fi
done

work="$root/build/show-bar"
mkdir -p "$work"

. "$root/scripts/wine-env.sh"
velkin_start_display || exit 1
virtual=0
[ -n "$velkin_xvfb_pid" ] && virtual=1
velkin_prepare_prefix

finish() {
  if [ $virtual = 1 ]; then
    timeout 30 wineserver -w >/dev/null 2>&1
    velkin_stop_display
  fi
}

# The driver's output goes to a file: a pipe would stay open while the bar runs.
wine "$driver" launch "$(winepath -w "$exe")" >"$work/launch.txt" 2>&1
rc=$?
if [ $rc -ne 0 ]; then
  cat "$work/launch.txt" >&2
  echo "show-bar: the bar did not appear" >&2
  finish
  exit 1
fi
read -r left top right bottom < <(grep -E '^-?[0-9]+ -?[0-9]+ -?[0-9]+ -?[0-9]+$' "$work/launch.txt" | tail -n 1)
echo "show-bar: the bar is at left $left, top $top, right $right, bottom $bottom on $DISPLAY"

# The top strip of the screen, as wide as the bar and a little taller.
sleep 1  # let it paint
width=$right
height=$((bottom + 13))
if import -display "$DISPLAY" -window root -crop "${width}x${height}+0+0" +repage "$root/build/screenshot.png"; then
  echo "show-bar: saved $root/build/screenshot.png (${width}x${height})"
else
  echo "show-bar: could not take the screenshot" >&2
  rc=1
fi

if [ $virtual = 1 ]; then
  wine "$driver" exit >"$work/exit.txt" 2>&1 || rc=1
  cat "$work/exit.txt"
else
  echo "show-bar: the bar stays up; close it with its exit button (the rightmost icon button)"
  wineserver -w
fi
finish
exit $rc
