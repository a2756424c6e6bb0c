# Shared steps of the Windows checks that run under Wine; sourced by their scripts (POSIX sh).
#   wine_require_tools WHAT   exits 77 (skipped) when the cross compiler or Wine is missing
#   wine_cross_build SRC PROJECT_DIR WORK TARGET
#                             builds TARGET of the mingw-w64 project in PROJECT_DIR into WORK/build
#   wine_fresh_prefix WORK    a new, empty WINEPREFIX under WORK with its own server, stopped on exit

wine_require_tools() {
  for tool in x86_64-w64-mingw32-g++-posix wine wineserver cmake ninja; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "$1 skipped: $tool is not installed (scripts/setup.sh test installs it)"
      exit 77
    fi
  done
}

wine_cross_build() {
  cmake -S "$2" -B "$3/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-w64-x86_64.cmake" >"$3/configure.log" 2>&1 ||
    { cat "$3/configure.log"; exit 1; }
  cmake --build "$3/build" -j2 --target "$4" >"$3/build.log" 2>&1 ||
    { tail -50 "$3/build.log"; exit 1; }
}

# The server is stopped on every exit, since one left running keeps the pipes of whoever started
# it open; one of an earlier run that is still going would be found again by the new prefix.
wine_stop_server() { wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true; }

wine_fresh_prefix() {
  WINEPREFIX="$1/prefix"
  WINEDEBUG=-all
  WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
  unset DISPLAY WAYLAND_DISPLAY
  [ -d "$WINEPREFIX" ] && wine_stop_server
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  trap wine_stop_server EXIT INT TERM
  wineserver -p
}
