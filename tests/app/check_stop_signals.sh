#!/usr/bin/env bash
# otherin stopped by SIGTERM or SIGINT (a log-out, Ctrl+C in a terminal)
# leaves no login behind: the token leaves the settings, which stay private
# to the user (0600), and the session leaves the database.
# Usage: check_stop_signals.sh OTHERIN
set -uo pipefail
otherin=$1
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

db="$work/demo.sqlite"
"$otherin" init --db "$db" --demo >/dev/null || { echo "FAIL: otherin init" >&2; exit 1; }
sessions() { sqlite3 "$db" "select count(*) from tblLoginSession"; }

for signal in TERM INT; do
  ini="$work/$signal.ini"
  HOME="$work/home" QT_QPA_PLATFORM=offscreen \
    "$otherin" new --user 1 --db "$db" --settings "$ini" >/dev/null 2>"$work/err" &
  pid=$!
  for _ in $(seq 100); do
    grep -q '^gLoginToken=.' "$ini" 2>/dev/null && break
    sleep 0.1
  done
  grep -q '^gLoginToken=.' "$ini" 2>/dev/null || fail "$signal: no login token after start: $(cat "$work/err")"
  [ "$(stat -c %a "$ini")" = 600 ] || fail "$signal: the settings file is mode $(stat -c %a "$ini")"
  [ "$(sessions)" = 1 ] || fail "$signal: $(sessions) login sessions while running"
  kill -s "$signal" "$pid"
  # A program that does not stop within 10 s is killed and the check fails.
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    fail "$signal: the program did not stop"
    kill -9 "$pid"
  fi
  wait "$pid"
  status=$?
  pid=""
  expected=$((128 + $(kill -l "$signal")))
  [ "$status" -eq "$expected" ] || fail "$signal: exit status $status, expected $expected"
  if grep -q '^gLoginToken=' "$ini"; then fail "$signal: the token stayed in the settings"; fi
  [ "$(sessions)" = 0 ] || fail "$signal: $(sessions) login sessions left in the database"
done

if [ "$failures" -ne 0 ]; then
  echo "check_stop_signals: $failures check(s) failed" >&2
  exit 1
fi
echo "check_stop_signals: all checks passed"
