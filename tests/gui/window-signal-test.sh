#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The window program, offscreen: SIGINT, SIGTERM and SIGHUP outside an update run close the
# window, and the program ends with exit code 0. Its test build says on stderr when the window
# is up ("zendrak-status:").
#
# Usage: window-signal-test.sh ZENDRAK-STATUS-TRACE
set -euo pipefail

zendrak=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/zendrak-signal-XXXXXX")
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/config/zendrak"
echo "COM1=/dev/null" >"$work/config/zendrak/ports"
printf '\x01' >"$work/Zendrak.dat"

failed=0
for signal in INT TERM HUP; do
  : >"$work/zendrak.err"
  (cd "$work" && exec env XDG_CONFIG_HOME="$work/config" ZENDRAK_NO_PORT_DETECTION=1 \
     QT_QPA_PLATFORM=offscreen "$zendrak" 2>"$work/zendrak.err") &
  app_pid=$!
  # The window has been shown (its first status text): the signals are handled by then.
  for _ in $(seq 600); do grep -q '^zendrak-status:' "$work/zendrak.err" && break; sleep 0.1; done
  if ! grep -q '^zendrak-status:' "$work/zendrak.err"; then
    echo "FAIL: SIG$signal: no window" >&2
    exit 1
  fi
  kill -"$signal" "$app_pid"
  for _ in $(seq 600); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  code=0
  if kill -0 "$app_pid" 2>/dev/null; then
    kill -KILL "$app_pid"
    code=still-running
  fi
  wait "$app_pid" || code=$?
  app_pid=""
  if [ "$code" = 0 ]; then
    echo "SIG$signal: closed, exit code 0"
  else
    echo "FAIL: SIG$signal: exit code $code" >&2
    cat "$work/zendrak.err" >&2
    failed=1
  fi
done
exit "$failed"
