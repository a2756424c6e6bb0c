#!/bin/sh
# Runs the search benchmark of the build folder given and prints its ratios. With the catalogue
# generator built, it searches a generated catalogue of 1,000 files x 100 tweaks through the
# catalogue and with grep; otherwise the matcher alone over tweaks made up in memory.
set -eu
case "${1:-}" in
  -h|--help)
    echo "usage: bench/matching/run.sh BUILD_DIR [benchmark options]"
    echo "  GORVANE_BENCH_CATALOGUE=DIR searches DIR instead of a generated catalogue"
    exit 0 ;;
esac
build=${1:-build/release}
[ $# -gt 0 ] && shift
exe="$build/bench/matching/matching_bench"
if [ ! -x "$exe" ]; then
  echo "matching bench: $exe is not built (cmake --build $build --target matching_bench)" >&2
  exit 1
fi
gen="$build/bench/catalogue/gorvane-gen-catalogue"
dir=${GORVANE_BENCH_CATALOGUE:-}
if [ -z "$dir" ] && [ -x "$gen" ]; then
  dir="$build/bench/matching/catalogue"
  if [ ! -f "$dir/tweaks-0999.ini" ]; then
    echo "generating the synthetic catalogue in $dir"
    rm -rf "$dir"
    "$gen" "$dir" --files 1000 --tweaks 100 --seed 1 >/dev/null
  fi
fi
if [ -n "$dir" ]; then
  # grep is timed over files already in the page cache.
  cat "$dir"/*.ini >/dev/null
  "$exe" --catalogue "$dir" --benchmark_min_time=0.3 --benchmark_repetitions=3 "$@"
else
  echo "matching bench: no catalogue generator in $build/bench/catalogue; the matcher alone" >&2
  "$exe" --benchmark_min_time=0.3 --benchmark_repetitions=3 "$@"
fi
