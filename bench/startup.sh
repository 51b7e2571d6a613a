# Velkin's start-up, memory and window-command benchmark: sourced by bench/run.sh, which runs
# these configurations under its option --startup (or when they are named):
#   startup    start-up time of the 64-bit build and of the release image (under 32-bit Wine),
#              each against the least window program built the same way (bench/minimal.cpp):
#              from just before CreateProcess to the docked bar with its first readouts
#              (`probe startup`), $startup_runs runs after one not counted
#   memory     resident (VmRSS) and private memory (Private_Clean + Private_Dirty of
#              /proc/PID/smaps_rollup; RssAnon beside it) of the same four programs, each
#              $startup_settle s after its window first showed
#   windows    the 64-bit bar's context menu and minimize-all with 10, 100 and 1,000 other
#   windows32  top-level windows (bench/crowd.cpp), and the release image's (`probe windows`):
#              ms per command and the cost per window between the fewest and the most
# The bars watch C:\ at 1 s (a tick is then rare in a measurement). Uses run.sh's $out, $probe,
# $root, $can_run_32, log, fresh_server, linux_pid, probe_value and velkin_settings. Results go to
# $out/startup.txt, one "kind name key value ..." line each, printed by startup_report.
# VELKIN_STARTUP_RUNS=N: starts per program (default 15); VELKIN_WINDOW_COUNTS="10 100": other
# window counts (default "10 100 1000"; the slope is taken between the first and the last).

startup_runs=${VELKIN_STARTUP_RUNS:-15}
startup_settle=5
read -r -a startup_counts <<<"${VELKIN_WINDOW_COUNTS:-10 100 1000}"

# The configurations --startup adds.
startup_configs() {
  printf "%s\n" startup memory windows
  [ "$can_run_32" = 1 ] && echo windows32
  return 0
}

# Whether any of these configurations is among run.sh's.
startup_wanted() {
  local c
  for c in "${configs[@]}"; do
    case "$c" in startup|memory|windows|windows32) return 0 ;; esac
  done
  return 1
}

# The least window program in both builds' ways, the crowd, and the release image's copy.
startup_build() {
  : >"$out/startup.txt"
  local defines=(-DSTRICT -DWINVER=0x0400 -D_WIN32_IE=0x0200 -D_WIN32_WINNT=0x0400)
  local common=(-std=c++17 -DNDEBUG -fno-exceptions -fno-rtti -Wall -Wextra -Werror -ffunction-sections
                -fdata-sections "${defines[@]}")
  # As build/win64/velkin.exe: the compiler's runtime linked in.
  x86_64-w64-mingw32-g++-posix "${common[@]}" -O3 bench/minimal.cpp -o "$out/minimal.exe" \
    -mwindows -static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections || return 1
  x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -static -mconsole bench/crowd.cpp \
    -o "$out/crowd.exe" -luser32 || return 1
  [ "$can_run_32" = 1 ] || return 0
  # As the release image: for the i486, no runtime but its own entry point.
  i686-w64-mingw32-g++-win32 "${common[@]}" -march=i486 -mtune=pentium -Os -fno-asynchronous-unwind-tables \
    -fno-unwind-tables -fno-threadsafe-statics -DMINIMAL_OWN_ENTRY bench/minimal.cpp -o "$out/minimal32.exe" \
    -mwindows -nostdlib -s -Wl,--gc-sections -Wl,--subsystem,windows \
    -Wl,--major-subsystem-version,4,--minor-subsystem-version,0 -Wl,--major-os-version,4,--minor-os-version,0 \
    -luser32 -lkernel32 -lgcc || return 1
  if [ ! -f build/win32/velkin.exe ]; then
    log "building build/win32/velkin.exe"
    scripts/build.sh win32 >/dev/null || { log "the win32 build failed"; return 1; }
  fi
  cp build/win32/velkin.exe "$out/velkin32.exe"
}

# The programs compared: "name image file-name-in-its-folder".
startup_subjects() {
  echo "velkin64 $out/velkin.exe velkin.exe"
  echo "minimal64 $out/minimal.exe minimal.exe"
  if [ "$can_run_32" = 1 ]; then
    echo "velkin32 $out/velkin32.exe velkin.exe"
    echo "minimal32 $out/minimal32.exe minimal32.exe"
  fi
}

# A folder of its own for one program, with the bar's settings file (no welcome box).
startup_folder() {  # dir image file
  rm -rf "$1"
  mkdir -p "$1"
  cp "$2" "$1/$3"
  velkin_settings 0 4 >"$1/vlkini.dat"
}

startup_times() {
  local name image file dir
  while read -r name image file; do
    dir="$out/run/startup/$name"
    startup_folder "$dir" "$image" "$file"
    fresh_server
    log "startup: $name, $startup_runs starts"
    wine "$probe" startup "$(winepath -w "$dir/$file")" "$startup_runs" >"$dir/startup.txt" 2>&1 </dev/null
    if [ -z "$(probe_value "$dir/startup.txt" median_ms)" ]; then
      log "startup: $name: $(cat "$dir/startup.txt")"
      continue
    fi
    echo "startup $name $(cat "$dir/startup.txt")" >>"$out/startup.txt"
  done < <(startup_subjects)
}

startup_memory() {
  local name image file dir winpid pid
  while read -r name image file; do
    dir="$out/run/memory/$name"
    startup_folder "$dir" "$image" "$file"
    fresh_server
    log "memory: $name"
    timeout 60 wine "$probe" launch "$(winepath -w "$dir/$file")" >"$dir/launch.txt" 2>&1 </dev/null
    winpid=$(probe_value "$dir/launch.txt" pid)
    pid=$(linux_pid "$file")
    if [ -z "$winpid" ] || [ -z "$pid" ]; then
      log "memory: $name: no window or no process: $(cat "$dir/launch.txt")"
      continue
    fi
    sleep "$startup_settle"
    cp "/proc/$pid/status" "$dir/status.txt"
    cp "/proc/$pid/smaps_rollup" "$dir/smaps_rollup.txt"
    wine "$probe" exit "$winpid" >"$dir/exit.txt" 2>&1 </dev/null
    echo "memory $name $(awk '/^VmRSS:|^RssAnon:|^RssFile:/ {sub(":", "", $1); printf "%s %s ", $1, $2}' "$dir/status.txt")" \
      "$(awk '/^Private_Clean:/ {c = $2} /^Private_Dirty:/ {d = $2} END {printf "Private %d", c + d}' \
        "$dir/smaps_rollup.txt")" >>"$out/startup.txt"
  done < <(startup_subjects)
}

startup_windows() {  # name image
  local name=$1 image=$2 dir="$out/run/windows/$1" n repeats winpid
  startup_folder "$dir" "$image" velkin.exe
  fresh_server
  log "$name: the bar's window commands with ${startup_counts[*]} other windows"
  timeout 60 wine "$probe" launch "$(winepath -w "$dir/velkin.exe")" >"$dir/launch.txt" 2>&1
  winpid=$(probe_value "$dir/launch.txt" pid)
  [ -n "$winpid" ] || { log "$name: no bar: $(cat "$dir/launch.txt")"; return 1; }
  for n in "${startup_counts[@]}"; do
    # Fewer repeats where one minimize-all takes tens of seconds.
    repeats=5
    [ "$n" -ge 1000 ] && repeats=3
    wine "$probe" windows "$winpid" "$(winepath -w "$out/crowd.exe")" "$n" "$repeats" >"$dir/windows-$n.txt" 2>&1
    if [ -z "$(probe_value "$dir/windows-$n.txt" minimize_ms)" ]; then
      log "$name: $n windows: $(cat "$dir/windows-$n.txt")"
      continue
    fi
    echo "windows $name $(cat "$dir/windows-$n.txt")" >>"$out/startup.txt"
  done
  wine "$probe" exit "$winpid" >"$dir/exit.txt" 2>&1
}

startup_report() {
  startup_wanted && [ -s "$out/startup.txt" ] || return 0
  echo
  python3 - "$out/startup.txt" <<'EOF'
import sys

rows = {}
for line in open(sys.argv[1]):
    f = line.split()
    if len(f) < 3:
        continue
    kind, name, rest = f[0], f[1], f[2:]
    if kind == "windows":
        # "windows N candidates C made_ms T menu_ms M A B minimize_ms M A B direct_ms M A B ..."
        d = {}
        i = 0
        while i < len(rest):
            k = rest[i]
            if k in ("menu_ms", "minimize_ms", "direct_ms"):
                d[k] = [float(x) for x in rest[i + 1:i + 4]]
                i += 4
            elif k.endswith("_each"):
                d[k] = rest[i + 1]
                i += 2
            else:
                d[k] = float(rest[i + 1])
                i += 2
        rows.setdefault(("windows", name), []).append(d)
    else:
        rows[(kind, name)] = {rest[i]: float(rest[i + 1]) for i in range(0, len(rest) - 1, 2)}

pairs = [("velkin64", "minimal64", "64-bit build"), ("velkin32", "minimal32", "release image (32-bit)")]
if any(k == "startup" for k, _ in rows):
    print("start-up, ms from CreateProcess to the docked bar with its first readouts (median [min..max] "
          "of the runs after one not counted; that one in brackets):")
    for bar, least, label in pairs:
        b, m = rows.get(("startup", bar)), rows.get(("startup", least))
        if not b or not m:
            continue
        print(f"  {label:<24} {b['median_ms']:7.1f} [{b['min_ms']:.1f}..{b['max_ms']:.1f}] ({b['warmup_ms']:.0f})"
              f"   minimal {m['median_ms']:6.1f} [{m['min_ms']:.1f}..{m['max_ms']:.1f}] ({m['warmup_ms']:.0f})"
              f"   bar / minimal {b['median_ms'] / m['median_ms']:.2f}, + {b['median_ms'] - m['median_ms']:.1f} ms"
              f"   ({int(b['runs'])} runs)")
if any(k == "memory" for k, _ in rows):
    print("memory, KiB, a few seconds after the first showing (VmRSS; private = Private_Clean + "
          "Private_Dirty of smaps_rollup; RssAnon):")
    for bar, least, label in pairs:
        b, m = rows.get(("memory", bar)), rows.get(("memory", least))
        if not b or not m:
            continue
        print(f"  {label:<24} RSS {b['VmRSS']:6.0f} (minimal {m['VmRSS']:6.0f}, + {b['VmRSS'] - m['VmRSS']:5.0f})"
              f"   private {b['Private']:6.0f} (minimal {m['Private']:6.0f}, + {b['Private'] - m['Private']:5.0f})"
              f"   RssAnon {b['RssAnon']:6.0f} (minimal {m['RssAnon']:6.0f})")
for (kind, name), ds in rows.items():
    if kind != "windows":
        continue
    label = {"velkin64": "64-bit build", "velkin32": "release image (32-bit)"}.get(name, name)
    print(f"window commands of the {label}, ms per command (median [min..max]) with N other windows:")
    print(f"  {'N':>5} {'counted':>7} {'context menu':>22} {'minimize-all':>28} {'the probe minimizing':>28}"
          f" {'restore':>8} {'fewest min.':>11} {'crowd made':>10}")
    for d in ds:
        def cell(k, w, p):
            v = d[k]
            return f"{v[0]:.{p}f} [{v[1]:.{p}f}..{v[2]:.{p}f}]".rjust(w)
        bad = "" if d["minimized"] == d["windows"] else "  (a command missed some!)"
        print(f"  {d['windows']:5.0f} {d['candidates']:7.0f} {cell('menu_ms', 22, 2)} {cell('minimize_ms', 28, 1)}"
              f" {cell('direct_ms', 28, 1)} {d['restore_ms']:8.0f} {d['minimized']:11.0f} {d['made_ms']:10.0f}{bad}")
    print("  counted: the windows the bar's walk counts; the probe minimizing: the bar's call made by the"
          " probe on\n  handles it found beforehand (no walk, no titles); restore: the crowd restored; fewest"
          " min.: the fewest\n  crowd windows one command left minimized; crowd made: the crowd's making, ms")
    if len(ds) >= 2:
        lo, hi = ds[0], ds[-1]
        dn = hi["windows"] - lo["windows"]
        if dn > 0:
            per = lambda k: (hi[k][0] - lo[k][0]) / dn * 1000
            print(f"  per window between {lo['windows']:.0f} and {hi['windows']:.0f}: context menu {per('menu_ms'):.1f} us,"
                  f" minimize-all {per('minimize_ms'):.0f} us, the probe minimizing {per('direct_ms'):.0f} us")
        # Linear growth keeps ms per window the same from count to count.
        print("  minimize-all per window at each count, ms: " +
              ", ".join(f"{d['windows']:.0f}: {d['minimize_ms'][0] / d['windows']:.2f}" for d in ds if d["windows"]))
EOF
}
