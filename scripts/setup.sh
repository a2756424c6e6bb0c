#!/bin/sh
# Installs the Debian packages Gorvane needs, and nothing that is already there.
#   scripts/setup.sh run    what building and running the program needs
#   scripts/setup.sh test   also the test, benchmark and cross-check tools
set -eu

profile=${1:-run}

run_pkgs="cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libpcre2-dev
  libsqlite3-dev libicu-dev"
test_pkgs="googletest libgtest-dev libgmock-dev libbenchmark-dev libinih-dev sqlite3
  xvfb xauth imagemagick openbox x11-utils xdotool util-linux php-cli
  g++-mingw-w64-x86-64 wine wine64 dpkg-dev file"

case "$profile" in
  run) wanted=$run_pkgs ;;
  test|bench) wanted="$run_pkgs $test_pkgs" ;;
  -h|--help)
    sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'
    exit 0 ;;
  *) echo "setup.sh: unknown profile '$profile' (use run or test)" >&2; exit 2 ;;
esac

missing=""
for p in $wanted; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in
    *" installed") ;;
    *) missing="$missing $p" ;;
  esac
done

[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
  sudo=""
elif command -v sudo >/dev/null 2>&1; then
  sudo="sudo"
else
  echo "setup.sh: these packages are missing and I am not root:$missing" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing
