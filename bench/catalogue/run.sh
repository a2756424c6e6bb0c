#!/bin/sh
# Generates the synthetic catalogue under the build folder if it is missing, runs the load benchmark
# and prints its ratios, then measures the peak memory of one load.
set -eu
case "${1:-}" in
  -h|--help) echo "usage: bench/catalogue/run.sh BUILD_DIR"; exit 0 ;;
esac
build=${1:-build/release}
gen="$build/bench/catalogue/gorvane-gen-catalogue"
exe="$build/bench/catalogue/catalogue_bench"
for f in "$gen" "$exe"; do
  if [ ! -x "$f" ]; then
    echo "catalogue bench: $f is not built (cmake --build $build --target gorvane-gen-catalogue catalogue_bench)" >&2
    exit 1
  fi
done
data="$build/bench/catalogue/data"
if [ ! -f "$data/tweaks-0999.ini" ]; then
  echo "generating the synthetic catalogue in $data"
  rm -rf "$data"
  "$gen" "$data" --files 1000 --tweaks 100 --seed 1
fi
"$exe" --catalogue="$data" --benchmark_min_time=2
"$exe" --peak-memory="$data"
