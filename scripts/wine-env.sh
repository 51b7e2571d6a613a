# Sourced by the scripts that run Windows programs under Wine.
# Sets a private prefix under build/, the Japanese locale (ANSI code page 932) and a display:
# the caller's DISPLAY when it is set, otherwise a virtual 1024x768x24 screen of our own.
# VELKIN_HEADLESS=1 forces the virtual screen even when DISPLAY is set (the tests use it).
# VELKIN_LOCALE names another locale, and so another ANSI code page: Wine takes it from the
# locale it starts in (C.UTF-8 gives 1252), which is how the tests see the bar on a
# non-Japanese Windows.

velkin_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX_VELKIN:-$velkin_root/build/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs: the program needs neither.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
export LANG="${VELKIN_LOCALE:-ja_JP.UTF-8}" LC_ALL="${VELKIN_LOCALE:-ja_JP.UTF-8}"

velkin_xvfb_pid=""
velkin_start_display() {
  if [ -n "${DISPLAY:-}" ] && [ "${VELKIN_HEADLESS:-0}" != 1 ]; then
    return 0
  fi
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    velkin_xvfb_pid=$!
    local i
    for i in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    if kill -0 "$velkin_xvfb_pid" 2>/dev/null; then
      export DISPLAY=":$n"
      return 0
    fi
  done
  echo "wine-env: could not start Xvfb" >&2
  return 1
}

velkin_stop_display() {
  if [ -n "$velkin_xvfb_pid" ]; then
    kill "$velkin_xvfb_pid" 2>/dev/null || true
    wait "$velkin_xvfb_pid" 2>/dev/null || true
    velkin_xvfb_pid=""
  fi
}

# Whether 32-bit Wine is installed, so that 32-bit programs run: "yes" or "no".
velkin_wine32() {
  if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    echo yes
  else
    echo no
  fi
}

# Creates the prefix once; later calls find it ready. A prefix made before 32-bit Wine was
# installed (or removed) does not start afterwards ("could not load kernel32.dll"), so the prefix
# records which Wine made it and is made anew when that changes.
velkin_prepare_prefix() {
  local made_with
  made_with=$(cat "$WINEPREFIX/.velkin-wine32" 2>/dev/null || true)
  if [ -f "$WINEPREFIX/system.reg" ] && [ "$made_with" != "$(velkin_wine32)" ]; then
    echo "wine-env: making $WINEPREFIX anew for $( [ "$(velkin_wine32)" = yes ] && echo 'with' || echo 'without') 32-bit Wine" >&2
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    velkin_wine32 >"$WINEPREFIX/.velkin-wine32"
    wineboot -i >/dev/null 2>&1 || true
    # Without a window manager, Wine waits two seconds for every managed window to be withdrawn
    # when it is hidden or destroyed; unmanaged windows need no such wait.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    wineserver -w
  fi
}
