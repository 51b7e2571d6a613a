#!/usr/bin/env python3
"""Judges the tests by the faults they catch.

Usage: tools/mutate.py [--faults FILE] [--only N[,N...]] [--report FILE] [--timeout SECONDS]

Each fault in the list (tools/mutations.txt) is one small change to one line of src/: a text
that must occur exactly once on that line and what it becomes. For each fault, in a scratch
copy of the tree (build/mutate/tree, with build trees of its own that are kept between runs so
that each fault rebuilds only what it touches), the fault is applied, the builds that can carry
it are made and the tiers that can catch it are run, then the line is put back. The verdicts:
  killed               a build fails or a tier fails (the report names the failing tests);
                       "killed (by signal)" when the tier's process was ended by a signal
  killed (by timeout)  a tier runs past its time (TIMEOUTS): it is ended with every process it
                       started, and the Wine server of its prefix
  survived             every tier passes
  blind                a listed tier builds nothing of the faulty file (its build remade none of
                       the programs it runs), so it is not run, and no other tier kills the fault;
                       counted neither killed nor survived

The list's lines:   path:line | old text | new text | tiers
  tiers: any of native, windows, e2e, e2e32, pe, persona, failures (comma-separated); the tiers that can
  see the fault. persona-win95+nt4 runs the personality tier in those personalities only. Blank lines and lines starting with # are comments.
  A fault in a file's permissions is written path:mode | old mode | new mode | tiers, the
  modes in octal (bench/run.sh:mode | 755 | 644 | pe: the script loses its run bit).

Prints one line per fault and the score; --report also writes them as Markdown. Exits 0 when
it could judge every fault (whatever the score), 2 when a fault does not apply.
It is not part of ./test: it makes many builds.
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SCRATCH = os.path.join(ROOT, "build", "mutate")
TREE = os.path.join(SCRATCH, "tree")
TIERS = ("native", "windows", "e2e", "e2e32", "pe", "persona", "failures")
# "persona-win95+nt4": the personality tier in those personalities only (tests/personality).
PERSONA = "persona-"


class Fault:
    def __init__(self, number, path, line, old, new, tiers):
        self.number, self.path, self.line = number, path, line
        self.old, self.new, self.tiers = old, new, tiers

    def __str__(self):
        return "%s:%s  %s  ->  %s" % (self.path, self.line or "mode", self.old, self.new)


def read_faults(path):
    faults = []
    with open(path, encoding="utf-8") as f:
        for lineno, text in enumerate(f, 1):
            text = text.rstrip("\n")
            if not text.strip() or text.lstrip().startswith("#"):
                continue
            parts = [p.strip() for p in text.split(" | ")]
            if len(parts) != 4 or ":" not in parts[0]:
                sys.exit("mutate: %s:%d: expected 'path:line | old | new | tiers'" % (path, lineno))
            where, old, new, tiers = parts
            file_path, line = where.rsplit(":", 1)
            tier_list = [t.strip() for t in tiers.split(",") if t.strip()]
            bad = [t for t in tier_list if t not in TIERS and not t.startswith(PERSONA)]
            if bad or not tier_list:
                sys.exit("mutate: %s:%d: unknown tiers %s" % (path, lineno, bad or tiers))
            faults.append(Fault(len(faults) + 1, file_path, 0 if line == "mode" else int(line), old, new,
                                tier_list))
    return faults


class Outcome:
    """How a command ended: its exit status, or the signal that ended it, or its time running out."""

    def __init__(self, status, output, timed_out=False):
        self.status, self.output, self.timed_out = status, output, timed_out

    def failed(self):
        return self.timed_out or self.status != 0

    def how(self, tier, seconds):
        """What ended a failed tier, for the report."""
        if self.timed_out:
            return "%s: no end within %d s" % (tier, seconds)
        if self.status < 0:
            return "%s: ended by signal %s" % (tier, signal_name(-self.status))
        names = failed_tests(tier, self.output)
        return "%s: %s" % (tier, ", ".join(names) if names else "fails")


def signal_name(number):
    try:
        return signal.Signals(number).name
    except ValueError:
        return str(number)


def run(command, log, timeout, cwd=TREE, wine_prefix=None):
    """Runs a shell command in the scratch tree, in a process group of its own: one that runs
    past `timeout` seconds is ended with everything it started, and the Wine server of its prefix
    with them. Returns an Outcome."""
    started = time.time()
    with tempfile.TemporaryFile() as out:
        proc = subprocess.Popen(["bash", "-c", command], cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True)
        timed_out = False
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            timed_out = True
            end_group(proc)
        if wine_prefix is not None and (timed_out or proc.returncode < 0):
            try:
                subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=os.path.join(cwd, wine_prefix)),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
            except subprocess.TimeoutExpired:
                print("mutate: wineserver -k did not end for %s" % wine_prefix, file=sys.stderr)
        out.seek(0)
        outcome = Outcome(proc.returncode, out.read().decode("utf-8", "replace"), timed_out)
    with open(log, "a", encoding="utf-8") as f:
        f.write("$ %s  (%.0f s, %s)\n%s\n" % (command, time.time() - started,
                                             "timed out" if timed_out else "exit %d" % proc.returncode,
                                             outcome.output))
    return outcome


def end_group(proc):
    """Ends a command's process group: politely first, so that Xvfb removes its lock, and for
    good what is left of it ten seconds later."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(proc.pid, sig)
        except ProcessLookupError:
            break
        deadline = time.time() + 10
        while time.time() < deadline:
            proc.poll()  # the group's leader, once ended, is no member any more
            try:
                os.killpg(proc.pid, 0)
            except ProcessLookupError:
                return
            time.sleep(0.2)
    proc.wait(timeout=30)


def sync_tree():
    """The scratch tree: the working tree's files that git knows or would take, without its
    builds and history. A file whose bytes are unchanged is left alone, so that its builds stay
    up to date between runs."""
    listed = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT, check=True,
                            stdout=subprocess.PIPE).stdout.decode("utf-8").split("\0")
    for name in filter(None, listed):
        source, target = os.path.join(ROOT, name), os.path.join(TREE, name)
        if not os.path.isfile(source):
            continue
        with open(source, "rb") as f:
            data = f.read()
        if os.path.isfile(target):
            with open(target, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(source, target)
    for name in filter(None, listed):  # a file's run bit is part of it
        source, target = os.path.join(ROOT, name), os.path.join(TREE, name)
        if os.path.isfile(source) and os.path.isfile(target):
            shutil.copymode(source, target)


BUILDS = {
    "native": "cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DVELKIN_SANITIZE=ON >/dev/null && "
              "cmake --build build/native -j2",
    "win64": "cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release "
             "-DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/toolchain-x86_64.cmake >/dev/null && cmake --build build/win64 -j2",
    "win32": "cmake -S . -B build/win32 -DCMAKE_BUILD_TYPE=Release -DVELKIN_TESTS=OFF "
             "-DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/toolchain-i686.cmake >/dev/null && cmake --build build/win32 -j2",
}
NEEDS = {"native": ["native"], "windows": ["win64"], "e2e": ["win64"], "e2e32": ["win64", "win32"],
         "pe": ["win32"], "persona": ["win64", "win32"], "failures": ["win64"]}
TIER_COMMANDS = {
    "native": "ctest --test-dir build/native --output-on-failure",
    "windows": "export VELKIN_HEADLESS=1 WINEPREFIX_VELKIN=$PWD/build/wineprefix; . scripts/wine-env.sh; "
               "velkin_start_display && velkin_prepare_prefix && "
               "VELKIN_HEADLESS=0 ctest --test-dir build/win64 --output-on-failure; "
               "rc=$?; wineserver -k; velkin_stop_display; exit $rc",
    "e2e": "bash tests/e2e/run_e2e.sh build/win64",
    "e2e32": "bash tests/e2e/run_e2e.sh build/win64 build/win32/velkin.exe",
    "pe": "bash tests/pe/test_pecheck.sh build/win32/velkin.exe",
    "persona": "bash tests/personality/run.sh build/win64 build/win32",
    "failures": "python3 tools/sweep.py --sample --check",
}


# Seconds a build or a tier may run before it is ended; a few times what each normally takes
# (the windows tier about 40 s for both code pages, e2e 4 min, e2e32 5 min, the personalities
# 6 min, native 30 s). A tier that runs past its time is a fault's catch: a hang is a failure.
BUILD_TIMEOUT = 1800
TIMEOUTS = {"native": 300, "windows": 300, "e2e": 1200, "e2e32": 1500, "pe": 300, "persona": 1800, "failures": 600}
# The Wine prefix of each tier that runs Wine, in the scratch tree, for `wineserver -k` after a
# tier that had to be ended.
WINE_PREFIXES = {"windows": "build/wineprefix", "e2e": "build/e2e/wineprefix", "e2e32": "build/e2e/wineprefix",
                 "persona": "build/e2e/wineprefix", "failures": "build/e2e/wineprefix"}
# The programs a tier runs from its builds: when the fault's build relinks none of them, the
# tier builds nothing of the faulty file and cannot see the fault.
TIER_PROGRAMS = {"native": ["build/native/velkin_unittests"], "windows": ["build/win64/velkin_wintests.exe"],
                 "e2e": ["build/win64/velkin.exe"], "e2e32": ["build/win32/velkin.exe"],
                 "failures": ["build/win64/velkin.exe"]}


def tier_timeout(tier, override=None):
    return override or TIMEOUTS["persona" if tier.startswith(PERSONA) else tier]


def tier_prefix(tier):
    return WINE_PREFIXES.get("persona" if tier.startswith(PERSONA) else tier)


def program_times(tiers):
    """The modification times of the programs the tiers run (None for one not built)."""
    times = {}
    for tier in tiers:
        for program in TIER_PROGRAMS.get(tier, []):
            path = os.path.join(TREE, program)
            times[program] = os.stat(path).st_mtime_ns if os.path.exists(path) else None
    return times


def tier_command(tier):
    if tier.startswith(PERSONA):
        return "VELKIN_PERSONALITIES='%s' %s" % (tier[len(PERSONA):].replace("+", " "), TIER_COMMANDS["persona"])
    return TIER_COMMANDS[tier]


def tier_needs(tier):
    return NEEDS["persona" if tier.startswith(PERSONA) else tier]


def failed_tests(tier, output):
    """The names of the checks that failed, as the tier prints them."""
    if tier in ("native", "windows"):
        names = re.findall(r"^\[  FAILED  \] ([A-Za-z_][\w./]*)", output, re.M)
        names += re.findall(r"^\s*\d+ - ([\w./]+) \(Failed\)", output, re.M)
    elif tier == "pe":
        names = re.findall(r"^FAIL: (.+)$", output, re.M)
    else:
        names = re.findall(r"^FAIL ([^\s:]+)", output, re.M)
    return sorted(set(names))[:4]


def builds_for(tiers):
    builds = []
    for tier in tiers:
        builds += [b for b in tier_needs(tier) if b not in builds]
    return builds


def build(name, log):
    """Makes one build: None when it is made, else why not."""
    outcome = run(BUILDS[name], log, BUILD_TIMEOUT)
    if outcome.timed_out:
        return "the %s build does not end within %d s" % (name, BUILD_TIMEOUT)
    return "the %s build fails" % name if outcome.failed() else None


def judge(fault, log, timeout):
    # The builds are first brought up to date with the unmutated tree (the last fault's line was
    # put back), so that what they remake next is the fault's doing alone.
    for name in builds_for(fault.tiers):
        if build(name, log) is not None:
            sys.exit("mutate: the unmutated %s build fails; see %s" % (name, log))
    before = program_times(fault.tiers)
    path = os.path.join(TREE, fault.path)
    if fault.line == 0:
        mode = os.stat(path).st_mode & 0o777
        if mode != int(fault.old, 8):
            return "not applied", "%s has mode %o, not %s" % (fault.path, mode, fault.old)
        os.chmod(path, int(fault.new, 8))
        try:
            return run_tiers(fault, before, log, timeout)
        finally:
            os.chmod(path, mode)
    with open(path, encoding="utf-8") as f:
        original = f.read()
    lines = original.split("\n")
    if not 1 <= fault.line <= len(lines) or lines[fault.line - 1].count(fault.old) != 1:
        return "not applied", "'%s' is not on line %d once" % (fault.old, fault.line)
    lines[fault.line - 1] = lines[fault.line - 1].replace(fault.old, fault.new)
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))
    try:
        return run_tiers(fault, before, log, timeout)
    finally:
        with open(path, "w", encoding="utf-8") as f:
            f.write(original)


def run_tiers(fault, before, log, timeout):
    """Builds what the applied fault needs and runs its tiers: (verdict, why). A tier none of
    whose programs the fault's build remade is blind to it and is not run."""
    for name in builds_for(fault.tiers):
        failure = build(name, log)
        if failure is not None:
            return "killed", failure
    after = program_times(fault.tiers)
    blind = [t for t in fault.tiers if TIER_PROGRAMS.get(t) and all(before[p] == after[p] for p in TIER_PROGRAMS[t])]
    seeing = [t for t in fault.tiers if t not in blind]
    for tier in seeing:
        seconds = tier_timeout(tier, timeout)
        outcome = run(tier_command(tier), log, seconds, wine_prefix=tier_prefix(tier))
        if outcome.failed():
            verdict = "killed (by timeout)" if outcome.timed_out else "killed (by signal)" if outcome.status < 0 else "killed"
            return verdict, outcome.how(tier, seconds)
    if blind:
        return "blind", "; ".join("blind: %s builds nothing of %s" % (t, fault.path) for t in blind) + \
            ("" if not seeing else " (%s passes)" % ", ".join(seeing))
    return "survived", "every tier passes (%s)" % ", ".join(fault.tiers)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Judges the tests by the faults they catch.")
    parser.add_argument("--faults", default=os.path.join(ROOT, "tools", "mutations.txt"))
    parser.add_argument("--only", help="fault numbers to run, comma-separated")
    parser.add_argument("--report", help="also write the results as Markdown here")
    parser.add_argument("--timeout", type=int, help="every tier's time limit in seconds, for trials "
                                                    "(the limits of TIMEOUTS otherwise)")
    args = parser.parse_args(argv)
    faults = read_faults(args.faults)
    if args.only:
        wanted = {int(n) for n in args.only.split(",")}
        faults = [f for f in faults if f.number in wanted]
    sync_tree()
    log = os.path.join(SCRATCH, "mutate.log")
    open(log, "w").close()
    # The unmutated tree must build and pass first: a tier that fails anyway proves nothing.
    tiers = sorted({t for f in faults for t in f.tiers}, key=lambda t: (TIERS.index(t.split("-")[0]), t))
    for name in builds_for(tiers):
        if build(name, log) is not None:
            sys.exit("mutate: the unmutated %s build fails; see %s" % (name, log))
    for tier in tiers:
        outcome = run(tier_command(tier), log, tier_timeout(tier, args.timeout), wine_prefix=tier_prefix(tier))
        if outcome.failed():
            sys.exit("mutate: the unmutated tree fails the %s tier (%s); see %s"
                     % (tier, outcome.how(tier, tier_timeout(tier, args.timeout)), log))
    results = []
    for fault in faults:
        started = time.time()
        verdict, why = judge(fault, log, args.timeout)
        results.append((fault, verdict, why))
        print("%2d %-19s %s  [%s] (%.0f s)" % (fault.number, verdict, fault, why, time.time() - started),
              flush=True)
        if verdict == "not applied":
            sys.exit(2)
    # A blind fault is judged by no tier: it counts neither way.
    killed = sum(1 for _, v, _ in results if v.startswith("killed"))
    blind = sum(1 for _, v, _ in results if v == "blind")
    judged = len(results) - blind
    score = "%d of %d faults killed: %.0f %%" % (killed, judged, 100.0 * killed / max(judged, 1))
    if blind:
        score += " (%d more blind: no listed tier builds the file)" % blind
    print(score)
    if args.report:
        with open(args.report, "w", encoding="utf-8") as f:
            f.write("| # | fault | verdict | by |\n|---|---|---|---|\n")
            for fault, verdict, why in results:
                f.write("| %d | `%s:%d` `%s` → `%s` | %s | %s |\n"
                        % (fault.number, fault.path, fault.line, fault.old.replace("|", "\\|"),
                           fault.new.replace("|", "\\|"), verdict, why))
            f.write("\n%s\n" % score)
    return 0


if __name__ == "__main__":
    sys.exit(main())
