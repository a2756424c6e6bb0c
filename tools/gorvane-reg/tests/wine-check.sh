#!/bin/sh
# Builds gorvane-reg for Windows and runs its end-to-end tests with it under Wine, whose registry is
# an independent implementation of the real one.
#   tools/gorvane-reg/tests/wine-check.sh SOURCE_DIR WORK_DIR CLI_TEST_PROGRAM
# Exits 77 (skipped) when the cross compiler or Wine is missing.
set -eu
case "${1:-}" in
  -h|--help|"") sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
src=$(cd "$1" && pwd)
tests=$3
. "$src/cmake/wine-run.sh"
wine_require_tools "gorvane-reg wine check"
mkdir -p "$2"
work=$(cd "$2" && pwd)

wine_cross_build "$src" "$src/tools/gorvane-reg/tests/wine" "$work" gorvane-reg
# A fresh prefix every run, so that the tests start from an empty registry.
wine_fresh_prefix "$work"
wine wineboot -i </dev/null >/dev/null 2>&1 || true
GORVANE_REG_COMMAND="wine $work/build/gorvane-reg/gorvane-reg.exe" "$tests" --gtest_color=no </dev/null
