#!/bin/sh
# Generates the synthetic catalogue under the build folder if it is missing, then runs the rebuild
# benchmark of the main window offscreen and prints its medians and the 1000/100 ratio.
#   bench/gui/run.sh BUILD_DIR
set -eu
case "${1:-}" in
  -h|--help) echo "usage: bench/gui/run.sh BUILD_DIR"; exit 0 ;;
esac
build=${1:-build/release}
gen="$build/bench/catalogue/gorvane-gen-catalogue"
exe="$build/bench/gui/gui_bench"
for f in "$gen" "$exe"; do
  if [ ! -x "$f" ]; then
    echo "gui bench: $f is not built (cmake --build $build --target gorvane-gen-catalogue gui_bench)" >&2
    exit 1
  fi
done
data="$build/bench/catalogue/data"
if [ ! -f "$data/tweaks-0999.ini" ]; then
  echo "generating the synthetic catalogue in $data"
  "$gen" "$data" --files 1000 --tweaks 100 --seed 1
fi
QT_QPA_PLATFORM=offscreen "$exe" --catalogue="$data"
