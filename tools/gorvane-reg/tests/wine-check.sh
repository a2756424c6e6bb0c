#!/bin/sh
# Builds gorvane-reg for Windows and runs its end-to-end tests with it under Wine, whose registry is
# an independent implementation of the real one.
#   tools/gorvane-reg/tests/wine-check.sh SOURCE_DIR WORK_DIR CLI_TEST_PROGRAM
# Exits 77 (skipped) when the cross compiler or Wine is missing.
set -eu
case "${1:-}" in
  -h|--help|"") sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
src=$1
work=$2
tests=$3
for tool in x86_64-w64-mingw32-g++-posix wine wineserver cmake ninja; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "gorvane-reg wine check skipped: $tool is not installed (scripts/setup.sh test installs it)"
    exit 77
  fi
done

mkdir -p "$work"
cmake -S "$src/tools/gorvane-reg/tests/wine" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" -j2 --target gorvane-reg >"$work/build.log" 2>&1 ||
  { tail -50 "$work/build.log"; exit 1; }

# A fresh prefix every run, so that the tests start from an empty registry; the server is stopped
# on every exit, since one left running keeps the pipes of whoever started it open.
WINEPREFIX="$work/prefix"
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY
# A server of an earlier run that is still going would be found again by the new prefix.
stop_server() { wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true; }
[ -d "$WINEPREFIX" ] && stop_server
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
trap stop_server EXIT INT TERM
wineserver -p
wine wineboot -i </dev/null >/dev/null 2>&1 || true
GORVANE_REG_COMMAND="wine $work/build/gorvane-reg/gorvane-reg.exe" "$tests" --gtest_color=no </dev/null
