#!/usr/bin/env bash
# otherin(1) renders without warnings and describes every command --help lists.
# Usage: check_manual_page.sh OTHERIN PAGE
set -uo pipefail
otherin=$1
page=$2
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

[ -s "$page" ] || { echo "FAIL: no manual page at $page" >&2; exit 1; }

warnings=$(groff -man -Tutf8 -ww -z -k "$page" 2>&1)
[ -z "$warnings" ] || fail "groff warns about the page: $warnings"

rendered=$(MANWIDTH=100 LC_ALL=C.UTF-8 man -l "$page" 2>&1) || fail "man -l cannot render the page"
for heading in NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS "EXIT STATUS"; do
  grep -q "^$heading\$" <<<"$rendered" || fail "the page has no section $heading"
done

commands=$(env -u DISPLAY -u QT_QPA_PLATFORM "$otherin" --help |
  sed -n '/^Commands:$/,/^$/p' | sed -n 's/^  \([a-z0-9]*\).*/\1/p')
[ "$(wc -w <<<"$commands")" -ge 8 ] || fail "--help listed only: $commands"
for command in $commands; do
  line=$(grep -E "^ +$command( |\$)" <<<"$rendered" | head -1)
  [ -n "$line" ] || fail "the page does not describe the command $command"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "manual page: all checks passed"
