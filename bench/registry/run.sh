#!/bin/sh
# Runs the registry benchmark of the build folder given and prints the ratios to a bare SQLite query.
set -eu
case "${1:-}" in
  -h|--help) echo "usage: bench/registry/run.sh BUILD_DIR"; exit 0 ;;
esac
build=${1:-build/release}
exe="$build/bench/registry/registry_bench"
if [ ! -x "$exe" ]; then
  echo "registry bench: $exe is not built (cmake --build $build --target registry_bench)" >&2
  exit 1
fi
exec "$exe" --benchmark_min_time=0.5
