#!/bin/sh
# Checks the shipped catalogue for what lint cannot know: the house rules of docs/tweak-files.md.
#   check-catalogue.sh GORVANE_CATALOGUE TWEAKS_DIR
set -eu

case "${1:-}" in
  -h|--help) sed -n '2,3p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
if [ $# -ne 2 ]; then
  sed -n '3p' "$0" | sed 's/^# \{0,1\}/usage: /' >&2
  exit 2
fi
tool=$1 dir=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The pick lists show every spelling on its own line: a new name must be added here on purpose.
categories="Accounts Browsers Explorer Keyboard Logon Networking Notifications Office Performance
Personalization Privacy Search Security Start_menu System Taskbar Updates Windows_Update Wine"
companies="Google Microsoft Mozilla WineHQ"
products="Chrome Defender_Antivirus Edge Firefox Office OneDrive Outlook Windows Windows_Explorer Wine"

"$tool" facets "$dir" >"$scratch/facets"
check_facet() { # SECTION ALLOWED
  sed -n "/^\[$1\]\$/,/^\[/p" "$scratch/facets" | sed '1d;/^\[/d' | while IFS= read -r name; do
    case " $(echo $2) " in
      *" $(echo "$name" | tr ' ' _) "*) ;;
      *) echo "$1: \"$name\" is not one of the names in use" ;;
    esac
  done
}
for pair in "Categories:$categories" "Companies:$companies" "Products:$products"; do
  check_facet "${pair%%:*}" "${pair#*:}" >>"$scratch/names"
done
if [ -s "$scratch/names" ]; then
  sed 's/^/FAIL: /' "$scratch/names" >&2
  failures=$((failures + 1))
fi

"$tool" dump "$dir" >"$scratch/dump"
count=$(wc -l <"$scratch/dump")
[ "$count" -ge 120 ] || fail "only $count tweaks"
awk -v hklm=2147483650 '
  function field(name,   m) {
    if (match($0, "\"" name "\":\"([^\"\\\\]|\\\\.)*\"")) return substr($0, RSTART + length(name) + 4, RLENGTH - length(name) - 5)
    if (match($0, "\"" name "\":[^,}]*")) return substr($0, RSTART + length(name) + 3, RLENGTH - length(name) - 3)
    return ""
  }
  {
    id = field("TweakID"); desc = field("Description"); type = field("RegDataType")
    if (field("Title") == "" || desc == "" || field("RegValueName") == "") print id ": empty Title, Description or RegValueName"
    if (field("TechRefUrl") !~ /^https:\/\//) print id ": no https TechRefUrl"
    admin = index(desc, "Needs administrator rights.") > 0
    if (field("RegRootKey") == hklm && !admin) print id ": HKEY_LOCAL_MACHINE but the description does not say it needs administrator rights"
    if (field("RegRootKey") != hklm && admin) print id ": says it needs administrator rights but is not below HKEY_LOCAL_MACHINE"
    if (field("RegBooleanDecision") == "true" && desc !~ /Ticked \(1/) print id ": a yes/no switch whose description does not say what ticked means"
    if ($0 !~ /"Suggestions":\[\]/ && type != "rdString") print id ": Suggestions on a value that is not REG_SZ"
  }' "$scratch/dump" >"$scratch/rules"
if [ -s "$scratch/rules" ]; then
  sed 's/^/FAIL: /' "$scratch/rules" >&2
  failures=$((failures + 1))
fi

# Files meant for every system's code page stay ASCII.
if LC_ALL=C grep -n '[^[:print:][:space:]]' "$dir"/*.ini >&2; then fail "bytes outside ASCII"; fi

[ "$failures" -eq 0 ] || exit 1
echo "catalogue: $count tweaks, house rules kept"
