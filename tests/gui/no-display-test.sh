#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The window program without any display: --help and --version print their text and end with
# exit code 0 (1 when it cannot be written); an unknown option or two folders end with one line,
# a hint and exit code 2; the window itself, with or without a folder, says that there is no
# display and ends with exit code 2.
#
# Usage: no-display-test.sh ZENDRAK
set -uo pipefail
zendrak=$1
failures=0
check() {  # name, expected exit code, pattern of the output, arguments...
  local name=$1 want=$2 pattern=$3
  shift 3
  local out code
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$zendrak" "$@" 2>&1)
  code=$?
  if [ "$code" != "$want" ] || ! grep -q -- "$pattern" <<<"$out"; then
    echo "FAIL: $name: exit $code, output:"; echo "$out"
    failures=$((failures + 1))
  fi
}
check "--help" 0 '^Usage: zendrak \[FOLDER\]$' --help
check "-h" 0 '^Options:$' -h
check "--version" 0 '^zendrak [0-9]' --version
check "unknown option" 2 "^Try 'zendrak --help'.$" --frobnicate
check "two folders" 2 "only one folder" /tmp /var
check "the window" 2 "^zendrak: cannot open the window: there is no display: neither DISPLAY nor"
check "the window on a folder" 2 "^zendrak: cannot open the window: " /tmp
for option in --help --version; do
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$zendrak" $option >/dev/full 2>/dev/null
  code=$?
  if [ "$code" != 1 ]; then echo "FAIL: $option to /dev/full: exit $code"; failures=$((failures + 1)); fi
done
[ "$failures" = 0 ] || exit 1
echo "9 passed, 0 failed"
