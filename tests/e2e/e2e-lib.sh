# Sourced by the end-to-end scripts (tests/e2e/run_e2e.sh, tests/personality/run.sh): the
# totals of checks, the driver and the Wine server, and the settings files' bytes.
# The caller sets $driver (velkin-driver.exe) and has sourced scripts/wine-env.sh.

passed=0
failed=0

pass() { passed=$((passed + 1)); echo "PASS $1"; }
fail() { failed=$((failed + 1)); echo "FAIL $1: $2"; }

# Adds a driver transcript's summary to the totals; a transcript without one is a failure.
tally() {  # name transcript exit-code
  local line p f
  # Wine may write its own complaint into the same line when the session's end takes the server.
  line=$(grep -aoE '(^|: )[0-9]+ passed, [0-9]+ failed$' "$2" | tail -n 1)
  if [ -z "$line" ]; then
    fail "$1" "a summary line from the driver, got none (exit code $3)"
    return
  fi
  line=${line#: }
  p=${line%% passed*}
  f=${line#*passed, }
  f=${f%% failed}
  passed=$((passed + p))
  failed=$((failed + f))
  [ "$f" != 0 ] || [ "$3" = 0 ] || fail "$1" "exit code 0 with no failed checks, got $3"
}

# Ends every Wine process of the prefix and waits until the server is gone.
fresh_server() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
}

# Runs the driver with its output in a file: a pipe would stay open as long as any Wine process
# started meanwhile (the server, the desktop, the bar) holds it.
run_driver() { timeout 300 wine "$driver" "${@:2}" >"$1" 2>&1; }  # transcript args...

# Wine's Windows version for every program of the prefix; none set means Wine's own choice.
wine_version_value() {  # win95 | win98 | ""
  if [ -n "$1" ]; then wine reg add 'HKCU\Software\Wine' /v Version /d "$1" /f; else
    wine reg delete 'HKCU\Software\Wine' /v Version /f; fi >/dev/null 2>&1
}

# Writes a file of lines (UTF-8 here, CP932 in the file), each ending in CR LF.
write_lines() {  # file [line...]
  python3 -c 'import sys; open(sys.argv[1], "wb").write(b"".join(l.encode("cp932") + b"\r\n" for l in sys.argv[2:]))' "$@"
}

# Checks a file's bytes against lines written as write_lines writes them (none: an empty file).
expect_lines() {  # name file [line...]
  local name=$1 file=$2 want
  shift 2
  want=$(mktemp)
  write_lines "$want" "$@"
  if cmp -s "$want" "$file"; then
    pass "$name"
  else
    fail "$name" "$(od -An -c "$want" | tr -s ' \n' ' ') in $file, got $(od -An -c "$file" 2>&1 | tr -s ' \n' ' ')"
  fi
  rm -f "$want"
}

# Checks that a folder holds exactly these files: nothing left over as "X.new" or "X.old",
# nothing written to the wrong place.
expect_files() {  # name folder [file...]
  local name=$1 dir=$2 got want
  shift 2
  got=$(cd "$dir" 2>/dev/null && ls -A | LC_ALL=C sort | tr '\n' ' ')
  want=$( (($# > 0)) && printf '%s\n' "$@" | LC_ALL=C sort | tr '\n' ' ')
  if [ "$got" = "$want" ]; then pass "$name"; else fail "$name" "\"$want\" in $dir, got \"$got\""; fi
}
