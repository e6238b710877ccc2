#!/usr/bin/env bash
# The desktop entry, the AppStream metainfo and the icon are valid, and every
# command the menu starts is one otherin lists in its help.
# Usage: check_desktop_files.sh OTHERIN SOURCE-PACKAGING-DIR BUILD-PACKAGING-DIR
set -uo pipefail
otherin=$1
source=$2
build=$3
id=org.mendaxo.otherin
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

desktop="$source/$id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
output=$(desktop-file-validate "$desktop" 2>&1)
[ -z "$output" ] || fail "desktop-file-validate has hints: $output"

appstreamcli validate --no-net --pedantic "$build/$id.metainfo.xml" ||
  fail "appstreamcli rejects $build/$id.metainfo.xml"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$build/$id.metainfo.xml" ||
  fail "the metainfo does not launch $id.desktop"
version=$("$otherin" --version | sed 's/^otherin //')
grep -q "<release version=\"$version\"" "$build/$id.metainfo.xml" ||
  fail "the metainfo's release is not $version"

xmllint --noout "$source/$id.svg" || fail "the icon is not well-formed XML"
grep -q '<svg[^>]*viewBox=' "$source/$id.svg" || fail "the icon has no viewBox to scale by"
grep -q "^Icon=$id\$" "$desktop" || fail "the desktop entry does not name the icon $id"

grep -q '^Name\[zh_CN\]=其它入库单$' "$desktop" || fail "no Name[zh_CN]=其它入库单"
help=$(env -u DISPLAY -u QT_QPA_PLATFORM "$otherin" --help)
for action in new find find3; do
  grep -q "^\[Desktop Action $action\]\$" "$desktop" || fail "no desktop action $action"
done
while IFS= read -r exec; do
  command=${exec#Exec=otherin }
  [ "$command" != "$exec" ] || { fail "Exec does not start otherin: $exec"; continue; }
  grep -Eq "^  $command( |\$)" <<<"$help" || fail "the menu starts '$command', which --help does not list"
done < <(grep '^Exec=' "$desktop")

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "desktop files: all checks passed"
