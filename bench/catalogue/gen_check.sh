#!/bin/sh
# Checks the generator: the same seed gives the same bytes, another seed other bytes, and what it
# writes is a clean catalogue of files x tweaks tweaks.
set -eu
gen=$1
tool=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$gen" "$out/a" --files 3 --tweaks 5 --seed 7
"$gen" "$out/b" --files 3 --tweaks 5 --seed 7
"$gen" "$out/c" --files 3 --tweaks 5 --seed 8
diff -r "$out/a" "$out/b"
if diff -r -q "$out/a" "$out/c" >/dev/null; then
  echo "seed 8 wrote the same catalogue as seed 7" >&2
  exit 1
fi
"$tool" lint "$out/a"
count=$("$tool" dump "$out/a" | wc -l)
[ "$count" -eq 15 ] || { echo "expected 15 tweaks, got $count" >&2; exit 1; }
if "$gen" 2>/dev/null || "$gen" "$out/d" --files x 2>/dev/null; then
  echo "bad arguments were accepted" >&2
  exit 1
fi
