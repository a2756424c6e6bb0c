#!/bin/sh
# Builds the registry library with its Windows backend and the conformance suite for Windows, and
# runs the suite under Wine, whose registry is an independent implementation of the real one.
#   registry/tests/wine-crosscheck.sh SOURCE_DIR WORK_DIR
# Exits 77 (skipped) when the cross compiler, Wine or the GoogleTest sources are missing.
set -eu
case "${1:-}" in
  -h|--help|"") sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
src=$(cd "$1" && pwd)
. "$src/cmake/wine-run.sh"
wine_require_tools "wine cross-check"
if [ ! -f /usr/src/googletest/CMakeLists.txt ]; then
  echo "wine cross-check skipped: no GoogleTest sources in /usr/src/googletest"
  exit 77
fi
mkdir -p "$2"
work=$(cd "$2" && pwd)

wine_cross_build "$src" "$src/registry/tests/wine" "$work" registry_conformance
wine_fresh_prefix "$work"
wine "$work/build/registry/tests/registry_conformance.exe" --gtest_color=no </dev/null
