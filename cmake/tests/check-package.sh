#!/bin/sh
# Builds the Debian package and a staged `cmake --install` of BUILD_DIR in a scratch folder and
# checks what they hold.
#   check-package.sh BUILD_DIR SOURCE_DIR VERSION [BUILT_PROGRAM_FILE...]
set -eu

case "${1:-}" in
  -h|--help) sed -n '2,4p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
if [ $# -lt 3 ]; then
  sed -n '4p' "$0" | sed 's/^# \{0,1\}/usage: /' >&2
  exit 2
fi
build=$1 source=$2 version=$3
shift 3
programs=""
for f in "$@"; do
  programs="$programs ${f##*/}"
done
prefix=/opt/gorvane

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
has() { grep -q -- "$1" "$2" || fail "$3"; }

# --- the package ---
cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
deb=$scratch/out/gorvane_${version}_amd64.deb
[ -f "$deb" ] || { ls "$scratch/out" >&2; echo "FAIL: no package named ${deb##*/}" >&2; exit 1; }

dpkg-deb --contents "$deb" >"$scratch/contents"
for p in $programs; do
  has "^-rwxr-xr-x root/root .* \./opt/gorvane/$p\$" "$scratch/contents" "program $p missing or not executable"
  has "^lrwxrwxrwx root/root .* \./usr/bin/$p -> $prefix/$p\$" "$scratch/contents" "no link /usr/bin/$p"
done
shipped=$(ls "$source"/Tweaks/*.ini | wc -l)
packaged=$(grep -c '\./opt/gorvane/Tweaks/[^/]*\.ini$' "$scratch/contents" || true)
[ "$shipped" -gt 0 ] && [ "$packaged" -eq "$shipped" ] || fail "Tweaks: $packaged of $shipped files packaged"
has ' \./usr/share/applications/gorvane\.desktop$' "$scratch/contents" "desktop entry not where desktops look"
has ' \./opt/gorvane/share/applications/gorvane\.desktop$' "$scratch/contents" "desktop entry not in the prefix"
if [ -f "$source/resources/gorvane.svg" ]; then
  has ' \./usr/share/icons/hicolor/scalable/apps/gorvane\.svg$' "$scratch/contents" "icon not in the icon theme"
fi
if grep -E ' \./usr/local/| \./var/|_CPack_|/home/|/build/' "$scratch/contents" >&2; then
  fail "the package holds paths it must not"
fi

dpkg-deb --field "$deb" Package Version Architecture Depends >"$scratch/control"
has "^Package: gorvane\$" "$scratch/control" "package name"
has "^Version: $version\$" "$scratch/control" "package version"
has "^Architecture: amd64\$" "$scratch/control" "architecture"
has "^Depends: .*libc6" "$scratch/control" "no shared-library dependencies found"
case " $programs " in
  *" gorvane "*)
    has "^Depends: .*libqt6widgets6" "$scratch/control" "Qt Widgets missing from Depends"
    has "^Depends: .*qt6-qpa-plugins" "$scratch/control" "Qt platform plugins missing from Depends" ;;
esac

dpkg-deb --control "$deb" "$scratch/control.d"
for script in postinst postrm; do
  f=$scratch/control.d/$script
  if [ -x "$f" ] && sh -n "$f"; then :; else fail "maintainer script $script missing, not executable or broken"; fi
done
grep -q '/var/lib/gorvane' "$scratch/control.d/postinst" || fail "postinst does not create the machine store's folder"

dpkg-deb --extract "$deb" "$scratch/root"
for f in "$@"; do
  cmp -s "$f" "$scratch/root$prefix/${f##*/}" || fail "packaged ${f##*/} differs from the built one"
done
grep -q '^Exec=gorvane' "$scratch/root/usr/share/applications/gorvane.desktop" || fail "desktop entry does not start gorvane"
case " $programs " in
  *" gorvane-catalogue "*)
    "$scratch/root$prefix/gorvane-catalogue" lint "$scratch/root$prefix/Tweaks" >"$scratch/lint.log" 2>&1 ||
      { cat "$scratch/lint.log" >&2; fail "the packaged catalogue does not lint clean"; } ;;
esac

# --- a staged `cmake --install`, as `make install` does it ---
DESTDIR=$scratch/stage cmake --install "$build" --component gorvane >/dev/null
DESTDIR=$scratch/stage cmake --install "$build" --component system >/dev/null
bindir=$(sed -n 's/^GORVANE_SYSTEM_BINDIR:PATH=//p' "$build/CMakeCache.txt")
datadir=$(sed -n 's/^GORVANE_SYSTEM_DATADIR:PATH=//p' "$build/CMakeCache.txt")
installprefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
stage=$scratch/stage
for p in $programs; do
  [ -x "$stage$installprefix/$p" ] || fail "install: $p not in $installprefix"
  if [ -n "$bindir" ]; then
    [ "$(readlink "$stage$bindir/$p")" = "$installprefix/$p" ] || fail "install: $bindir/$p does not link to $installprefix/$p"
  fi
done
[ "$(ls "$stage$installprefix"/Tweaks/*.ini | wc -l)" -eq "$shipped" ] || fail "install: Tweaks not beside the programs"
if [ -n "$datadir" ]; then
  [ -f "$stage$datadir/applications/gorvane.desktop" ] || fail "install: no desktop entry in $datadir/applications"
fi
[ ! -e "$stage/usr/bin" ] || fail "install: the package's /usr/bin links leaked into a plain install"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "package ${deb##*/} and staged install: all checks passed"
