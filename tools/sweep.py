#!/usr/bin/env python3
"""Fails the program's calls one at a time and judges what it does then.

tools/sweep.py [--build DIR] [--personality NAME] [--scenarios A,B] [--functions DLL!F,...]
               [--sample] [--exhaust] [--max-calls N] [--workers N] [--report FILE] [--check]

Each scenario (tests/personality/sweep-scenarios.txt: the files, then the driver's steps) runs under the
personality layer once with VELKIN_COUNT, for the calls it makes and the files it leaves, then
once per call of each function that can fail (tests/personality/failures.txt) with VELKIN_FAIL
failing that call; a start-up scenario counts every call, the others only those between their
mark and unmark steps. --sample fails the first call of each function, --max-calls N the first N,
--exhaust adds every call from the first on; the runs of tests/personality/sweep-expected.txt are
made as well. A run is judged by the first that holds:
  crash    exit code 0xC0000000 or above, or Wine reported an unhandled exception
  hang     a sent message unanswered for 5 s, no bar within 20 s, still running 10 s after its
           end was asked, or the driver not done in time
  files    vlkini.dat or nonapp.dat gone, or neither its content before the run nor what the run
           without failure left (a file left beside them is only reported)
  ended    the program ended before its end was asked
  went-on  otherwise
and held to its row of sweep-expected.txt where it has one. Workers have Wine prefixes (linked
copies of the tests') and screens of their own. --check exits 1 when a run crashed, hung, harmed a
file or was not as expected; their transcripts are kept in build/sweep/runs.
"""
import argparse, os, queue, re, shutil, signal, subprocess, sys, tempfile, threading, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SCRATCH, DATA = os.path.join(ROOT, "build", "sweep"), os.path.join(ROOT, "tests", "personality")
BASE_PREFIX = os.path.join(ROOT, "build", "e2e", "wineprefix")
KEEP = b"Velkin keep me\r\n"
FILES = {"both": {"vlkini.dat": b"".join(l + b"\r\n" for l in b"0 0 Bytes 0 Bytes 2 4 0 0 1 0".split()), "nonapp.dat": KEEP},
         "none": {}, "unreadable": {"vlkini.dat": b"\x00\xff not settings\r\n", "nonapp.dat": KEEP}}
ENDED = re.compile(r"^sweep: (ended|no bar: it ended)", re.M)


def rows(name, least=4):
    for number, line in enumerate(open(os.path.join(DATA, name), encoding="utf-8"), 1):
        parts = [p.strip() for p in line.split("|")]
        if line.strip() and not line.startswith("#") and (len(parts) < least or not all(parts)):
            sys.exit("sweep: %s:%d: a malformed row" % (name, number))
        if line.strip() and not line.startswith("#"):
            yield parts


SCENARIOS = {}  # name: (files before, steps), from sweep-scenarios.txt


def failures():
    """{DLL!FUNCTION: (DLL!Function, "VALUE ERROR BYTES", None when it cannot fail)} of every row."""
    value = lambda v: {"null": 0, "FALSE": 0, "INVALID_HANDLE_VALUE": -1}.get(v, None)
    return {r[0].upper(): (r[0], None if r[1] == "never" else "%d %d %d" % (
        int(r[1], 0) if value(r[1]) is None else value(r[1]), int(r[2].split()[0], 0), 0 if r[3] == "-" else int(r[3])))
            for r in rows("failures.txt")}


class Worker:
    """A Wine prefix, a screen and a folder for the program of its own."""

    def __init__(self, number, build, personality):
        self.home, prefix, self.exe = os.path.join(SCRATCH, "w%d" % number), os.path.join(SCRATCH, "prefix%d" % number), \
            os.path.join(build, "velkin.exe")
        if not os.path.exists(os.path.join(prefix, "system.reg")):  # Wine replaces a file it changes: links do
            shutil.rmtree(prefix, ignore_errors=True)
            shutil.copytree(BASE_PREFIX, prefix, symlinks=True, copy_function=os.link)
        out = subprocess.run(["bash", "-c", ". scripts/wine-env.sh; velkin_start_display >&2 && echo $velkin_xvfb_pid && env -0"],
                             cwd=ROOT, stdout=subprocess.PIPE, check=True,
                             env=dict(os.environ, VELKIN_HEADLESS="1", WINEPREFIX_VELKIN=prefix)).stdout
        pid, _, rest = out.partition(b"\n")
        self.xvfb, self.env = int(pid), dict(i.split("=", 1) for i in rest.decode().split("\0") if "=" in i)
        shutil.rmtree(self.home, ignore_errors=True)
        os.makedirs(os.path.join(self.home, "run"))
        for name in ("velkin-launch.exe", "vpersona.dll", "velkin-driver.exe"):
            shutil.copy(os.path.join(build, name), self.home)
        self.path = {n: "Z:" + os.path.join(self.home, n).replace("/", "\\")  # Wine's Z: is the root
                     for n in ("velkin-launch.exe", "run/velkin.exe", "calls.txt", "counts.txt")}
        self.env.update(VELKIN_LAUNCHER=self.path["velkin-launch.exe"], VELKIN_PERSONALITY=personality,
                        VELKIN_PERSONALITY_TABLE="Z:" + os.path.join(DATA, "personalities.txt").replace("/", "\\"),
                        VELKIN_PERSONALITY_LOG=self.path["calls.txt"])
        self.serve()
        mode = [r[2] for r in rows("personalities.txt") if personality in r[0].split() and r[1] == "wine"]
        self.wine(["wine", "reg", "add" if mode else "delete", r"HKCU\Software\Wine", "/v", "Version", "/f"] +
                  (["/d", mode[0]] if mode else []))

    def serve(self):  # one server for every run: starting one costs seconds
        subprocess.run(["wineserver", "-p"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def wine(self, args, timeout=120, **kw):  # into a file: what Wine starts beside the server keeps a pipe open
        with tempfile.TemporaryFile() as out:
            subprocess.run(args, env=kw.pop("env", self.env), stdout=out, stderr=subprocess.STDOUT, timeout=timeout, **kw)
            out.seek(0)
            return out.read().decode("utf-8", "replace")

    def run(self, scenario, extra):
        """(transcript, the layer's record, the files after, the files before, the counts)."""
        folder, before = os.path.join(self.home, "run"), FILES[SCENARIOS[scenario][0]]
        shutil.rmtree(folder)
        os.makedirs(folder)
        shutil.copy(self.exe, folder)
        for name in before:
            open(os.path.join(folder, name), "wb").write(before[name])
        for name in ("calls.txt", "counts.txt"):
            if os.path.exists(os.path.join(self.home, name)):
                os.remove(os.path.join(self.home, name))
        try:
            text = self.wine(["timeout", "-k", "5", "90", "wine", "velkin-driver.exe", "sweep", SCENARIOS[scenario][1],
                              self.path["run/velkin.exe"]], env=dict(self.env, **extra), cwd=self.home, timeout=120)
        except subprocess.TimeoutExpired:
            text = "sweep: hang: the driver did not end in time"
        if "sweep: hang" in text or "wine: Unhandled" in text or not ENDED.search(text):
            self.wine(["wineserver", "-k"])  # nothing of a run that went wrong stays for the next
            self.serve()
        read = lambda p: open(p, "rb").read() if os.path.exists(p) else b""
        after = {n: read(os.path.join(folder, n)) for n in os.listdir(folder) if n != "velkin.exe"}
        return (text, read(os.path.join(self.home, "calls.txt")).decode("latin-1"), after, before,
                read(os.path.join(self.home, "counts.txt")).decode("latin-1"))

    def stop(self):
        self.wine(["wineserver", "-k"])
        subprocess.run(["kill", str(self.xvfb)], stderr=subprocess.DEVNULL)


def judge(text, log, after, before, reference):
    codes = re.findall(r"^sweep: (?:ended(?: early)?|no bar: it ended with code) (0x\w+)", text, re.M)
    code = int(codes[-1], 16) if codes else None
    detail = (["code 0x%x" % code] if codes else []) + ["box " + b.strip() for b in re.findall(r"^sweep: box (.*)", text, re.M)]
    crash = re.findall(r"wine: Unhandled (?:exception|page fault).*", text)
    if (code or 0) >= 0xC0000000 or crash:
        return "crash", detail + crash
    if "sweep: hang" in text:
        return "hang", detail + re.findall(r"^sweep: hang: (.*)", text, re.M)
    if 0xBAD0 <= (code or 0) <= 0xBADF:
        return "refused", detail + [l for l in log.splitlines() if l.startswith("failure:")]
    problems = []
    for name in FILES["both"]:
        have, old, new = after.get(name), before.get(name), reference.get(name)
        if have is None and old is not None:
            problems.append(name + " gone")
        elif have not in (None, old, new):
            cut = any(c and len(have) < len(c) and c.startswith(have) for c in (old, new))
            problems.append("%s %s: %r" % (name, "cut short" if cut else "other content", have[:60]))
    detail += ["left over: " + n for n in after if n not in FILES["both"]]  # the next save replaces it
    if problems:
        return "files", problems + detail
    return ("ended" if re.search(r"^sweep: (ended early|no bar)", text, re.M) else "went-on"), detail


def pool(workers, items, fn):
    """fn(worker, item) for every item, each worker taking the next item when it is free."""
    jobs = queue.Queue()
    for item in items:
        jobs.put(item)

    def take(worker):
        try:
            while True:
                fn(worker, jobs.get_nowait())
        except queue.Empty:
            pass
    threads = [threading.Thread(target=take, args=(w,)) for w in workers]
    for t in threads:
        t.start()
    for t in threads:
        t.join()


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for flag, default in (("--build", os.path.join(ROOT, "build", "win64")), ("--personality", "win10"),
                          ("--scenarios", ""), ("--functions", ""), ("--report", None)):
        p.add_argument(flag, default=default)
    for flag in ("--sample", "--exhaust", "--check"):
        p.add_argument(flag, action="store_true")
    p.add_argument("--max-calls", type=int, default=0)
    p.add_argument("--workers", type=int, default=4)
    args = p.parse_args()
    SCENARIOS.update((r[0], (r[1], r[2])) for r in rows("sweep-scenarios.txt", 3))
    scenarios, table = [s for s in args.scenarios.split(",") if s] or list(SCENARIOS), failures()
    only = {f.upper() for f in args.functions.split(",") if f}
    expected = {(r[0], r[1]): r[2:] for r in rows("sweep-expected.txt")}
    if not set(scenarios + [s for s, _ in expected]) <= set(SCENARIOS) or \
            any(table.get(t.split(":")[0].upper(), (0, None))[1] is None for _, t in expected):
        sys.exit("sweep: a scenario not in %s, or a call in sweep-expected.txt that cannot fail" % ", ".join(SCENARIOS))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(3))  # the workers' servers and screens ended too
    subprocess.run(["bash", "-c", ". scripts/wine-env.sh; velkin_prepare_prefix"], cwd=ROOT, check=True,
                   env=dict(os.environ, WINEPREFIX_VELKIN=BASE_PREFIX))
    started, results, plan, unlisted, lock, workers = time.time(), [], [], set(), threading.Lock(), [None] * args.workers

    def count(worker, scenario):
        text, _, files, _, counts = worker.run(scenario, {"VELKIN_COUNT": worker.path["counts.txt"]})
        if not re.search(r"^sweep: ended (0x0|by the session)\s*$", text, re.M) or not counts:
            return unlisted.add("(%s not swept: the run without failure did not end cleanly: %s)" % (scenario, text))
        marked = "mark;" in SCENARIOS[scenario][1].replace(" ", "")
        calls = {l.split()[0].upper(): int(l.split()[2 if marked else 1]) for l in counts.splitlines() if l.strip()}
        unlisted.update(n for n, c in calls.items() if c and n not in table)
        for name in sorted(n for n, c in calls.items() if c and table.get(n, (0, None))[1] and (not only or n in only)):
            last = 1 if args.sample else min(calls[name], args.max_calls or calls[name])
            for call in [str(n) for n in range(1, last + 1)] + ["1+"] * args.exhaust:
                plan.append((scenario, "%s:%s%s" % (table[name][0], call, "@" * marked), files))
        plan.extend((s, t, files) for s, t in expected if s == scenario and not only and (s, t, files) not in plan)

    def run(worker, job):
        scenario, target, reference = job
        text, log, after, before, _ = worker.run(scenario, {"VELKIN_FAIL": target + " " + table[target.split(":")[0].upper()][1]})
        outcome, detail = judge(text, log, after, before, reference)
        reached = re.search(r"^failure: \S+ call \d+ failed", log, re.M) is not None
        want = expected.get((scenario, target))
        wrong = bool(want) and (outcome != want[0] or not reached or want[1] != "-" and not any(want[1] in d for d in detail))
        with lock:
            results.append((scenario, target, outcome, reached, "; ".join(detail), wrong))
            print("%-12s %-40s %-8s%s%s %s" % (scenario, target, outcome, "" if reached else " (not reached)",
                                              " (expected %s)" % " ".join(want) if wrong else "", "; ".join(detail)), flush=True)
        if outcome != "went-on" or wrong:
            os.makedirs(os.path.join(SCRATCH, "runs"), exist_ok=True)
            open(os.path.join(SCRATCH, "runs", re.sub(r"\W", "_", scenario + target) + ".txt"), "w").write(text + "\n-- calls:\n" + log)

    try:
        pool(range(args.workers), range(args.workers),
             lambda _, n: workers.__setitem__(n, Worker(n, os.path.abspath(args.build), args.personality)))
        pool(workers, scenarios, count)
        print("sweep: %d runs, %d workers" % (len(plan), len(workers)), flush=True)
        pool(workers, plan, run)
    finally:
        for w in filter(None, workers):
            w.stop()
    outcomes = ("crash", "hang", "files", "ended", "went-on")
    lines = ["%-12s %5s %s %11s" % ("scenario", "runs", " ".join("%8s" % o for o in outcomes), "not-reached")]
    for s in scenarios + ["all"]:
        mine = [r for r in results if s in ("all", r[0])]
        lines.append("%-12s %5d %s %11d" % (s, len(mine), " ".join("%8d" % sum(r[2] == o for r in mine) for o in outcomes),
                                            sum(not r[3] for r in mine)))
    summary = "\n".join(lines + ["%d runs in %.0f s" % (len(results), time.time() - started)])
    print(summary + "".join("\nsweep: called but not in failures.txt: " + n for n in sorted(unlisted)))
    if args.report:
        open(args.report, "w", encoding="utf-8").write(
            "```\n%s\n```\n\n| scenario | failed call | outcome | reached | detail |\n|---|---|---|---|---|\n" % summary +
            "".join("| %s | `%s` | %s | %s | %s |\n" % (r[0], r[1], r[2], "yes" if r[3] else "no", r[4].replace("|", "\\|"))
                    for r in sorted(results)))
    bad = [r for r in results if r[2] in ("crash", "hang", "files", "refused") or r[5]] + [()] * (len(plan) - len(results))
    print("%d passed, %d failed" % (len(results) - len(bad) + (len(plan) - len(results)), len(bad)))
    return 1 if args.check and (bad or unlisted) else 0


if __name__ == "__main__":
    sys.exit(main())
