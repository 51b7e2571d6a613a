#!/usr/bin/env python3
"""CPU time and resident memory of the processes that serve one benchmark configuration.

bench/run.sh calls it:
  procstat.py snap PREFIX [LABEL=PID ...] > FILE
      a snapshot: the monotonic clock, then for every process whose environment holds
      WINEPREFIX=PREFIX (the program under test, the wineserver and Wine's own services of that
      prefix, which serves nothing else) and for each LABEL=PID given (Xvfb, conky): its name,
      user + system CPU time in clock ticks (/proc/PID/stat fields 14 and 15) and VmRSS
  procstat.py row NAME KIND SUBJECT SNAP0 SNAP1 [key=value ...] >> RESULTS
      one configuration's figures between two snapshots, as a JSON line: CPU per second of wall
      time for the subject, the wineserver, Wine's other processes, Xvfb; the subject's VmRSS
      at both snapshots; and whatever key=value pairs run.sh passes on (the bar's counters and
      object counts, the floor's tick count)
  procstat.py pid PREFIX NAME
      the pid of the prefix's process of that name (velkin.exe, floor.exe), or nothing
  procstat.py table RESULTS
      the table of every configuration, the ratios, and the per-process breakdown
  procstat.py growth RESULTS
      the configurations named ...-drivesN: CPU per tick by the number of fixed drives N and the
      cost of one drive more (least-squares slope)

How the Wine side is attributed: the prefix is private to the benchmark, so its wineserver and
its service processes (explorer, winedevice, services, plugplay, svchost, rpcss) serve the
program under test and nothing else. What they spend while a program that only waits runs
(the "idle" configuration: the floor with no timer) is their own upkeep; what they spend above
that in a configuration is put down to the program. Xvfb is ours too and is treated the same way.
"""

import json
import re
import os
import sys
import time

CLK_TCK = os.sysconf("SC_CLK_TCK")
WINE_SYSTEM = ("explorer.exe", "winedevice.exe", "services.exe", "plugplay.exe", "svchost.exe", "rpcss.exe")


def read_proc(pid):
    try:
        with open(f"/proc/{pid}/stat", "rb") as f:
            stat = f.read().decode("latin-1")
        # The name may hold blanks and parentheses: the fields start after the last ')'.
        fields = stat[stat.rindex(")") + 2:].split()
        cpu = int(fields[11]) + int(fields[12])  # utime, stime (fields 14 and 15 of the line)
        start = int(fields[19])  # starttime, to tell a reused pid
        rss = 0
        with open(f"/proc/{pid}/status", "rb") as f:
            for line in f.read().decode("latin-1").splitlines():
                if line.startswith("VmRSS:"):
                    rss = int(line.split()[1])
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            argv0 = f.read().split(b"\0")[0].decode("latin-1")
        return {"cpu": cpu, "start": start, "rss_kb": rss, "argv0": argv0}
    except (OSError, ValueError, IndexError):
        return None


def process_name(argv0):
    base = argv0.replace("\\", "/").rsplit("/", 1)[-1]
    if base.startswith("wineserver"):
        return "wineserver"
    return base.lower()


def in_prefix(pid, prefix):
    try:
        with open(f"/proc/{pid}/environ", "rb") as f:
            env = f.read().split(b"\0")
    except OSError:
        return False
    return ("WINEPREFIX=" + prefix).encode() in env


def snap(prefix, labelled):
    procs = {}
    me = str(os.getpid())
    for entry in os.listdir("/proc"):
        if entry.isdigit() and entry != me and in_prefix(entry, prefix):
            info = read_proc(entry)
            if info:
                info["name"] = process_name(info["argv0"])
                procs[entry] = info
    for item in labelled:
        label, pid = item.split("=", 1)
        info = read_proc(pid)
        if info:
            info["name"] = label
            procs[pid] = info
    return {"time": time.clock_gettime(time.CLOCK_MONOTONIC), "procs": procs}


def group_of(name, subject):
    if name == subject:
        return "own"
    if name == "wineserver":
        return "wineserver"
    if name == "xvfb":
        return "xvfb"
    if name in WINE_SYSTEM or name.endswith(".exe"):
        return "wine_other"
    return "other"


def row(name, kind, subject, snap0, snap1, extra):
    wall = snap1["time"] - snap0["time"]
    groups = {"own": 0.0, "wineserver": 0.0, "wine_other": 0.0, "xvfb": 0.0, "other": 0.0}
    per_process = {}
    rss0 = rss1 = None
    for pid, p1 in snap1["procs"].items():
        p0 = snap0["procs"].get(pid)
        if p0 and p0["start"] != p1["start"]:
            p0 = None
        cpu = (p1["cpu"] - (p0["cpu"] if p0 else 0)) / CLK_TCK
        group = group_of(p1["name"], subject)
        groups[group] += cpu
        per_process[p1["name"]] = per_process.get(p1["name"], 0.0) + cpu
        if group == "own":
            rss1 = p1["rss_kb"]
            rss0 = p0["rss_kb"] if p0 else None
    result = {
        "name": name,
        "kind": kind,
        "wall": wall,
        "cpu": {g: v / wall for g, v in groups.items()},  # seconds of CPU per second of wall time
        "per_process": {n: v / wall for n, v in per_process.items()},
        "rss0_kb": rss0,
        "rss1_kb": rss1,
    }
    for item in extra:
        key, value = item.split("=", 1)
        try:
            result[key] = float(value)
        except ValueError:
            result[key] = value
    return result


def pct(v):
    return "-" if v is None else f"{100 * v:.2f}"


def fmt(v, digits=1):
    return "-" if v is None else f"{v:.{digits}f}"


def measures(rows):
    """The idle configuration's upkeep, and the attributed CPU and the tick rate of a row."""
    idle = next((r for r in rows if r["kind"] == "idle"), None)
    base = {g: 0.0 for g in ("wineserver", "wine_other", "xvfb")}
    if idle:
        base = {g: idle["cpu"][g] for g in base}

    def attributed(r):
        c = r["cpu"]
        extra = sum(c[g] - base[g] for g in base) if r["kind"] != "conky" else c["xvfb"] - base["xvfb"]
        return c["own"] + extra

    def rate(r):
        if "ticks0" in r and "ticks1" in r and r.get("span"):
            return (r["ticks1"] - r["ticks0"]) / r["span"]
        if "floor_ticks" in r and r.get("floor_seconds"):
            return r["floor_ticks"] / r["floor_seconds"]
        if "meminfo_opens_per_s" in r:  # conky reads /proc/meminfo once per update
            return r["meminfo_opens_per_s"]
        return None

    return base, attributed, rate


def table(rows):
    base, attributed, rate = measures(rows)

    lines = []
    head = ("config", "ticks/s", "own%", "wsrv%", "wine+%", "Xvfb%", "attr%", "us/tick",
            "RSS0 kB", "RSS1 kB", "GDI0", "GDI1", "win0", "win1", "hdl0", "hdl1", "sets/tick")
    widths = (22, 7, 6, 6, 6, 6, 6, 8, 8, 8, 5, 5, 5, 5, 5, 5, 9)
    lines.append(" ".join(h.rjust(w) if i else h.ljust(w) for i, (h, w) in enumerate(zip(head, widths))))
    for r in rows:
        tps = rate(r)
        att = attributed(r)
        per_tick = att / tps * 1e6 if tps else None
        sets = None
        if "sets0" in r and r.get("ticks1", 0) > r.get("ticks0", 0):
            sets = (r["sets1"] - r["sets0"]) / (r["ticks1"] - r["ticks0"])
        cells = (r["name"], fmt(tps, 2), pct(r["cpu"]["own"]), pct(r["cpu"]["wineserver"]),
                 pct(r["cpu"]["wine_other"]), pct(r["cpu"]["xvfb"]), pct(att), fmt(per_tick, 0),
                 fmt(r.get("rss0_kb"), 0), fmt(r.get("rss1_kb"), 0),
                 fmt(r.get("gdi0"), 0), fmt(r.get("gdi1"), 0), fmt(r.get("win0"), 0), fmt(r.get("win1"), 0),
                 fmt(r.get("hdl0"), 0), fmt(r.get("hdl1"), 0), fmt(sets, 3))
        lines.append(" ".join(c.rjust(w) if i else c.ljust(w) for i, (c, w) in enumerate(zip(cells, widths))))
    lines.append("")
    lines.append("own% = the program's process; wsrv% = wineserver; wine+% = Wine's other processes of the")
    lines.append("prefix; Xvfb% = the X server; all in % of one core (CPU seconds per 100 s of wall time).")
    lines.append("attr% = own% + what wsrv%, wine+% and Xvfb% spend above the idle configuration")
    lines.append(f"(idle: wsrv {pct(base['wineserver'])}, wine+ {pct(base['wine_other'])}, Xvfb {pct(base['xvfb'])}).")
    lines.append("us/tick = attr% as CPU microseconds per refresh tick. GDI = GDI handle table entries in use;")
    lines.append("win = the process's windows; hdl = its kernel handles (GetGuiResources answers 0 under Wine).")

    by_name = {r["name"]: r for r in rows}
    lines.append("")
    lines.append("ratios (attributed CPU):")
    for r in rows:
        if r["kind"] != "velkin" or "floor_name" not in r:
            continue
        f = by_name.get(r["floor_name"])
        names = ("floor_name", "floor1_name", "floor32_name", "floor1_32_name")
        for f in (by_name.get(r.get(n, "")) for n in names):
            if f and attributed(f) > 0:
                lines.append(f"  {r['name']:<22} / {f['name']:<22} = {attributed(r) / attributed(f):6.2f}"
                             f"   (own process only: {r['cpu']['own'] / max(f['cpu']['own'], 1e-9):6.2f})")
        c = by_name.get(r.get("conky_name", ""))
        if c and attributed(c) > 0:
            lines.append(f"  {r['name']:<22} / {c['name']:<22} = {attributed(r) / attributed(c):6.2f}")

    lines.append("")
    lines.append("per process, % of one core:")
    for r in rows:
        parts = sorted(r["per_process"].items(), key=lambda kv: -kv[1])
        lines.append(f"  {r['name']:<22} " + ", ".join(f"{n} {100 * v:.2f}" for n, v in parts if v > 0))
    return "\n".join(lines)


def growth(rows):
    """The configurations named ...-drivesN: CPU per tick by the number of fixed drives, and the
    cost of one drive more (the least-squares slope)."""
    _, attributed, rate = measures(rows)
    series = {}
    for r in rows:
        m = re.match(r"^(.*)-drives(\d+)$", r["name"])
        tps = rate(r)
        if m and tps:
            series.setdefault(m.group(1), {})[int(m.group(2))] = attributed(r) / tps * 1e6
    if not series:
        return ""
    counts = sorted({n for s in series.values() for n in s})

    def slope(points):
        if len(points) < 2:
            return None
        xs, ys = zip(*sorted(points.items()))
        mx, my = sum(xs) / len(xs), sum(ys) / len(ys)
        den = sum((x - mx) ** 2 for x in xs)
        return sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / den if den else None

    lines = ["growth by fixed drives: attributed CPU microseconds per tick"]
    lines.append("  " + "configuration".ljust(26) + "".join(f"{n:>8}" for n in counts) + "   us per drive (slope)")
    names = list(series)
    bars = [n for n in names if n.startswith("velkin")]
    floors = [n for n in names if n.startswith("floor")]
    if len(bars) == 1 and len(floors) == 1:  # what the bar adds above the floor, drive by drive
        b, f = series[bars[0]], series[floors[0]]
        series[f"{bars[0]} - {floors[0].split('-')[0]}"] = {n: b[n] - f[n] for n in b if n in f}
        names.append(f"{bars[0]} - {floors[0].split('-')[0]}")
    for name in names:
        pts = series[name]
        sl = slope(pts)
        lines.append("  " + name.ljust(26) + "".join(f"{pts[n]:8.0f}" if n in pts else f"{'-':>8}" for n in counts)
                     + f"   {fmt(sl, 1)}")
    return "\n".join(lines)


def main(argv):
    if len(argv) >= 3 and argv[1] == "snap":
        json.dump(snap(argv[2], argv[3:]), sys.stdout)
        print()
        return 0
    if len(argv) >= 7 and argv[1] == "row":
        with open(argv[5]) as f0, open(argv[6]) as f1:
            r = row(argv[2], argv[3], argv[4], json.load(f0), json.load(f1), argv[7:])
        print(json.dumps(r))
        return 0
    if len(argv) == 4 and argv[1] == "pid":
        for pid, p in snap(argv[2], [])["procs"].items():
            if p["name"] == argv[3].lower():
                print(pid)
                break
        return 0
    if len(argv) == 3 and argv[1] in ("table", "growth"):
        with open(argv[2]) as f:
            rows = [json.loads(line) for line in f if line.strip()]
        print(table(rows) if argv[1] == "table" else growth(rows))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
