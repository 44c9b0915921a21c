#!/usr/bin/env bash
# deploy/logrotate rotates the error log of a running host: the log is renamed and compressed
# later, and the host's next line goes to a new log, whole.
#
#   tests/deploy/logrotate_test.sh path/to/sheetora-host path/to/deploy/logrotate
# Exits 77 (skipped) when logrotate is not installed.
set -euo pipefail
host_bin=$1
config=$2
logrotate_bin=$(command -v logrotate || echo /usr/sbin/logrotate)
[[ -x $logrotate_bin ]] || { echo "logrotate is not installed"; exit 77; }

work=$(mktemp -d /tmp/sheetora-logrotate.XXXXXX)
host_pid=
cleanup() {
  [[ -n $host_pid ]] && kill "$host_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$host_bin" --port 0 --threads 1 --log-dir "$work" >"$work/out" 2>&1 &
host_pid=$!
for _ in $(seq 50); do grep -q serving "$work/out" && break; sleep 0.1; done
port=$(sed -n 's|.*:\([0-9]*\)/$|\1|p' "$work/out")
[[ -n $port ]] || fail "the host did not start"

# A GET of the paper page without its fields fails inside the page and is logged.
log_once() { curl -s -o /dev/null "http://127.0.0.1:$port/Paper.asp" || fail "no answer"; }
log_once
[[ -s $work/QuennetLog.Log ]] || fail "nothing logged"

sed "s|/var/log/sheetora/|$work/|" "$config" >"$work/logrotate.conf"
"$logrotate_bin" --force --state "$work/state" "$work/logrotate.conf" || fail "logrotate failed"
[[ -s $work/QuennetLog.Log.1 ]] || fail "the log was not rotated"
[[ ! -e $work/QuennetLog.Log ]] || fail "a log was left in place"

log_once
grep -q $'^[0-9-]* [0-9:]*    \\\\Sheetora_Web\\\\Paper, .*\r$' "$work/QuennetLog.Log" ||
  fail "the host did not start a new log: $(cat -A "$work/QuennetLog.Log" 2>&1)"
[[ $(wc -l <"$work/QuennetLog.Log") == 1 ]] || fail "the new log holds more than one line"
echo "PASS: rotated, and the host writes a new log"
