#!/bin/sh
# Runs every benchmark of the build folder given and prints its ratios.
set -eu
build=${1:-build/release}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for script in "$here"/*/run.sh; do
  [ -x "$script" ] || continue
  echo "== $(basename "$(dirname "$script")")"
  "$script" "$build" || status=1
done
exit $status
