#!/usr/bin/env python3
"""The Windows calls a program makes itself per refresh tick, from Wine's relay trace
(WINEDEBUG=+pid,+relay: each line starts with the process id and the thread id).

  calls.py image EXE
      the image's base and size from its PE header: "base 0x140000000 size 0x4e000"
  calls.py count TRACE PID EXE > COUNTS.json
      the calls by function ("KERNEL32.GetDiskFreeSpaceExA") made by process PID (decimal) whose
      return address lies inside EXE's image (its base and SizeOfImage): the program's own calls,
      not those that Wine's libraries make for it, nor those of other processes. Prints to stderr
      how many calls of that process fell outside the image.
  calls.py per-tick SHORT.json TICKS_SHORT LONG.json TICKS_LONG > PER_TICK.json
      what the longer run called more than the shorter one, per tick more: start-up and shut-down
      are alike in both and drop out.
  calls.py table NAME=PER_TICK.json ...
      one table: function by configuration, calls per tick, and the drive queries per tick
      (GetDiskFreeSpaceExA + GetDiskFreeSpaceA).
"""

import json
import re
import struct
import sys

CALL = re.compile(r"^([0-9a-f]+):([0-9a-f]+):Call ([\w]+)\.(\w+)\((.*)\) ret=([0-9a-f]+)$")
DRIVE_QUERIES = ("GetDiskFreeSpaceExA", "GetDiskFreeSpaceA")
C_RUNTIME = ("msvcrt", "ucrtbase")


def image_range(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit(f"calls.py: {path} is no PE image")
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    if magic == 0x20B:  # PE32+
        base = struct.unpack_from("<Q", data, opt + 24)[0]
    else:
        base = struct.unpack_from("<I", data, opt + 28)[0]
    size = struct.unpack_from("<I", data, opt + 56)[0]
    return base, size


def count(trace, pid, exe):
    base, size = image_range(exe)
    want = int(pid)
    counts = {}
    outside = 0
    with open(trace, "r", errors="replace") as f:
        for line in f:
            m = CALL.match(line.rstrip("\n"))
            if not m or int(m.group(1), 16) != want:
                continue
            ret = int(m.group(6), 16)
            if not base <= ret < base + size:
                outside += 1
                continue
            key = m.group(3) + "." + m.group(4)
            counts[key] = counts.get(key, 0) + 1
    print(f"calls.py: {trace}: {sum(counts.values())} calls from the image "
          f"{base:#x}+{size:#x}, {outside} from elsewhere in the process", file=sys.stderr)
    if not counts:
        raise SystemExit(f"calls.py: no calls of process {pid} from its image in {trace}")
    return counts


def per_tick(short, ticks_short, long, ticks_long):
    span = ticks_long - ticks_short
    if span <= 0:
        raise SystemExit(f"calls.py: the long run counted {ticks_long} ticks, the short one {ticks_short}")
    return {key: (long.get(key, 0) - short.get(key, 0)) / span for key in set(short) | set(long)}


def function_name(key):
    return key.split(".", 1)[1]


def table(columns):
    keys = set()
    for _, calls in columns:
        keys |= {k for k, v in calls.items() if abs(v) >= 0.005}
    crt = sorted(k for k in keys if k.split(".", 1)[0].lower() in C_RUNTIME)
    system = sorted((k for k in keys if k not in crt), key=lambda k: (function_name(k).lower(), k))
    names = [n for n, _ in columns]
    width = max([len(k) for k in keys] + [32])
    cw = max(max(len(n) for n in names), 8)
    lines = [" " * width + " " + " ".join(n.rjust(cw) for n in names)]

    def row(label, values):
        lines.append(label.ljust(width) + " " + " ".join(
            ("-" if v is None else f"{v:.2f}").rjust(cw) for v in values))

    for group, keys_in in (("Windows calls", system), ("C runtime calls (msvcrt)", crt)):
        if not keys_in:
            continue
        lines.append(group + ":")
        for k in keys_in:
            row("  " + k, [c.get(k) if abs(c.get(k, 0)) >= 0.005 else None for _, c in columns])
        row("  all " + group.split(" (")[0].lower(), [sum(v for k, v in c.items() if k in keys_in) for _, c in columns])
    row("drive queries per tick", [sum(v for k, v in c.items() if function_name(k) in DRIVE_QUERIES)
                                   for _, c in columns])
    row("all calls per tick", [sum(c.values()) for _, c in columns])
    return "\n".join(lines)


def main(argv):
    if len(argv) == 3 and argv[1] == "image":
        base, size = image_range(argv[2])
        print(f"base {base:#x} size {size:#x}")
        return 0
    if len(argv) == 5 and argv[1] == "count":
        json.dump(count(argv[2], argv[3], argv[4]), sys.stdout)
        return 0
    if len(argv) == 6 and argv[1] == "per-tick":
        with open(argv[2]) as a, open(argv[4]) as b:
            json.dump(per_tick(json.load(a), float(argv[3]), json.load(b), float(argv[5])), sys.stdout)
        return 0
    if len(argv) >= 3 and argv[1] == "table":
        columns = []
        for item in argv[2:]:
            name, path = item.split("=", 1)
            with open(path) as f:
                columns.append((name, json.load(f)))
        print(table(columns))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
