#!/bin/sh
# Starts Gorvane under a virtual X display (with openbox) over the shipped catalogue and a fresh
# store, types a search into the search box and saves a picture of the window.
#   app/screenshot.sh GORVANE OUTPUT.png [SEARCH]
set -eu
case "${1:-}" in
  -h|--help|"") sed -n '2,4p' "$0" | sed 's/^# \{0,1\}//'; [ -n "${1:-}" ]; exit $? ;;
esac
program=$1
output=$2
term=${3:-Explorer}
[ -x "$program" ] || { echo "screenshot: no program at $program" >&2; exit 1; }

work=$(mktemp -d)
pids=""
cleanup() {
  for p in $pids; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

Xvfb -displayfd 3 -screen 0 1024x720x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids="$!"
tries=0
while [ ! -s "$work/display" ]; do
  tries=$((tries + 1)); [ $tries -le 100 ] || { echo "screenshot: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
DISPLAY=:$(cat "$work/display")
export DISPLAY

openbox >"$work/openbox.log" 2>&1 &
pids="$pids $!"
GORVANE_REGISTRY_DIR="$work/store" QT_QPA_PLATFORM=xcb "$program" >"$work/gorvane.log" 2>&1 &
pids="$pids $!"

window=""
tries=0
while [ -z "$window" ]; do
  tries=$((tries + 1))
  [ $tries -le 100 ] || { echo "screenshot: the window did not appear" >&2; cat "$work/gorvane.log" >&2; exit 1; }
  sleep 0.2
  window=$(xdotool search --onlyvisible --name '^Gorvane$' 2>/dev/null | head -n 1 || true)
done
sleep 0.5
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
xdotool type --delay 60 --window "$window" "$term"
sleep 1
mkdir -p "$(dirname "$output")"
import -window "$window" -frame "$output"
echo "screenshot: wrote $output"
