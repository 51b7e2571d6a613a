#!/usr/bin/env python3
"""Fails the program's calls one at a time and judges what it does then.

Usage: tools/sweep.py [--build DIR] [--personality NAME] [--scenarios A,B,...]
                      [--functions DLL!F,...] [--sample] [--exhaust] [--max-calls N]
                      [--report FILE]

Each scenario (a start-up with both settings files, a first start without them, ticks on "All",
the context menu and a slot command, minimize-all, the exit button after a change, WM_CLOSE
after a change) runs with the end-to-end driver's "sweep" sub-command, under the personality
layer (tests/personality) in the chosen personality. First once with VELKIN_COUNT, which
records how often the program calls each function, and what the settings files hold after a
run where nothing failed. Then once per fallible function (a row of
tests/personality/failures.txt whose failure is not "never") and call number, with VELKIN_FAIL
failing that one call; with --exhaust also once per function failing every call from the first.
--sample fails only the first call of each function; --max-calls N the first N.

Each run is judged, the first that holds:
  crash    the program ended with an exception code (0xC0000000 and up), or Wine reported an
           unhandled exception or page fault
  hang     the driver's run did not end in time, or the program still ran 10 s after its end
           was asked (the driver ends it; the Wine server is ended before the next run)
  files    vlkini.dat or nonapp.dat is missing, cut short or neither its old content nor what
           the run without failure left, or another file is left beside the program
  ended    the program ended before its end was asked (it gave up: a box, or no bar)
  went-on  it ran through and ended when asked
A run whose failed call never came (the scenario took another way) is marked "not reached".

Prints one line per run and a table per scenario; --report also writes them as Markdown. The
driver's transcript of every run that did not go on is kept in build/sweep/runs/. Exits
0 when every run could be judged, whatever the outcomes; 2 when the setup fails. 32-bit: name a
32-bit build (--build build/win32) and a 9x personality where this machine runs 32-bit programs.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SCRATCH = os.path.join(ROOT, "build", "sweep")
TABLE = os.path.join(ROOT, "tests", "personality", "failures.txt")
PERSONALITIES = os.path.join(ROOT, "tests", "personality", "personalities.txt")
SCENARIOS = ("startup", "first-run", "ticks", "menu", "minimize-all", "exit", "close")
FILES = ("vlkini.dat", "nonapp.dat")
# What the folder holds before a run (CP932, CR LF): the default settings and one title.
START_FILES = {
    "vlkini.dat": b"".join(l + b"\r\n" for l in b"0 0 Bytes 0 Bytes 2 4 0 0 1 0".split(b" ")),
    "nonapp.dat": b"Velkin keep me\r\n",
}
OUTCOMES = ("crash", "hang", "files", "ended", "went-on")
RUN_TIMEOUT = 120  # s: the driver's own waits add up to well under this


def read_failures(path):
    """{DLL!FUNCTION: (DLL!Function, return, error, bytes)} of every row (the key in capitals: the
    layer names a module as the system spells it); malformed rows end the sweep."""
    rows = {}
    with open(path, encoding="utf-8") as f:
        for lineno, text in enumerate(f, 1):
            text = text.strip()
            if not text or text.startswith("#"):
                continue
            parts = [p.strip() for p in text.split("|")]
            if len(parts) != 5 or "!" not in parts[0] or not parts[4]:
                sys.exit("sweep: %s:%d: expected 'DLL!Function | return | error | bytes | source'" % (path, lineno))
            rows[parts[0].upper()] = (parts[0],) + tuple(parts[1:4])
    return rows


def personality_fact(name, kind):
    with open(PERSONALITIES, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            names, row_kind, subject, value, _ = [p.strip() for p in line.split("|")]
            if name in names.split() and row_kind == kind:
                return subject, value
    return None


class Wine:
    """The Wine environment of scripts/wine-env.sh: a virtual screen and the tests' prefix."""

    def __init__(self):
        script = ('. "%s/scripts/wine-env.sh"; velkin_start_display >&2 || exit 2; velkin_prepare_prefix >&2; '
                  'echo "XVFB=$velkin_xvfb_pid"; env -0' % ROOT)
        env = dict(os.environ, VELKIN_HEADLESS="1",
                   WINEPREFIX_VELKIN=os.environ.get("WINEPREFIX_VELKIN", os.path.join(ROOT, "build", "e2e", "wineprefix")))
        proc = subprocess.run(["bash", "-c", script], env=env, stdout=subprocess.PIPE, timeout=600)
        if proc.returncode != 0:
            sys.exit("sweep: no display or Wine prefix")
        head, _, rest = proc.stdout.partition(b"\n")
        self.xvfb = head.decode().split("=", 1)[1]
        self.env = dict(item.split("=", 1) for item in rest.decode("utf-8", "replace").split("\0") if "=" in item)

    def run(self, args, timeout=60, **kw):
        return subprocess.run(args, env=kw.pop("env", self.env), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=timeout, **kw)

    def windows_path(self, path):
        return self.run(["winepath", "-w", path]).stdout.decode().strip()

    def kill_server(self):
        for args in (["wineserver", "-k"], ["wineserver", "-w"]):
            try:
                self.run(args, timeout=30)
            except subprocess.TimeoutExpired:
                pass

    def version_mode(self, mode):
        args = ["wine", "reg", "add", r"HKCU\Software\Wine", "/v", "Version", "/d", mode, "/f"] if mode else \
               ["wine", "reg", "delete", r"HKCU\Software\Wine", "/v", "Version", "/f"]
        self.run(args)

    def stop(self):
        self.kill_server()
        if self.xvfb:
            subprocess.run(["kill", self.xvfb], stderr=subprocess.DEVNULL)


class Result:
    def __init__(self, scenario, target, outcome, detail, reached):
        self.scenario, self.target, self.outcome, self.detail, self.reached = scenario, target, outcome, detail, reached

    def line(self):
        return "%-12s %-44s %-8s%s %s" % (self.scenario, self.target, self.outcome,
                                          "" if self.reached else " (not reached)", self.detail)


class Sweep:
    def __init__(self, wine, build, personality):
        self.wine, self.build, self.personality = wine, build, personality
        self.layer = os.path.join(SCRATCH, "layer")
        self.folder = os.path.join(SCRATCH, "run")
        os.makedirs(self.layer, exist_ok=True)
        for name in ("velkin-launch.exe", "vpersona.dll"):
            shutil.copy(os.path.join(build, name), self.layer)
        self.driver = os.path.join(SCRATCH, "velkin-driver.exe")
        shutil.copy(os.path.join(build, "velkin-driver.exe"), self.driver)
        self.calls_log = os.path.join(SCRATCH, "calls.txt")
        self.counts = os.path.join(SCRATCH, "counts.txt")
        self.transcript = os.path.join(SCRATCH, "transcript.txt")
        w = wine.windows_path
        self.base_env = dict(wine.env, VELKIN_LAUNCHER=w(os.path.join(self.layer, "velkin-launch.exe")),
                             VELKIN_PERSONALITY=personality, VELKIN_PERSONALITY_TABLE=w(PERSONALITIES),
                             VELKIN_FAILURE_TABLE=w(TABLE), VELKIN_PERSONALITY_LOG=w(self.calls_log))
        self.exe_w = None

    def prepare(self, scenario):
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        shutil.copy(os.path.join(self.build, "velkin.exe"), self.folder)
        if scenario != "first-run":
            for name, content in START_FILES.items():
                with open(os.path.join(self.folder, name), "wb") as f:
                    f.write(content)
        if self.exe_w is None:
            self.exe_w = self.wine.windows_path(os.path.join(self.folder, "velkin.exe"))

    def run(self, scenario, extra):
        """One driver run; (its transcript, whether it ended in time)."""
        self.prepare(scenario)
        for path in (self.calls_log, self.counts):
            if os.path.exists(path):
                os.remove(path)
        self.wine.kill_server()
        env = dict(self.base_env, **extra)
        with open(self.transcript, "wb") as out:
            try:
                rc = subprocess.run(["timeout", "-k", "5", str(RUN_TIMEOUT), "wine", self.driver, "sweep", scenario,
                                     self.exe_w], env=env, stdout=out, stderr=subprocess.STDOUT,
                                    timeout=RUN_TIMEOUT + 30, cwd=SCRATCH).returncode
            except subprocess.TimeoutExpired:
                rc = 124
        with open(self.transcript, "rb") as f:
            text = f.read().decode("utf-8", "replace")
        return text, rc not in (124, 137)

    def keep(self, scenario, target, text):
        """The driver's transcript and the layer's record of a run worth a look, in build/sweep/runs."""
        runs = os.path.join(SCRATCH, "runs")
        os.makedirs(runs, exist_ok=True)
        name = re.sub(r"[^A-Za-z0-9_.+-]", "_", "%s-%s" % (scenario, target)) + ".txt"
        log = open(self.calls_log, encoding="latin-1").read() if os.path.exists(self.calls_log) else ""
        with open(os.path.join(runs, name), "w", encoding="utf-8") as f:
            f.write(text + "\n-- calls recorded:\n" + log)

    def folder_files(self):
        return {name: open(os.path.join(self.folder, name), "rb").read()
                for name in os.listdir(self.folder) if name != "velkin.exe"}

    def count(self, scenario):
        """The calls of a run without failure, and the files it left."""
        text, in_time = self.run(scenario, {"VELKIN_COUNT": self.wine.windows_path(self.counts)})
        if not in_time or "sweep: ended 0x0" not in text or not os.path.exists(self.counts):
            print("sweep: %s: the run without failure did not end cleanly:\n%s" % (scenario, text.strip()))
            return None, None
        counts = {}
        with open(self.counts, encoding="latin-1") as f:
            for line in f:
                name, _, number = line.strip().rpartition(" ")
                if name:
                    counts[name.upper()] = int(number)
        return counts, self.folder_files()

    def judge(self, scenario, target, text, in_time, reference):
        log = open(self.calls_log, encoding="latin-1").read() if os.path.exists(self.calls_log) else ""
        reached = re.search(r"^failure: \S+ call \d+ failed", log, re.M) is not None
        codes = [int(c, 16) for c in re.findall(r"sweep: (?:ended(?: early)?|no bar: it ended with code) (0x[0-9a-f]+)", text)]
        code = codes[-1] if codes else None
        boxes = re.findall(r"sweep: box (.*)", text)
        detail = []
        if code is not None:
            detail.append("code 0x%x" % code)
        if boxes:
            detail.append("boxes: " + "; ".join(b.strip() for b in boxes))
        wine_crash = re.search(r"wine: Unhandled (exception|page fault)[^\n]*", text)
        if (code is not None and code >= 0xC0000000) or wine_crash:
            if wine_crash:
                detail.append(wine_crash.group(0).strip())
            return Result(scenario, target, "crash", ", ".join(detail), reached)
        if not in_time or "sweep: still running" in text:
            if not in_time:
                detail.append("the driver did not end within %d s" % RUN_TIMEOUT)
            return Result(scenario, target, "hang", ", ".join(detail), reached)
        if code is not None and 0xBAD0 <= code <= 0xBADF:
            print("sweep: the layer refused the run (code 0x%x):\n%s" % (code, text.strip()))
            sys.exit(2)
        problems = self.file_problems(scenario, reference)
        if problems:
            return Result(scenario, target, "files", ", ".join(problems + detail), reached)
        if "sweep: ended early" in text or "sweep: no bar" in text:
            return Result(scenario, target, "ended", ", ".join(detail), reached)
        return Result(scenario, target, "went-on", ", ".join(detail), reached)

    def file_problems(self, scenario, reference):
        got = self.folder_files()
        problems = ["left over: " + name for name in sorted(got) if name not in FILES]
        for name in FILES:
            old = START_FILES[name] if scenario != "first-run" else None
            new = reference.get(name)
            have = got.get(name)
            if have is None:
                if old is not None or (new is not None and scenario != "first-run"):
                    problems.append(name + " missing")
            elif have != old and have != new:
                cut = any(c is not None and len(have) < len(c) and c.startswith(have) for c in (old, new))
                problems.append("%s %s: %r" % (name, "cut short" if cut else "other content", have[:60]))
        return problems


# The calls whose failure once crashed the bar, hung it or cost a file (docs/reliability.md): ./test
# and tools/mutate.py's "failures" tier run each failing in these scenarios.
REGRESSIONS = ("USER32!PostMessageA", "USER32!GetWindowRect", "USER32!GetMessageA", "KERNEL32!GetModuleFileNameA",
               "KERNEL32!LocalAlloc")
REGRESSION_SCENARIOS = ("startup", "exit", "close")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "win64"))
    parser.add_argument("--personality", default="win10")
    parser.add_argument("--scenarios", default=",".join(SCENARIOS))
    parser.add_argument("--functions", default="", help="only these DLL!Function, comma-separated")
    parser.add_argument("--sample", action="store_true", help="only the first call of each function")
    parser.add_argument("--exhaust", action="store_true", help="also every call from the first on")
    parser.add_argument("--max-calls", type=int, default=0, help="at most the first N calls of each function")
    parser.add_argument("--report")
    parser.add_argument("--check", action="store_true", help="exit 1 when a run crashed, hung or harmed a file")
    parser.add_argument("--regressions", action="store_true",
                        help="only the first call of each call that once did harm, in " + ",".join(REGRESSION_SCENARIOS))
    args = parser.parse_args()
    if args.regressions:
        args.scenarios, args.functions, args.sample = ",".join(REGRESSION_SCENARIOS), ",".join(REGRESSIONS), True
    scenarios = [s for s in args.scenarios.split(",") if s]
    unknown = [s for s in scenarios if s not in SCENARIOS]
    if unknown:
        sys.exit("sweep: unknown scenarios %s (known: %s)" % (unknown, ", ".join(SCENARIOS)))
    failures = read_failures(TABLE)
    only = {f.strip().upper() for f in args.functions.split(",") if f.strip()}
    wine_mode = personality_fact(args.personality, "wine")
    if personality_fact(args.personality, "version") is None:
        sys.exit("sweep: no personality %s in %s" % (args.personality, PERSONALITIES))
    build = os.path.abspath(args.build)
    for name in ("velkin.exe", "velkin-driver.exe", "velkin-launch.exe", "vpersona.dll"):
        if not os.path.exists(os.path.join(build, name)):
            sys.exit("sweep: no %s in %s (scripts/build.sh win64)" % (name, build))
    os.makedirs(SCRATCH, exist_ok=True)
    wine = Wine()
    results, unlisted, broken = [], set(), []
    try:
        wine.version_mode(wine_mode[0] if wine_mode else "")
        sweep = Sweep(wine, build, args.personality)
        for scenario in scenarios:
            counts, reference = sweep.count(scenario)
            if counts is None:
                broken.append(scenario)
                continue
            called = sorted(n for n, c in counts.items() if c > 0)
            unlisted |= {n for n in called if n not in failures}
            fallible = [n for n in called if n in failures and failures[n][1] != "never" and (not only or n in only)]
            print("== %s: %d functions called, %d of them fallible, %d calls of those" %
                  (scenario, len(called), len(fallible), sum(counts[n] for n in fallible)), flush=True)
            plan = []
            for name in fallible:
                last = 1 if args.sample else counts[name]
                if args.max_calls:
                    last = min(last, args.max_calls)
                plan += ["%s:%d" % (failures[name][0], n) for n in range(1, last + 1)]
                if args.exhaust:
                    plan.append("%s:1+" % failures[name][0])
            for target in plan:
                text, in_time = sweep.run(scenario, {"VELKIN_FAIL": target})
                result = sweep.judge(scenario, target, text, in_time, reference)
                results.append(result)
                if result.outcome != "went-on":
                    sweep.keep(scenario, target, text)
                print(result.line(), flush=True)
    finally:
        wine.version_mode("")
        wine.stop()
    summary = summarize(results, scenarios)
    print(summary)
    if unlisted:
        print("sweep: called but not in %s: %s" % (os.path.relpath(TABLE, ROOT), ", ".join(sorted(unlisted))))
    if args.report:
        write_report(args.report, args, results, summary, unlisted)
    if broken:
        print("sweep: not swept, the run without failure did not end cleanly: " + ", ".join(broken))
        return 2
    # A crash, a hang or a file lost or damaged fails the run; going on or ending does not.
    bad = [r for r in results if r.outcome in ("crash", "hang", "files")]
    print("%d passed, %d failed" % (len(results) - len(bad), len(bad)))
    return 1 if args.check and bad else 0


def summarize(results, scenarios):
    lines = ["", "%-12s %5s %s %s" % ("scenario", "runs", " ".join("%8s" % o for o in OUTCOMES), "not-reached")]
    for scenario in scenarios + ["all"]:
        mine = [r for r in results if scenario in ("all", r.scenario)]
        lines.append("%-12s %5d %s %11d" % (scenario, len(mine),
                                            " ".join("%8d" % sum(r.outcome == o for r in mine) for o in OUTCOMES),
                                            sum(not r.reached for r in mine)))
    return "\n".join(lines)


def write_report(path, args, results, summary, unlisted):
    with open(path, "w", encoding="utf-8") as f:
        f.write("# Failure sweep\n\n")
        f.write("Personality %s, build %s%s%s.\n\n" % (args.personality, os.path.relpath(os.path.abspath(args.build), ROOT),
                                                      ", the first call of each function" if args.sample else "",
                                                      ", with exhaustion" if args.exhaust else ""))
        f.write("```\n%s\n```\n\n" % summary.strip("\n"))
        bad = [r for r in results if r.outcome in ("crash", "hang", "files")]
        f.write("## Findings\n\n")
        if not bad:
            f.write("None: no crash, hang or damaged file.\n\n")
        for r in bad:
            f.write("- **%s** in %s, `%s`%s: %s\n" % (r.outcome, r.scenario, r.target,
                                                    "" if r.reached else " (not reached)", r.detail or "-"))
        f.write("\n## Every run\n\n| scenario | failed call | outcome | reached | detail |\n|---|---|---|---|---|\n")
        for r in results:
            f.write("| %s | `%s` | %s | %s | %s |\n" % (r.scenario, r.target, r.outcome, "yes" if r.reached else "no",
                                                     r.detail.replace("|", "\\|")))
        if unlisted:
            f.write("\nCalled but not in the table of failures: %s\n" % ", ".join(sorted(unlisted)))


if __name__ == "__main__":
    sys.exit(main())
