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
#   --growth    the bar and the floor at the limit on "All" at 50 ms with 1, 2, 4 and 8 fixed
#               drives: CPU per tick for each and per drive more; alone unless others are named
#   --calls     the Windows calls that the bar and the floors make themselves in one quiet tick,
#               by function (WINEDEBUG=+relay; not timed); alone unless others are named
#   --startup   the start-up, memory and window-command configurations of bench/startup.sh;
#               alone unless others are named
#
# The prefix has four fixed drives for the whole run: C:\, D:\ and E:\ (folders under
# build/bench/drives/) and Z:\ (/). The --growth configurations change them for their run and
# put them back. "All" is the bar's last drive entry: its index is the number of fixed drives.
#
# Configurations (a 50 ms or 1 s period, "All" fixed drives or C:\ alone):
#   idle*                 the floor with no timer: the upkeep of Wine's own processes
#   velkin-{all,c}-{50ms,1s}*   the bar, readouts in Bytes with 2 decimals
#   velkin32-all-50ms*    the release build (build/win32/velkin.exe) as it ships, under 32-bit Wine,
#                         on "All" at 50 ms; in the main set where this machine runs 32-bit programs
#   velkin-quiet-50ms*    the bar on C:\ in GBytes with 0 decimals and memory in MBytes: figures
#                         that hardly change, so nearly every tick should set no text
#   floor-{all,c}-{50ms,1s}*    the floor
#   floor1-{all,c}-{50ms,1s}*   the floor at the limit (--one-query): each drive asked once per
#                         tick for both its free space and its capacity
#   floor32-all-50ms*, floor1-32-all-50ms*   the two floors built for 32 bits, under 32-bit Wine,
#                         beside the release image; in the main set where velkin32-all-50ms is
#   conky-{50ms,1s}*      conky 1.18 (Debian's conky-std) in its own X11 window: free and total
#                         space of the fixed drives' folders (C:\ D:\ E:\ Z:\) and free memory
#   floor-all-50ms-{list-each,all-letters,drivetype-once,kinds-1s,kinds-kept,nodrivetype},
#   floor-{all,c}-50ms-exchange4, floor-c-50ms-{dlgitem4,gettext4}    (--breakdown) the floor
#                         with one part taken away, changed or added: see bench/floor.cpp
#   sets-check            (--breakdown) the quiet bar and the floor with the same readouts in the
#                         same units side by side for the window: the texts the bar set per tick
#                         against how often those texts changed (not timed)
#   trace-{velkin,floor}-{all,c}-50ms   (--breakdown) the Wine server requests of one tick
#   {velkin,floor1}-all-50ms-drives{1,2,4,8}   (--growth) the bar and the floor at the limit on
#                         "All" with that many fixed drives (1: C:\ alone, Z:\ made a network drive;
#                         2: C:\ and Z:\; 4: D:\ and E:\ too; 8: D:\ .. I:\ too)
#   calls-{velkin,velkin32,floor,floor1,floor32,floor1-32}-{c,all}   (--calls) the calls per quiet
#                         tick at 50 ms, on C:\ or "All" (the bar in the quiet units; velkin32 and
#                         floor*32 the 32-bit images under 32-bit Wine): a relay trace of a short
#                         and of a longer run, keeping the calls of the program's process whose
#                         return address lies in its own image (bench/calls.py)
#   startup, memory, windows, windows32   (--startup) see bench/startup.sh
#
# Needs: x86_64-w64-mingw32-g++-posix (and i686-w64-mingw32-g++-posix or -win32 for the 32-bit
# floors),
# wine (64-bit, and 32-bit for velkin32-* and floor*32), Xvfb, python3;
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
growth=0
calls=0
startup=0
configs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) window=$2; shift 2 ;;
    --warmup) warmup=$2; shift 2 ;;
    --soak) soak=$2; shift 2 ;;
    --breakdown) breakdown=1; shift ;;
    --growth) growth=1; shift ;;
    --calls) calls=1; shift ;;
    --startup) startup=1; shift ;;
    -h|--help) sed -n '2,/^set -uo/p' "$0" | sed '$d'; exit 0 ;;
    -*) echo "run.sh: unknown option $1" >&2; exit 2 ;;
    *) configs+=("$1"); shift ;;
  esac
done
main_set=(velkin-all-50ms floor-all-50ms floor1-all-50ms velkin-c-50ms floor-c-50ms floor1-c-50ms
          velkin-quiet-50ms velkin-all-1s floor-all-1s floor1-all-1s velkin-c-1s floor-c-1s floor1-c-1s
          conky-50ms conky-1s)
can_run_32=0
if bash "$root/scripts/can-run-32bit.sh" &&
   dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  can_run_32=1
  main_set=(velkin-all-50ms velkin32-all-50ms "${main_set[@]:1:2}" floor32-all-50ms floor1-32-all-50ms
            "${main_set[@]:3}")
fi
breakdown_set=(floor-all-50ms-list-each floor-all-50ms-all-letters floor-all-50ms-drivetype-once
               floor-all-50ms-kinds-1s floor-all-50ms-kinds-kept floor-all-50ms-nodrivetype
               floor-all-50ms-exchange4 floor-c-50ms-exchange4 floor-c-50ms-dlgitem4 floor-c-50ms-gettext4
               sets-check
               trace-velkin-all-50ms trace-floor-all-50ms trace-velkin-c-50ms trace-floor-c-50ms)
. "$root/bench/startup.sh"
growth_set=()
for n in 1 2 4 8; do growth_set+=("velkin-all-50ms-drives$n" "floor1-all-50ms-drives$n"); done
calls_set=(calls-velkin-c calls-floor-c calls-floor1-c calls-velkin-all calls-floor-all calls-floor1-all)
[ "$can_run_32" = 1 ] &&
  calls_set+=(calls-velkin32-c calls-floor32-c calls-floor1-32-c calls-velkin32-all calls-floor32-all calls-floor1-32-all)
if [ ${#configs[@]} -eq 0 ]; then
  # The main set unless only the long run, the growth, the calls or the start-up were asked for.
  if [ "$breakdown" = 1 ] || { [ "$soak" = 0 ] && [ "$growth" = 0 ] && [ "$calls" = 0 ] && [ "$startup" = 0 ]; }; then
    configs=("${main_set[@]}")
  fi
  [ "$breakdown" = 1 ] && configs+=("${breakdown_set[@]}")
fi
[ "$growth" = 1 ] && configs+=("${growth_set[@]}")
[ "$calls" = 1 ] && configs+=("${calls_set[@]}")
[ "$soak" -gt 0 ] && configs+=(soak)
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
  case "$c" in velkin32-*|calls-velkin32-*)
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
for c in "${configs[@]}"; do
  case "$c" in calls-floor32-*|calls-floor1-32-*|floor32-*|floor1-32-*)
    if [ "$can_run_32" = 0 ]; then log "$c: this machine cannot run 32-bit programs"; exit 1; fi
    # The floor needs no threads: the win32 thread model (the release build's) does when the
    # posix one is not installed.
    cxx32=i686-w64-mingw32-g++-posix
    command -v "$cxx32" >/dev/null 2>&1 || cxx32=i686-w64-mingw32-g++-win32
    "$cxx32" "${flags[@]}" bench/floor.cpp -o "$out/floor32.exe" -luser32 || exit 1
    break ;;
  esac
done
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

probe_value() { awk -v k="$2" '{ sub(/\r$/, ""); for (i = 1; i < NF; i++) if ($i == k) print $(i+1) }' "$1"; }

# ---------------------------------------------------------------------------------------------
# The prefix's fixed drives: C:\ (drive_c) and Z:\ (/) as Wine makes them, and more as links in
# dosdevices to folders under $out/drives/. Wine takes a drive whose registry type
# (HKLM\Software\Wine\Drives) is unset for a fixed disk; for one drive alone, Z:\ is typed
# "network" (GetDriveTypeA: DRIVE_REMOTE), which leaves its paths usable. The drive manager reads
# both at its start: the server is ended before and after. The floor then says which kind each
# letter is; fixed_now is the number of fixed drives, the index of the bar's "All".

drives_dir="$out/drives"
fixed_now=0
set_drives() {  # count: 1, 2 or 2 + up to 22 more
  local want=$1 letter link i
  local extra=(d e f g h i j k l m n o p q r s t u v w x y)
  fresh_server
  for letter in "${extra[@]}"; do  # only the links made here
    link="$WINEPREFIX/dosdevices/$letter:"
    if [ -L "$link" ] && [[ $(readlink "$link") == "$drives_dir"/* ]]; then rm -f "$link"; fi
  done
  for ((i = 0; i < want - 2; i++)); do
    link="$WINEPREFIX/dosdevices/${extra[i]}:"
    if [ -e "$link" ] || [ -L "$link" ]; then log "drives: $link is there already"; return 1; fi
    mkdir -p "$drives_dir/${extra[i]}"
    ln -s "$drives_dir/${extra[i]}" "$link"
  done
  if [ "$want" = 1 ]; then
    wine reg add 'HKLM\Software\Wine\Drives' /v z: /d network /f /reg:64 >/dev/null 2>&1
  else
    wine reg delete 'HKLM\Software\Wine\Drives' /v z: /f /reg:64 >/dev/null 2>&1
  fi
  fresh_server
  local kinds
  kinds=$(wine "$out/floor.exe" --kinds 2>&1)
  fixed_now=$(echo "$kinds" | probe_value /dev/stdin fixed)
  log "drives: $kinds"
  fresh_server
  [ "$fixed_now" = "$want" ] || { log "drives: wanted $want fixed drives, Wine reports ${fixed_now:-none}"; return 1; }
}

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
    "period=$period" $([[ $name == velkin-* || $name == velkin32-* ]] && echo "floor_name=floor-${name#*-} floor1_name=floor1-${name#*-}") \
    $([[ $name == velkin32-* ]] && echo "floor32_name=floor32-${name#*-} floor1_32_name=floor1-32-${name#*-}") \
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
  # floor32-*, floor1-32-*: the floor built for 32 bits, under 32-bit Wine, beside the release image.
  local exe=floor.exe
  [[ $name == floor32-* || $name == floor1-32-* ]] && exe=floor32.exe
  wine "$out/$exe" --drive "$drive" --period "$period" --seconds "$total" "$@" >"$dir/floor.txt" 2>&1 &
  local job=$!
  linux_pid "$exe" >/dev/null || { log "$name: no $exe process"; wait "$job"; return 1; }
  sleep "$warmup"
  snapshot >"$dir/snap0.json"
  sleep "$window"
  snapshot >"$dir/snap1.json"
  wait "$job"
  stat row "$name" "$kind" "$exe" "$dir/snap0.json" "$dir/snap1.json" \
    "floor_ticks=$(probe_value "$dir/floor.txt" ticks)" "floor_seconds=$(probe_value "$dir/floor.txt" seconds)" \
    "period=$period" >>"$results"
  [ -n "$(probe_value "$dir/floor.txt" ticks)" ] || log "$name: the floor said: $(cat "$dir/floor.txt")"
}

# ---------------------------------------------------------------------------------------------
# conky

# conky's lines for the drives made in dosdevices (D:\ ...), as for C:\ and Z:\.
extra_drive_lines() {
  local link
  for link in "$WINEPREFIX"/dosdevices/[d-y]:; do
    [ -L "$link" ] && [[ $(readlink "$link") == "$drives_dir"/* ]] || continue
    printf '%s free ${fs_free %s} total ${fs_size %s}\n' "$(basename "$link" | tr a-y A-Y)" \
      "$(readlink "$link")" "$(readlink "$link")"
  done
}

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
$(extra_drive_lines)Z: free \${fs_free /} total \${fs_size /}
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
# The calls of one quiet tick (--calls): Wine's relay trace (WINEDEBUG=+pid,+relay) of a short and
# of a longer run of the same program at 50 ms; bench/calls.py keeps the calls of the program's
# process whose return address lies in its own image (those it makes itself, not those Wine's
# libraries make for it), and what the longer run called more, per tick more, is what a tick
# calls. Only calls from the programs' own imports are relayed (RelayFromInclude), and every
# function is (RelayExclude emptied of Wine's defaults, such as the critical sections and
# TlsGetValue); the prefix's values come back afterwards.

debug_key='HKCU\Software\Wine\Debug'
debug_value() {  # name -> the value, or nothing
  wine reg query "$debug_key" /v "$1" /reg:64 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n { print $3 }'
}
set_debug_value() {  # name value|""
  if [ -n "$2" ]; then
    wine reg add "$debug_key" /v "$1" /d "$2" /f /reg:64 >/dev/null 2>&1
  else
    wine reg delete "$debug_key" /v "$1" /f /reg:64 >/dev/null 2>&1
  fi
}
relay_saved=""
relay_on() {
  [ -n "$relay_saved" ] && return 0
  relay_saved="from_exclude=$(debug_value RelayFromExclude) exclude=$(debug_value RelayExclude) from_include=$(debug_value RelayFromInclude)"
  set_debug_value RelayFromExclude ""
  set_debug_value RelayFromInclude "velkin.exe;floor.exe;floor32.exe"
  set_debug_value RelayExclude "ntdll.VelkinBenchNone"
  fresh_server
}
relay_off() {
  [ -n "$relay_saved" ] || return 0
  local v
  for v in $relay_saved; do
    case "$v" in
      from_exclude=*) set_debug_value RelayFromExclude "${v#*=}" ;;
      exclude=*) set_debug_value RelayExclude "${v#*=}" ;;
      from_include=*) set_debug_value RelayFromInclude "${v#*=}" ;;
    esac
  done
  relay_saved=""
  fresh_server
}

calls_run() {  # dir kind drive(c|all) seconds -> prints the ticks counted
  local dir=$1 kind=$2 drive=$3 secs=$4
  mkdir -p "$dir"
  local image pid ticks
  case "$kind" in
    velkin|velkin32)
      image="$dir/velkin.exe"
      if [ "$kind" = velkin32 ]; then cp "$out/velkin32.exe" "$image"; else cp "$out/velkin.exe" "$image"; fi
      local index=0 text='C:\'
      [ "$drive" = all ] && index=$fixed_now text=All
      velkin_settings "$index" 0 quiet >"$dir/vlkini.dat"
      fresh_server
      WINEDEBUG=+pid,+relay timeout 120 wine "$probe" launch "$(winepath -w "$image")" >"$dir/launch.txt" 2>"$dir/trace.txt"
      pid=$(probe_value "$dir/launch.txt" pid)
      [ -n "$pid" ] || { log "$dir: no bar: $(cat "$dir/launch.txt")"; return 1; }
      sleep "$secs"
      wine "$probe" sample "$pid" >"$dir/sample.txt" 2>/dev/null
      wine "$probe" exit "$pid" >/dev/null 2>&1
      ticks=$(probe_value "$dir/sample.txt" ticks)
      [ "$(probe_value "$dir/sample.txt" drive)" = "$text" ] ||
        log "$dir: the bar watches '$(probe_value "$dir/sample.txt" drive)', not '$text'"
      ;;
    floor*)
      image="$out/floor.exe"
      local args=(--drive "$([ "$drive" = all ] && echo all || echo 'C:\')" --period 50 --seconds "$secs")
      [[ $kind == floor1* ]] && args+=(--one-query)
      [[ $kind == *32 ]] && image="$out/floor32.exe"
      fresh_server
      WINEDEBUG=+pid,+relay wine "$image" "${args[@]}" >"$dir/floor.txt" 2>"$dir/trace.txt"
      pid=$(probe_value "$dir/floor.txt" pid)
      ticks=$(probe_value "$dir/floor.txt" ticks)
      [ "$drive" = c ] || [ "$(probe_value "$dir/floor.txt" fixed)" = "$fixed_now" ] ||
        log "$dir: the floor found $(probe_value "$dir/floor.txt" fixed) fixed drives, not $fixed_now"
      ;;
  esac
  fresh_server
  [ -n "$pid" ] && [ -n "$ticks" ] || { log "$dir: no ticks counted"; return 1; }
  python3 bench/calls.py count "$dir/trace.txt" "$pid" "$image" >"$dir/counts.json" 2>"$dir/count.log" ||
    { log "$dir: $(cat "$dir/count.log")"; return 1; }
  gzip -f "$dir/trace.txt"  # kept, to look up what a call was for by its return address
  echo "$ticks"
}

calls_count() {  # name kind drive
  local name=$1 kind=$2 drive=$3
  local dir="$out/run/$name"
  rm -rf "$dir"
  relay_on
  log "$name: tracing the calls"
  local short long
  short=$(calls_run "$dir/short" "$kind" "$drive" 4) || return 1
  long=$(calls_run "$dir/long" "$kind" "$drive" 14) || return 1
  python3 bench/calls.py per-tick "$dir/short/counts.json" "$short" "$dir/long/counts.json" "$long" \
    >"$dir/per-tick.json" || return 1
  echo "${name#calls-}=$dir/per-tick.json $short $long" >>"$out/calls.txt"
}

# ---------------------------------------------------------------------------------------------

run_config() {
  # Four fixed drives for everything but the growth, which sets its own.
  case "$1" in
    *-drives[0-9]*) ;;
    *) [ "$fixed_now" = 4 ] || set_drives 4 || return 1 ;;
  esac
  case "$1" in
    idle) run_floor idle idle all 50 --idle ;;
    velkin-all-50ms) run_velkin "$1" "$fixed_now" All 0 50 ;;
    velkin32-all-50ms) run_velkin "$1" "$fixed_now" All 0 50 ;;
    velkin-c-50ms) run_velkin "$1" 0 'C:\' 0 50 ;;
    velkin-all-1s) run_velkin "$1" "$fixed_now" All 4 1000 ;;
    velkin-c-1s) run_velkin "$1" 0 'C:\' 4 1000 ;;
    velkin-quiet-50ms) run_velkin "$1" 0 'C:\' 0 50 quiet ;;
    soak) run_velkin "soak-all-50ms-$soak" "$fixed_now" All 0 50 "$soak" ;;
    floor-all-50ms) run_floor "$1" floor all 50 ;;
    floor-c-50ms) run_floor "$1" floor 'C:\' 50 ;;
    floor-all-1s) run_floor "$1" floor all 1000 ;;
    floor-c-1s) run_floor "$1" floor 'C:\' 1000 ;;
    floor1-all-50ms) run_floor "$1" floor all 50 --one-query ;;
    floor32-all-50ms) run_floor "$1" floor all 50 ;;
    floor1-32-all-50ms) run_floor "$1" floor all 50 --one-query ;;
    floor1-c-50ms) run_floor "$1" floor 'C:\' 50 --one-query ;;
    floor1-all-1s) run_floor "$1" floor all 1000 --one-query ;;
    floor1-c-1s) run_floor "$1" floor 'C:\' 1000 --one-query ;;
    velkin-all-50ms-drives*)
      { [ "$fixed_now" = "${1##*drives}" ] || set_drives "${1##*drives}"; } && run_velkin "$1" "$fixed_now" All 0 50 ;;
    floor1-all-50ms-drives*)
      { [ "$fixed_now" = "${1##*drives}" ] || set_drives "${1##*drives}"; } && run_floor "$1" floor all 50 --one-query ;;
    calls-velkin-c|calls-velkin32-c|calls-floor-c|calls-floor1-c|calls-floor32-c|calls-floor1-32-c)
      local k=${1#calls-}; calls_count "$1" "${k%-c}" c ;;
    calls-velkin-all|calls-velkin32-all|calls-floor-all|calls-floor1-all|calls-floor32-all|calls-floor1-32-all)
      local k=${1#calls-}; calls_count "$1" "${k%-all}" all ;;
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
: >"$out/calls.txt"
set_drives 4 || exit 1
timed=0
for c in "${configs[@]}"; do
  case "$c" in calls-*|trace-*|sets-check) ;; *) timed=1 ;; esac
done
[ "$timed" = 1 ] && run_config idle
for c in "${configs[@]}"; do
  run_config "$c" || log "$c: failed"
done
relay_off
[ "$fixed_now" = 4 ] || set_drives 4 || log "the prefix's drives could not be put back"
fresh_server

echo
echo "Velkin refresh benchmark: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(wine --version)"
echo "velkin.exe: build/win64 (sha256 $velkin_sum...) with the tree at commit $velkin_head," \
  "$velkin_dirty files changed in src/, res/, CMakeLists.txt"
echo "window ${window} s per configuration after ${warmup} s of warm-up; whole run $(( $(date +%s) - started )) s"
echo "fixed drives: $fixed_now (\"All\" is the bar's drive entry $fixed_now)"
if [ -s "$results" ]; then
  echo
  stat table "$results"
fi
if grep -q -- '-drives[0-9]' "$results"; then
  echo
  stat growth "$results"
fi
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
if [ -s "$out/calls.txt" ]; then
  echo
  echo "calls per quiet tick at 50 ms that the program makes itself (relay trace; return address in"
  echo "its own image), by function; ticks traced (short, long): $(awk '{ printf "%s%s %s/%s", (NR > 1 ? ", " : ""), substr($1, 1, index($1, "=") - 1), $2, $3 }' "$out/calls.txt")"
  # shellcheck disable=SC2046
  python3 bench/calls.py table $(awk '{ print $1 }' "$out/calls.txt")
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
