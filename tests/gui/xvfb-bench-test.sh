#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The bench of the real program under a real X server, worked by keyboard alone: started with
# --bench, two of three receivers checked by -p; Tab into the table, Down to the third
# receiver's row, space checks it, Enter starts all three. One receiver refuses a file. Then
# each port's log in a folder of its own, every byte at the receivers that stored, the summary
# line, and exit code 0 once the bench is closed. Screenshots (one mid-run, with the failed row)
# are kept as test artifacts.
#
# Usage: xvfb-bench-test.sh ZENDRAK SIMULATOR ARTIFACT_DIR
# ZENDRAK is the test-only build that writes the bench's summary lines to stderr.
set -euo pipefail

zendrak=$1
simulator=$2
artifacts=$3
mkdir -p "$artifacts"

work=$(mktemp -d "${TMPDIR:-/tmp}/zbench-XXXXXX")
sim_pids=()
cleanup() {
  for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "--- bench trace" >&2; cat "$work/zendrak.err" >&2 || true
  for n in 1 2 3; do echo "--- simulator $n" >&2; cat "$work/sim$n.err" >&2 || true; done
  exit 1
}

# Three receivers at the line's rate, mapped as COM1 to COM3 (the second one refuses a file);
# COM4 names a device that is not there.
folder="$work/firmware"
mkdir -p "$folder" "$work/dev" "$work/config/zendrak"
for n in 1 2 3; do
  verdict=()
  [ "$n" = 2 ] && verdict=(--verdict wrong)
  mkdir -p "$work/received$n"
  "$simulator" --link "$work/dev/ttyUSB$((n - 1))" --save "$work/received$n" --rate 11520 \
    "${verdict[@]}" >"$work/sim$n.out" 2>"$work/sim$n.err" &
  sim_pids+=($!)
  echo "COM$n=$work/dev/ttyUSB$((n - 1))" >>"$work/config/zendrak/ports"
done
echo "COM4=$work/dev/ttyUSB3" >>"$work/config/zendrak/ports"
for n in 1 2 3; do
  for _ in $(seq 100); do [ -s "$work/sim$n.out" ] && break; sleep 0.1; done
  [ -e "$work/dev/ttyUSB$((n - 1))" ] || fail "simulator $n did not start"
done
# Random bytes without 0x02, which the receiver takes as the end of an image.
for entry in font.app:30000 out.app:100000; do
  head -c "${entry#*:}" /dev/urandom | tr '\002' '\003' >"$folder/${entry%%:*}"
done

cat >"$work/inside-x.sh" <<'INSIDE'
#!/usr/bin/env bash
set -euo pipefail
cd "$WORK"
"$ZENDRAK" --bench -p COM1,COM3 "$FOLDER" 2>"$WORK/zendrak.err" &
app=$!
window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^Bench - Zendrak v1\.1$' 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "no bench" >&2; exit 1; }
sleep 0.5  # mapped and painted, the focus on Start
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
xdotool key --window "$window" Tab Down space Return
# Mid-run: the refused receiver's log is written while the others still send.
for _ in $(seq 600); do
  [ -e "$FOLDER/COM2/logUpdate.txt" ] && break
  sleep 0.1
done
sleep 0.5
import -window "$window" "$ARTIFACTS/bench-mid-run.png" || true
for _ in $(seq 900); do
  grep -q '^zendrak-bench-summary: [0-9]' "$WORK/zendrak.err" && break
  sleep 0.1
done
sleep 0.5
import -window "$window" "$ARTIFACTS/bench-done.png" || true
"$CLOSE_WINDOW" "$window"
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill "$app" 2>/dev/null || true
code=0
wait "$app" || code=$?
echo "$code" >"$WORK/exit-code"
INSIDE
chmod +x "$work/inside-x.sh"

WORK=$work FOLDER=$folder ZENDRAK=$zendrak ARTIFACTS=$artifacts \
  CLOSE_WINDOW="$(cd "$(dirname "$0")" && pwd)/close-window.py" \
  XDG_CONFIG_HOME="$work/config" ZENDRAK_NO_PORT_DETECTION=1 QT_QPA_PLATFORM=xcb \
  xvfb-run -a -n 140 -s "-noreset -screen 0 1280x800x24" "$work/inside-x.sh" || fail "the run under Xvfb failed"

grep -q '^zendrak-bench-summary: Updating 3 receivers\.\.\.$' "$work/zendrak.err" ||
  fail "space did not check the third receiver, or Enter did not start"
grep -q '^zendrak-bench-summary: 2 OK, 1 Update Error$' "$work/zendrak.err" || fail "no summary"
[ ! -e "$folder/logUpdate.txt" ] || fail "a log in the folder itself: each port has its own"
for n in 1 3; do
  grep -q 'Alle Dateien wurden' "$folder/COM$n/logUpdate.txt" || fail "COM$n's log is not a success"
  cmp -s "$work/received$n/file-1.bin" "$folder/font.app" || fail "font.app did not reach COM$n"
  cmp -s "$work/received$n/file-2.bin" "$folder/out.app" || fail "out.app did not reach COM$n"
done
grep -q '^wrong: ' "$folder/COM2/logUpdate.txt" || fail "COM2's log does not tell the refusal"
[ "$(cat "$work/exit-code")" = 0 ] || fail "closing the bench ended the program with $(cat "$work/exit-code")"
echo "screenshot: $artifacts/bench-mid-run.png"
echo "1 passed, 0 failed"
