#!/usr/bin/env bash
# Velkin's refresh benchmark: what a refresh tick costs and what the bar holds, under Wine on a
# virtual display, against the floor (bench/floor.cpp: the same queries at the same rate, with no
# window and no text) and against conky showing the same readouts. Prints a table; the figures
# and what they mean are in docs/performance.md.
#
# Usage: bench/run.sh [options] [config...]
#   config      names from the list below (default: the main set, marked *)
#   --seconds S the measured window of each configuration (default 60)
#   --warmup S  from the bar's first showing (or the floor's start) to the window (default 5:
#               about 100 ticks at 50 ms)
#   --soak N    the long configuration: "All" at 50 ms until N ticks (e.g. 20000, about 17
#               minutes), sampling its memory and objects every 2 minutes; alone, unless
#               configurations or --breakdown are named too
#   --breakdown also run the floor's variants and count the Wine server requests per tick of
#               the bar and the floor (WINEDEBUG=+server on a short run; not timed)
#   --startup   also (alone, unless configurations, --breakdown or --soak are named too) the
#               start-up, memory and window-command configurations of bench/startup.sh
#
# Configurations (a 50 ms or 1 s period, "All" fixed drives or C:\ alone):
#   idle*                 the floor with no timer: the upkeep of Wine's own processes
#   velkin-{all,c}-{50ms,1s}*   the bar, readouts in Bytes with 2 decimals
#   velkin32-all-50ms*    the release build (build/win32/velkin.exe) as it ships, under 32-bit Wine,
#                         on "All" at 50 ms; in the main set where this machine runs 32-bit programs
#   velkin-quiet-50ms*    the bar on C:\ in GBytes with 0 decimals and memory in MBytes: figures
#                         that hardly change, so nearly every tick should set no text
#   floor-{all,c}-{50ms,1s}*    the floor
#   conky-{50ms,1s}*      conky 1.18 (Debian's conky-std) in its own X11 window: free and total
#                         space of drive_c's and /'s file systems (C:\ and Z:\) and free memory
#   floor-all-50ms-{list-each,all-letters,drivetype-once,kinds-1s,kinds-kept,nodrivetype},
#   floor-{all,c}-50ms-exchange4, floor-c-50ms-{dlgitem4,gettext4}    (--breakdown) the floor
#                         with one part taken away, changed or added: see bench/floor.cpp
#   sets-check            (--breakdown) the quiet bar and the floor with the same readouts in the
#                         same units side by side for the window: the texts the bar set per tick
#                         against how often those texts changed (not timed)
#   trace-{velkin,floor}-{all,c}-50ms   (--breakdown) the Wine server requests of one tick
#   startup, memory, windows, windows32   (--startup) see bench/startup.sh
#
# Needs: x86_64-w64-mingw32-g++-posix, wine (64-bit, and 32-bit for velkin32-*), Xvfb, python3;
# installs conky-std and strace from Debian when they are missing. Builds build/win64/velkin.exe
# (and build/win32/velkin.exe for velkin32-*) when it is missing.
# Everything it makes is under build/bench/ (VELKIN_BENCH_OUT=DIR: under DIR, so that two runs
# can go side by side); its Wine prefix is build/bench/wineprefix.
set -uo pipefail

# The whole script is one function, read in full before it runs: editing the file while a long
# run goes on cannot upset that run.
main() {

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out="${VELKIN_BENCH_OUT:-$root/build/bench}"
mkdir -p "$out"

window=60
warmup=5
soak=0
breakdown=0
startup=0
configs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) window=$2; shift 2 ;;
    --warmup) warmup=$2; shift 2 ;;
    --soak) soak=$2; shift 2 ;;
    --breakdown) breakdown=1; shift ;;
    --startup) startup=1; shift ;;
    -h|--help) sed -n '2,/^set -uo/p' "$0" | sed '$d'; exit 0 ;;
    -*) echo "run.sh: unknown option $1" >&2; exit 2 ;;
    *) configs+=("$1"); shift ;;
  esac
done
main_set=(velkin-all-50ms floor-all-50ms velkin-c-50ms floor-c-50ms velkin-quiet-50ms
          velkin-all-1s floor-all-1s velkin-c-1s floor-c-1s conky-50ms conky-1s)
can_run_32=0
if bash "$root/scripts/can-run-32bit.sh" &&
   dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  can_run_32=1
  main_set=(velkin-all-50ms velkin32-all-50ms "${main_set[@]:1}")
fi
breakdown_set=(floor-all-50ms-list-each floor-all-50ms-all-letters floor-all-50ms-drivetype-once
               floor-all-50ms-kinds-1s floor-all-50ms-kinds-kept floor-all-50ms-nodrivetype
               floor-all-50ms-exchange4 floor-c-50ms-exchange4 floor-c-50ms-dlgitem4 floor-c-50ms-gettext4
               sets-check
               trace-velkin-all-50ms trace-floor-all-50ms trace-velkin-c-50ms trace-floor-c-50ms)
. "$root/bench/startup.sh"
startup_alone=0
[ "$startup" = 1 ] && [ ${#configs[@]} -eq 0 ] && [ "$soak" = 0 ] && [ "$breakdown" = 0 ] && startup_alone=1
if [ ${#configs[@]} -eq 0 ] && [ "$soak" -gt 0 ] && [ "$breakdown" = 0 ]; then
  configs=(soak)
elif [ ${#configs[@]} -eq 0 ]; then
  configs=("${main_set[@]}")
  [ "$breakdown" = 1 ] && configs+=("${breakdown_set[@]}")
  [ "$soak" -gt 0 ] && configs+=(soak)
else
  [ "$soak" -gt 0 ] && configs+=(soak)
fi
[ "$startup_alone" = 1 ] && configs=()
[ "$startup" = 1 ] && mapfile -t -O "${#configs[@]}" configs < <(startup_configs)

log() { echo "run.sh: $*" >&2; }

# ---------------------------------------------------------------------------------------------
# Tools and programs

need_package() {  # command package
  command -v "$1" >/dev/null 2>&1 && return 0
  log "installing $2"
  if [ "$(id -u)" = 0 ]; then
    apt-get update -qq >/dev/null 2>&1
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$2" >/dev/null 2>&1
  else
    sudo apt-get update -qq >/dev/null 2>&1
    sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$2" >/dev/null 2>&1
  fi
  command -v "$1" >/dev/null 2>&1 || { log "could not install $2"; return 1; }
}

for c in "${configs[@]}"; do
  case "$c" in conky-*) need_package conky conky-std || exit 1; need_package strace strace || exit 1 ;; esac
done

if [ ! -f build/win64/velkin.exe ]; then
  log "building build/win64/velkin.exe"
  scripts/build.sh win64 >/dev/null || { log "the win64 build failed"; exit 1; }
fi
# One copy for the whole run: the tree's build may be rebuilt meanwhile.
cp build/win64/velkin.exe "$out/velkin.exe"
for c in "${configs[@]}"; do
  case "$c" in velkin32-*)
    if [ "$can_run_32" = 0 ]; then log "$c: this machine cannot run 32-bit programs"; exit 1; fi
    if [ ! -f build/win32/velkin.exe ]; then
      log "building build/win32/velkin.exe"
      scripts/build.sh win32 >/dev/null || { log "the win32 build failed"; exit 1; }
    fi
    cp build/win32/velkin.exe "$out/velkin32.exe" ;;
  esac
done
velkin_sum=$(sha256sum "$out/velkin.exe" | cut -c1-12)
velkin_head=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo "?")
velkin_dirty=$(git -C "$root" --no-optional-locks status --porcelain -- src res CMakeLists.txt 2>/dev/null | wc -l)
cxx=x86_64-w64-mingw32-g++-posix
flags=(-std=c++17 -O2 -Wall -Wextra -static -mconsole)
$cxx "${flags[@]}" bench/probe.cpp -o "$out/probe.exe" -luser32 -lgdi32 || exit 1
$cxx "${flags[@]}" bench/floor.cpp -o "$out/floor.exe" -luser32 || exit 1
if startup_wanted; then startup_build || { log "the start-up programs failed to build"; exit 1; }; fi

export VELKIN_HEADLESS=1
export WINEPREFIX_VELKIN="$out/wineprefix"
. "$root/scripts/wine-env.sh"
velkin_start_display || exit 1
trap 'wineserver -k >/dev/null 2>&1; velkin_stop_display' EXIT
velkin_prepare_prefix
log "display $DISPLAY (Xvfb pid $velkin_xvfb_pid), prefix $WINEPREFIX"

results="$out/results.jsonl"
: >"$results"
: >"$out/requests.txt"
probe="$out/probe.exe"

stat() { python3 bench/procstat.py "$@"; }
snapshot() { stat snap "$WINEPREFIX" "xvfb=$velkin_xvfb_pid" "$@"; }
now() { date +%s.%N; }

# Ends every Wine process of our prefix and waits until its server is gone.
fresh_server() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
}

# Waits up to 30 s for the prefix's process NAME and prints its pid.
linux_pid() {  # name
  local i pid
  for i in $(seq 1 300); do
    pid=$(stat pid "$WINEPREFIX" "$1")
    [ -n "$pid" ] && { echo "$pid"; return 0; }
    sleep 0.1
  done
  return 1
}

# "key value key value ..." from a probe line, as key0=value arguments for procstat row.
probe_fields() {  # file suffix
  awk -v s="$2" '{
    for (i = 1; i + 1 <= NF; i += 2) {
      k = $i
      if (k == "ticks") print "ticks" s "=" $(i+1)
      else if (k == "textsets") print "sets" s "=" $(i+1)
      else if (k == "gdi_table") print "gdi" s "=" $(i+1)
      else if (k == "windows") print "win" s "=" $(i+1)
      else if (k == "handles") print "hdl" s "=" $(i+1)
      else if (k == "gdi_api") print "gdiapi" s "=" $(i+1)
      else if (k == "user_api") print "userapi" s "=" $(i+1)
    }
  }' "$1"
}

probe_value() { awk -v k="$2" '{ for (i = 1; i < NF; i++) if ($i == k) print $(i+1) }' "$1"; }

# ---------------------------------------------------------------------------------------------
# The bar

# settings file lines: drive, free unit, its name, total unit, its name, decimals, interval,
# 0, 0, 1, memory unit
velkin_settings() {  # drive-index interval-index [quiet]
  if [ "${3:-}" = quiet ]; then
    printf '%s\r\n3\r\nGBytes\r\n3\r\nGBytes\r\n0\r\n%s\r\n0\r\n0\r\n1\r\n2\r\n' "$1" "$2"
  else
    printf '%s\r\n0\r\nBytes\r\n0\r\nBytes\r\n2\r\n%s\r\n0\r\n0\r\n1\r\n0\r\n' "$1" "$2"
  fi
}

run_velkin() {  # name drive-index drive-text interval-index period-ms [quiet|soak-ticks]
  local name=$1 drive=$2 drive_text=$3 interval=$4 period=$5 mode=${6:-}
  local dir="$out/run/$name"
  rm -rf "$dir"
  mkdir -p "$dir"
  # velkin32-*: the 32-bit release build, under the same name in its folder.
  local image="$out/velkin.exe"
  [[ $name == velkin32-* ]] && image="$out/velkin32.exe"
  cp "$image" "$dir/velkin.exe"
  velkin_settings "$drive" "$interval" "$mode" >"$dir/vlkini.dat"
  fresh_server
  log "$name: starting the bar"
  # Output into a file: a pipe would stay open as long as the bar that the probe starts.
  timeout 60 wine "$probe" launch "$(winepath -w "$dir/velkin.exe")" >"$dir/launch.txt" 2>&1
  local winpid
  winpid=$(probe_value "$dir/launch.txt" pid)
  if [ -z "$winpid" ]; then
    log "$name: no bar: $(cat "$dir/launch.txt")"
    return 1
  fi
  linux_pid velkin.exe >/dev/null || { log "$name: no velkin.exe process"; return 1; }
  sleep "$warmup"
  wine "$probe" sample "$winpid" >"$dir/sample0.txt" 2>&1
  local t0 t1
  t0=$(now)
  local got_drive got_interval
  got_drive=$(probe_value "$dir/sample0.txt" drive)
  got_interval=$(probe_value "$dir/sample0.txt" interval)
  if [ "$got_drive" != "$drive_text" ] || [ "$got_interval" != "$interval" ]; then
    log "$name: the bar watches '$got_drive' at interval $got_interval, not '$drive_text' at $interval"
  fi
  sleep 1  # the probe's process and its server work are over before the window opens
  snapshot >"$dir/snap0.json"
  if [[ "$mode" =~ ^[0-9]+$ ]]; then
    # The long run: until the bar has counted that many ticks, with a sample every 2 minutes.
    cp "$dir/sample0.txt" "$dir/trend.txt"
    while :; do
      sleep 120
      wine "$probe" sample "$winpid" >"$dir/sample.txt" 2>&1
      local vm
      vm=$(awk '/^VmRSS:/ {print $2}' "/proc/$(stat pid "$WINEPREFIX" velkin.exe)/status" 2>/dev/null)
      echo "$(cat "$dir/sample.txt") rss_kb ${vm:-?}" >>"$dir/trend.txt"
      [ "$(probe_value "$dir/sample.txt" ticks)" -ge "$mode" ] 2>/dev/null && break
      [ -n "$(probe_value "$dir/sample.txt" ticks)" ] || break
    done
  else
    sleep "$window"
  fi
  snapshot >"$dir/snap1.json"
  t1=$(now)
  wine "$probe" sample "$winpid" >"$dir/sample1.txt" 2>&1
  wine "$probe" exit "$winpid" >"$dir/exit.txt" 2>&1
  local span
  span=$(python3 -c "print($t1 - $t0)")
  # shellcheck disable=SC2046
  stat row "$name" velkin velkin.exe "$dir/snap0.json" "$dir/snap1.json" \
    $(probe_fields "$dir/sample0.txt" 0) $(probe_fields "$dir/sample1.txt" 1) "span=$span" \
    "period=$period" $([[ $name == velkin-* || $name == velkin32-* ]] && echo "floor_name=floor-${name#*-}") \
    "conky_name=conky-${name##*-}" >>"$results"
}

# ---------------------------------------------------------------------------------------------
# The floor

run_floor() {  # name kind drive period-ms [floor options...]
  local name=$1 kind=$2 drive=$3 period=$4
  shift 4
  local dir="$out/run/$name"
  rm -rf "$dir"
  mkdir -p "$dir"
  fresh_server
  log "$name: starting the floor"
  local total=$((warmup + window + 10))
  wine "$out/floor.exe" --drive "$drive" --period "$period" --seconds "$total" "$@" >"$dir/floor.txt" 2>&1 &
  local job=$!
  linux_pid floor.exe >/dev/null || { log "$name: no floor.exe process"; wait "$job"; return 1; }
  sleep "$warmup"
  snapshot >"$dir/snap0.json"
  sleep "$window"
  snapshot >"$dir/snap1.json"
  wait "$job"
  stat row "$name" "$kind" floor.exe "$dir/snap0.json" "$dir/snap1.json" \
    "floor_ticks=$(probe_value "$dir/floor.txt" ticks)" "floor_seconds=$(probe_value "$dir/floor.txt" seconds)" \
    "period=$period" >>"$results"
  [ -n "$(probe_value "$dir/floor.txt" ticks)" ] || log "$name: the floor said: $(cat "$dir/floor.txt")"
}

# ---------------------------------------------------------------------------------------------
# conky

run_conky() {  # name interval-seconds
  local name=$1 interval=$2
  local dir="$out/run/$name"
  rm -rf "$dir"
  mkdir -p "$dir"
  fresh_server  # no Wine process runs meanwhile
  local drive_c
  drive_c=$(cd "$WINEPREFIX/drive_c" && pwd -P)
  cat >"$dir/conky.conf" <<EOF
conky.config = {
  out_to_x = true,
  out_to_console = false,
  own_window = true,
  own_window_type = 'normal',
  alignment = 'top_left',
  background = false,
  double_buffer = false,
  update_interval = $interval,
  total_run_times = 0,
}
conky.text = [[
C: free \${fs_free $drive_c} total \${fs_size $drive_c}
Z: free \${fs_free /} total \${fs_size /}
memory free \${memeasyfree}
]]
EOF
  log "$name: starting conky"
  conky -c "$dir/conky.conf" >"$dir/conky.log" 2>&1 &
  local pid=$!
  sleep "$warmup"
  snapshot "conky=$pid" >"$dir/snap0.json"
  sleep "$window"
  snapshot "conky=$pid" >"$dir/snap1.json"
  # Outside the window: which system calls conky makes in 30 s, to see how often it asks the
  # file systems (statfs) and the memory figures (/proc/meminfo) for their numbers.
  timeout 30 strace -c -f -p "$pid" -o "$dir/strace.txt" >/dev/null 2>&1
  local statfs meminfo
  statfs=$(awk '$NF == "statfs" {print $4}' "$dir/strace.txt")
  timeout 5 strace -f -e trace=openat -p "$pid" -o "$dir/openat.txt" >/dev/null 2>&1
  meminfo=$(grep -c '/proc/meminfo' "$dir/openat.txt")
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  local alive=1
  grep -q . "$dir/snap1.json" && python3 -c "import json,sys; d=json.load(open(sys.argv[1])); sys.exit(0 if sys.argv[2] in d['procs'] else 1)" "$dir/snap1.json" "$pid" || alive=0
  [ "$alive" = 1 ] || log "$name: conky was not running at the end: $(tail -3 "$dir/conky.log")"
  stat row "$name" conky conky "$dir/snap0.json" "$dir/snap1.json" "period=$(python3 -c "print(int($interval*1000))")" \
    "statfs_per_s=$(python3 -c "print(${statfs:-0}/30)")" "meminfo_opens_per_s=$(python3 -c "print(${meminfo:-0}/5)")" >>"$results"
}

# ---------------------------------------------------------------------------------------------
# Wine server requests per tick (--breakdown): the server's trace (WINEDEBUG=+server) of a short
# and of a longer run of the same program; what the longer one made more, per tick more, is what
# a tick asks of the server. Tracing slows everything down: only the counts are used.

trace_run() {  # dir kind drive-index|drive seconds -> prints the ticks counted
  local dir=$1 kind=$2 drive=$3 secs=$4
  mkdir -p "$dir"
  if [ "$kind" = velkin ]; then
    cp "$out/velkin.exe" "$dir/"
    velkin_settings "$drive" 0 >"$dir/vlkini.dat"
    local exe_w
    exe_w=$(winepath -w "$dir/velkin.exe")
    # The first Wine process starts the server, which inherits its WINEDEBUG and its stderr.
    fresh_server
    WINEDEBUG=+server timeout 60 wine "$probe" launch "$exe_w" >"$dir/launch.txt" 2>"$dir/trace.txt"
    local winpid
    winpid=$(probe_value "$dir/launch.txt" pid)
    sleep "$secs"
    wine "$probe" sample "$winpid" >"$dir/sample.txt" 2>/dev/null
    wine "$probe" exit "$winpid" >/dev/null 2>&1
    fresh_server
    python3 bench/requests.py count "$dir/trace.txt" probe.exe >"$dir/counts.json"
    probe_value "$dir/sample.txt" ticks
  else
    fresh_server
    WINEDEBUG=+server wine "$out/floor.exe" --drive "$drive" --period 50 --seconds "$secs" >"$dir/floor.txt" 2>"$dir/trace.txt"
    fresh_server
    python3 bench/requests.py count "$dir/trace.txt" floor.exe >"$dir/counts.json"
    probe_value "$dir/floor.txt" ticks
  fi
  rm -f "$dir/trace.txt"
}

server_requests() {  # name kind drive
  local name=$1 kind=$2 drive=$3
  local dir="$out/run/trace-$name"
  rm -rf "$dir"
  log "$name: tracing the server's requests"
  local short long
  short=$(trace_run "$dir/short" "$kind" "$drive" 4)
  long=$(trace_run "$dir/long" "$kind" "$drive" 14)
  {
    echo "$name: server requests per tick ($short and $long ticks traced)"
    python3 bench/requests.py per-tick "$dir/short/counts.json" "$short" "$dir/long/counts.json" "$long" \
      velkin.exe floor.exe winedevice.exe explorer.exe services.exe plugplay.exe svchost.exe rpcss.exe
  } >>"$out/requests.txt"
}

# ---------------------------------------------------------------------------------------------
# Does a tick whose figures did not change set no text? The quiet bar (C:\ in whole GBytes,
# memory in whole MBytes) and the floor making the same texts in the same units run side by
# side; the floor counts how often a text changed, the bar how often it set one.

sets_check() {
  local dir="$out/run/sets-check"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$out/velkin.exe" "$dir/"
  velkin_settings 0 0 quiet >"$dir/vlkini.dat"
  fresh_server
  log "sets-check: the quiet bar and the floor side by side"
  timeout 60 wine "$probe" launch "$(winepath -w "$dir/velkin.exe")" >"$dir/launch.txt" 2>&1
  local winpid
  winpid=$(probe_value "$dir/launch.txt" pid)
  [ -n "$winpid" ] || { log "sets-check: no bar"; return 1; }
  wine "$out/floor.exe" --drive 'C:\' --period 50 --exchange 4 --units quiet --seconds "$window" \
    >"$dir/floor.txt" 2>&1 &
  local job=$!
  wine "$probe" sample "$winpid" >"$dir/sample0.txt" 2>&1
  wait "$job"
  wine "$probe" sample "$winpid" >"$dir/sample1.txt" 2>&1
  wine "$probe" exit "$winpid" >/dev/null 2>&1
  local bar_ticks bar_sets floor_ticks floor_sets
  bar_ticks=$(( $(probe_value "$dir/sample1.txt" ticks) - $(probe_value "$dir/sample0.txt" ticks) ))
  bar_sets=$(( $(probe_value "$dir/sample1.txt" textsets) - $(probe_value "$dir/sample0.txt" textsets) ))
  floor_ticks=$(probe_value "$dir/floor.txt" ticks)
  floor_sets=$(probe_value "$dir/floor.txt" sets)
  python3 -c "
bt, bs, ft, fs = $bar_ticks, $bar_sets, ${floor_ticks:-0}, ${floor_sets:-0}
print(f'sets-check ({bt} ticks of the bar, {ft} of the floor at the same time): the bar set '
      f'{bs} texts ({bs / max(bt, 1):.3f} per tick); the same texts changed {fs} times '
      f'({fs / max(ft, 1):.3f} per tick)')" >>"$out/requests.txt"
}

# ---------------------------------------------------------------------------------------------

run_config() {
  case "$1" in
    idle) run_floor idle idle all 50 --idle ;;
    velkin-all-50ms) run_velkin "$1" 2 All 0 50 ;;
    velkin32-all-50ms) run_velkin "$1" 2 All 0 50 ;;
    velkin-c-50ms) run_velkin "$1" 0 'C:\' 0 50 ;;
    velkin-all-1s) run_velkin "$1" 2 All 4 1000 ;;
    velkin-c-1s) run_velkin "$1" 0 'C:\' 4 1000 ;;
    velkin-quiet-50ms) run_velkin "$1" 0 'C:\' 0 50 quiet ;;
    soak) run_velkin "soak-all-50ms-$soak" 2 All 0 50 "$soak" ;;
    floor-all-50ms) run_floor "$1" floor all 50 ;;
    floor-c-50ms) run_floor "$1" floor 'C:\' 50 ;;
    floor-all-1s) run_floor "$1" floor all 1000 ;;
    floor-c-1s) run_floor "$1" floor 'C:\' 1000 ;;
    floor-all-50ms-nodrivetype) run_floor "$1" variant all 50 --no-drivetype ;;
    floor-all-50ms-drivetype-once) run_floor "$1" variant all 50 --drivetype-once ;;
    floor-all-50ms-all-letters) run_floor "$1" variant all 50 --all-letters ;;
    floor-all-50ms-kinds-1s) run_floor "$1" variant all 50 --kinds-for 1000 ;;
    floor-all-50ms-kinds-kept) run_floor "$1" variant all 50 --kinds-for 4000000000 ;;
    floor-all-50ms-list-each) run_floor "$1" variant all 50 --list-for 0 ;;
    floor-all-50ms-exchange4) run_floor "$1" variant all 50 --exchange 4 ;;
    floor-c-50ms-exchange4) run_floor "$1" variant 'C:\' 50 --exchange 4 ;;
    floor-c-50ms-dlgitem4) run_floor "$1" variant 'C:\' 50 --dlgitem-only 4 ;;
    floor-c-50ms-gettext4) run_floor "$1" variant 'C:\' 50 --gettext-only 4 ;;
    sets-check) sets_check ;;
    trace-velkin-all-50ms) server_requests "${1#trace-}" velkin 2 ;;
    trace-floor-all-50ms) server_requests "${1#trace-}" floor all ;;
    trace-velkin-c-50ms) server_requests "${1#trace-}" velkin 0 ;;
    trace-floor-c-50ms) server_requests "${1#trace-}" floor 'C:\' ;;
    conky-50ms) run_conky "$1" 0.05 ;;
    conky-1s) run_conky "$1" 1 ;;
    startup) startup_times ;;
    memory) startup_memory ;;
    windows) startup_windows velkin64 "$out/velkin.exe" ;;
    windows32) startup_windows velkin32 "$out/velkin32.exe" ;;
    *) log "unknown configuration $1"; return 1 ;;
  esac
}

started=$(date +%s)
run_config idle
for c in "${configs[@]}"; do
  run_config "$c" || log "$c: failed"
done
fresh_server

echo
echo "Velkin refresh benchmark: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(wine --version)"
echo "velkin.exe: build/win64 (sha256 $velkin_sum...) with the tree at commit $velkin_head," \
  "$velkin_dirty files changed in src/, res/, CMakeLists.txt"
echo "window ${window} s per configuration after ${warmup} s of warm-up; whole run $(( $(date +%s) - started )) s"
echo
stat table "$results"
python3 - "$results" <<'EOF'
import json, sys
for line in open(sys.argv[1]):
    r = json.loads(line)
    if "statfs_per_s" in r:
        print(f"  {r['name']}: statfs {r['statfs_per_s']:.2f}/s (over 30 s), /proc/meminfo opened "
              f"{r['meminfo_opens_per_s']:.1f}/s (over 5 s)")
EOF
if [ -s "$out/requests.txt" ]; then
  echo
  cat "$out/requests.txt"
fi
if [ -f "$out/run/soak-all-50ms-$soak/trend.txt" ] && [ "$soak" -gt 0 ]; then
  echo
  echo "long run, every 2 minutes:"
  cat "$out/run/soak-all-50ms-$soak/trend.txt"
fi
startup_report
return 0
}

main "$@"
exit $?
