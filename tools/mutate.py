#!/usr/bin/env python3
"""Judges the tests by the faults they catch.

Usage: tools/mutate.py [--faults FILE] [--only N[,N...]] [--report FILE]

Each fault in the list (tools/mutations.txt) is one small change to one line of src/: a text
that must occur exactly once on that line and what it becomes. For each fault, in a scratch
copy of the tree (build/mutate/tree, with build trees of its own that are kept between runs so
that each fault rebuilds only what it touches), the fault is applied, the builds that can carry
it are made and the tiers that can catch it are run, then the line is put back. A fault is
killed when a build fails or a tier fails (the report names the failing tests), and survives
when every tier passes.

The list's lines:   path:line | old text | new text | tiers
  tiers: any of native, windows, e2e, e2e32, pe, persona (comma-separated); the tiers that can
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
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SCRATCH = os.path.join(ROOT, "build", "mutate")
TREE = os.path.join(SCRATCH, "tree")
TIERS = ("native", "windows", "e2e", "e2e32", "pe", "persona")
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


def run(command, log, cwd=TREE, timeout=900, env=None):
    """Runs a shell command in the scratch tree; returns (exit status, output)."""
    started = time.time()
    proc = subprocess.run(["bash", "-c", command], cwd=cwd, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=timeout, env=env)
    out = proc.stdout.decode("utf-8", "replace")
    with open(log, "a", encoding="utf-8") as f:
        f.write("$ %s  (%.0f s, exit %d)\n%s\n" % (command, time.time() - started, proc.returncode, out))
    return proc.returncode, out


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
         "pe": ["win32"], "persona": ["win64", "win32"]}
TIER_COMMANDS = {
    "native": "ctest --test-dir build/native --output-on-failure",
    "windows": "export VELKIN_HEADLESS=1 WINEPREFIX_VELKIN=$PWD/build/wineprefix; . scripts/wine-env.sh; "
               "velkin_start_display && velkin_prepare_prefix && "
               "wine build/win64/velkin_wintests.exe && "
               "LANG=C.UTF-8 LC_ALL=C.UTF-8 wine build/win64/velkin_wintests.exe; "
               "rc=$?; wineserver -k; velkin_stop_display; exit $rc",
    "e2e": "bash tests/e2e/run_e2e.sh build/win64",
    "e2e32": "bash tests/e2e/run_e2e.sh build/win64 build/win32/velkin.exe",
    "pe": "bash tests/pe/test_pecheck.sh build/win32/velkin.exe",
    "persona": "bash tests/personality/run.sh build/win64 build/win32",
}


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


def judge(fault, log):
    path = os.path.join(TREE, fault.path)
    if fault.line == 0:
        mode = os.stat(path).st_mode & 0o777
        if mode != int(fault.old, 8):
            return "not applied", "%s has mode %o, not %s" % (fault.path, mode, fault.old)
        os.chmod(path, int(fault.new, 8))
        try:
            return run_tiers(fault, log)
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
        return run_tiers(fault, log)
    finally:
        with open(path, "w", encoding="utf-8") as f:
            f.write(original)


def run_tiers(fault, log):
    """Builds what the applied fault needs and runs its tiers: (verdict, why)."""
    builds = []
    for tier in fault.tiers:
        builds += [b for b in tier_needs(tier) if b not in builds]
    for build in builds:
        status, _ = run(BUILDS[build], log)
        if status != 0:
            return "killed", "the %s build fails" % build
    for tier in fault.tiers:
        status, out = run(tier_command(tier), log)
        if status != 0:
            names = failed_tests(tier, out)
            return "killed", "%s: %s" % (tier, ", ".join(names) if names else "fails")
    return "survived", "every tier passes (%s)" % ", ".join(fault.tiers)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Judges the tests by the faults they catch.")
    parser.add_argument("--faults", default=os.path.join(ROOT, "tools", "mutations.txt"))
    parser.add_argument("--only", help="fault numbers to run, comma-separated")
    parser.add_argument("--report", help="also write the results as Markdown here")
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
    builds = []
    for tier in tiers:
        builds += [b for b in tier_needs(tier) if b not in builds]
    for build in builds:
        if run(BUILDS[build], log)[0] != 0:
            sys.exit("mutate: the unmutated %s build fails; see %s" % (build, log))
    for tier in tiers:
        if run(tier_command(tier), log)[0] != 0:
            sys.exit("mutate: the unmutated tree fails the %s tier; see %s" % (tier, log))
    results = []
    for fault in faults:
        started = time.time()
        verdict, why = judge(fault, log)
        results.append((fault, verdict, why))
        print("%2d %-9s %s  [%s] (%.0f s)" % (fault.number, verdict, fault, why, time.time() - started),
              flush=True)
        if verdict == "not applied":
            sys.exit(2)
    killed = sum(1 for _, v, _ in results if v == "killed")
    score = "%d of %d faults killed: %.0f %%" % (killed, len(results), 100.0 * killed / max(len(results), 1))
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
