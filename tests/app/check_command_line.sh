#!/usr/bin/env bash
# otherin on the command line: help and version without a display, exit
# statuses 0/1/2, errors on standard error only.
# Usage: check_command_line.sh OTHERIN VERSION
set -uo pipefail
otherin=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Runs otherin with no display at all and a fresh HOME; sets status, out, err.
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$work/home" \
    XDG_CONFIG_HOME= XDG_DATA_HOME= "$otherin" "$@" >"$work/out" 2>"$work/err"
  status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}

expect() {  # expect STATUS STREAM-THAT-MUST-BE-EMPTY DESCRIPTION
  [ "$status" -eq "$1" ] || fail "$3: exit status $status, expected $1 (stderr: $err)"
  if [ "$2" = out ] && [ -n "$out" ]; then fail "$3: printed on standard output: $out"; fi
  if [ "$2" = err ] && [ -n "$err" ]; then fail "$3: printed on standard error: $err"; fi
}

run --help
expect 0 err "--help"
help=$out
for command in new find find3 init copy verify backup restore passwd switch; do
  grep -Eq "^  $command( |\$)" <<<"$help" || fail "--help does not list the command $command"
done
for option in --db --settings --user --password --old-password --demo --repair --help --version; do
  grep -Eq -- "^  (-h, )?$option( |\$)" <<<"$help" || fail "--help does not list the option $option"
done

run -h
expect 0 err "-h"
[ "$out" = "$help" ] || fail "-h prints another text than --help"

run --version
expect 0 err "--version"
[ "$out" = "otherin $version" ] || fail "--version printed '$out', expected 'otherin $version'"

run fnid
expect 2 out "an unknown command"
[ -n "$err" ] || fail "an unknown command is not told on standard error"

# A source that does not exist is named, and nothing is made in its place.
run copy --from sqlite:"$work/absent.sqlite" --to sqlite:"$work/b.sqlite"
expect 1 out "copy from a missing file"
grep -q "absent.sqlite" <<<"$err" || fail "copy does not name the missing source: $err"
[ ! -e "$work/absent.sqlite" ] || fail "copy created its missing source"

run copy --from sqlite:a.sqlite
expect 2 out "copy without --to"

run passwd --no-such-option
expect 2 out "an unknown option of passwd"

run verify --no-such-option
expect 2 out "an unknown option of verify"

# The windows' own parser needs Qt started: offscreen, and the unknown option
# must stop it before any database is made.
env -u DISPLAY QT_QPA_PLATFORM=offscreen HOME="$work/home" XDG_CONFIG_HOME= XDG_DATA_HOME= \
  timeout 20 "$otherin" new --no-such-option >"$work/out" 2>"$work/err"
status=$?
err=$(cat "$work/err")
out=$(cat "$work/out")
expect 2 out "an unknown option of new"
grep -q "no-such-option" <<<"$err" || fail "the unknown option is not named on standard error: $err"
[ ! -e "$work/home/.local/share/MendaxoStock2007" ] || fail "wrong usage made a database"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "command line: all checks passed"
