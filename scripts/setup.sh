#!/usr/bin/env bash
# Installs what building and running Velkin needs on Debian 12, skipping what is already there.
# Where the kernel runs 32-bit programs, that includes 32-bit Wine (wine32:i386), which runs the
# 32-bit release build as it ships. Needs root, or sudo for dpkg, apt-get and locale-gen.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev
  googletest
  g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64
  xvfb xauth x11-utils imagemagick
  locales fonts-ipafont-gothic
  python3 python3-pefile python3-capstone
)

sudo_cmd=()
if [ "$(id -u)" != 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if bash "$(dirname "$0")/can-run-32bit.sh"; then
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      echo "setup: adding the i386 architecture for 32-bit Wine"
      "${sudo_cmd[@]}" dpkg --add-architecture i386
    fi
    missing+=(wine32:i386)
  fi
else
  echo "setup: this machine cannot run 32-bit programs; the 32-bit build will not be run"
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes the ANSI code page from the locale: ja_JP.UTF-8 gives code page 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating the ja_JP.UTF-8 locale"
  if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
