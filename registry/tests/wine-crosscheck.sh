#!/bin/sh
# Builds the registry library with its Windows backend and the conformance suite for Windows, and
# runs the suite under Wine, whose registry is an independent implementation of the real one.
#   registry/tests/wine-crosscheck.sh SOURCE_DIR WORK_DIR
# Exits 77 (skipped) when the cross compiler, Wine or the GoogleTest sources are missing.
set -eu
case "${1:-}" in
  -h|--help|"") sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
src=$1
work=$2
for tool in x86_64-w64-mingw32-g++-posix wine wineserver cmake ninja; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "wine cross-check skipped: $tool is not installed (scripts/setup.sh test installs it)"
    exit 77
  fi
done
if [ ! -f /usr/src/googletest/CMakeLists.txt ]; then
  echo "wine cross-check skipped: no GoogleTest sources in /usr/src/googletest"
  exit 77
fi

mkdir -p "$work"
work=$(cd "$work" && pwd)
src=$(cd "$src" && pwd)
cmake -S "$src/registry/tests/wine" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" -j2 --target registry_conformance >"$work/build.log" 2>&1 ||
  { tail -50 "$work/build.log"; exit 1; }

# A fresh prefix every run, no display, no add-on installers; the server is stopped on every exit,
# since one left running keeps the pipes of whoever started it open.
WINEPREFIX="$work/prefix"
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT INT TERM
wineserver -p
wine "$work/build/registry/tests/registry_conformance.exe" --gtest_color=no </dev/null
