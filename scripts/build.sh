#!/usr/bin/env bash
# Configures and builds the three builds of the tree:
#   build/native  the portable core and its unit tests (with sanitizers when VELKIN_SANITIZE=ON)
#   build/win32   the 32-bit Windows program, the release build (build/win32/velkin.exe)
#   build/win64   the 64-bit Windows program, the Windows tests and the end-to-end driver
#   build/fuzz    the fuzz targets of the file readers (clang)
# Usage: scripts/build.sh [native] [win32] [win64] [fuzz]   (all when none is named)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(native win32 win64 fuzz)
jobs=$(nproc 2>/dev/null || echo 2)

for t in "${targets[@]}"; do
  case "$t" in
    native)
      cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DVELKIN_SANITIZE="${VELKIN_SANITIZE:-ON}" >/dev/null
      ;;
    win32)
      cmake -S . -B build/win32 -DCMAKE_BUILD_TYPE=Release -DVELKIN_TESTS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686.cmake" >/dev/null
      ;;
    win64)
      cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64.cmake" >/dev/null
      ;;
    fuzz)
      CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DVELKIN_FUZZ=ON -DVELKIN_TESTS=OFF >/dev/null
      ;;
    *) echo "build.sh: unknown build '$t'" >&2; exit 2 ;;
  esac
  echo "build.sh: building $t"
  cmake --build "build/$t" -j "$jobs"
done
