#!/usr/bin/env python3
"""Wine server requests per refresh tick, from the server's own trace (WINEDEBUG=+server).

  requests.py count TRACE FIRST > COUNTS.json
      the requests in a trace, by process image and request name. Each trace line starts with
      the thread id; a thread belongs to the process whose first thread's get_startup_info names
      its image, or to the process of the thread whose new_thread request made it. The process
      started from the command line gets no startup information: it is called FIRST.
  requests.py per-tick SHORT.json TICKS_SHORT LONG.json TICKS_LONG [IMAGE...]
      what the longer run made more than the shorter one, per tick more: start-up and shut-down
      are alike in both and drop out. Prints the requests per tick by image and name.
"""

import json
import re
import sys

LINE = re.compile(r"^([0-9a-f]{4}): (\w+)\((.*)$")
FIRST = re.compile(r"pid=([0-9a-f]{4}), tid=([0-9a-f]{4})")
IMAGE = re.compile(r'imagepath=L"([^"]*)"')
NEW_THREAD_REPLY = re.compile(r"tid=([0-9a-f]{4})")


def count(path, first):
    thread_process = {}
    process_image = {}
    counts = {}
    with open(path, "r", errors="replace") as f:
        for line in f:
            m = LINE.match(line)
            if not m:
                continue
            tid, name, rest = m.groups()
            if rest.startswith(") = "):  # a reply
                if name == "init_first_thread":
                    fm = FIRST.search(rest)
                    if fm:
                        thread_process[fm.group(2)] = fm.group(1)
                elif name == "get_startup_info":
                    im = IMAGE.search(rest)
                    if im and tid in thread_process:
                        process_image[thread_process[tid]] = im.group(1).replace("\\\\", "\\").rsplit("\\", 1)[-1]
                elif name == "new_thread":  # threads are made in their own process here
                    nm = NEW_THREAD_REPLY.search(rest)
                    if nm and tid in thread_process:
                        thread_process[nm.group(1)] = thread_process[tid]
                continue
            image = process_image.get(thread_process.get(tid, ""), first)
            key = image + " " + name
            counts[key] = counts.get(key, 0) + 1
    return counts


def per_tick(short, ticks_short, long, ticks_long, images):
    span = ticks_long - ticks_short
    rows = []
    for key in set(short) | set(long):
        image, name = key.split(" ", 1)
        if images and image not in images:
            continue
        diff = (long.get(key, 0) - short.get(key, 0)) / span
        if abs(diff) >= 0.05:
            rows.append((image, name, diff))
    rows.sort(key=lambda r: (r[0], -r[2]))
    totals = {}
    for image, name, diff in rows:
        totals[image] = totals.get(image, 0) + diff
    lines = []
    for image in sorted(totals, key=lambda i: -totals[i]):
        lines.append(f"  {image}: {totals[image]:.1f} requests per tick")
        lines.append("    " + ", ".join(f"{name} {diff:.1f}" for im, name, diff in rows if im == image))
    return "\n".join(lines)


def main(argv):
    if len(argv) == 4 and argv[1] == "count":
        json.dump(count(argv[2], argv[3]), sys.stdout)
        return 0
    if len(argv) >= 6 and argv[1] == "per-tick":
        with open(argv[2]) as a, open(argv[4]) as b:
            print(per_tick(json.load(a), float(argv[3]), json.load(b), float(argv[5]), argv[6:]))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
