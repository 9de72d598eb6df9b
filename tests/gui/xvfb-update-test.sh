#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real program under a real X server, started from another directory with the firmware
# folder as its argument (as the desktop menu starts it): a ports file that maps the receiver
# simulator, a real mouse click on "Start Update", then "Update OK" in the status bar and
# "logUpdate.txt" in the firmware folder, every byte at the receiver, and exit code 0 once the
# window is closed. A folder that does not exist gives a message naming it and exit code 2.
# Screenshots (one mid-run, with the long path shortened) are kept as test artifacts.
#
# Usage: xvfb-update-test.sh ZENDRAK SIMULATOR ARTIFACT_DIR
# ZENDRAK is the test-only build that writes the status texts to stderr.
set -euo pipefail

zendrak=$1
simulator=$2
artifacts=$3
mkdir -p "$artifacts"

work=$(mktemp -d "${TMPDIR:-/tmp}/zendrak-xvfb-XXXXXX")
sim_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "--- window trace" >&2; cat "$work/zendrak.err" >&2 || true
  echo "--- simulator" >&2; cat "$work/sim.err" >&2 || true
  echo "--- update log" >&2; cat "$folder/logUpdate.txt" >&2 || true
  exit 1
}

# The simulator, reached through a link that the ports file names; it keeps what it receives.
mkdir -p "$work/received"
"$simulator" --link "$work/receiver" --save "$work/received" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/sim.out" ] && [ -e "$work/receiver" ] && break; sleep 0.1; done
[ -e "$work/receiver" ] || fail "the simulator did not start"

# A long firmware folder, so that the status bar must shorten the path; the program starts in
# another directory.
folder="$work/customer-receivers/workshop-bench-2/firmware-release-2026-12-08-for-the-receiver"
mkdir -p "$folder" "$work/elsewhere"
mkdir -p "$work/config/zendrak"
echo "COM7=$work/receiver" >"$work/config/zendrak/ports"
printf '\x07' >"$folder/Zendrak.dat"
# Random bytes without 0x02, which the receiver takes as the end of an image (the bytes after
# it are rightly not sent).
for entry in font.app:700 decoder.app:300 out.app:2000; do
  head -c "${entry#*:}" /dev/urandom | tr '\002' '\003' >"$folder/${entry%%:*}"
done

# Inside the X server: start the window, click, wait, take the screenshot.
cat >"$work/inside-x.sh" <<'INSIDE'
#!/usr/bin/env bash
set -euo pipefail
# A folder that cannot be entered: a message naming it, then exit code 2.
cd "$WORK/elsewhere"
"$ZENDRAK" "$WORK/no-such-folder" 2>"$WORK/missing.err" &
missing=$!
box=""
for _ in $(seq 100); do
  box=$(xdotool search --name '^Zendrak$' 2>/dev/null | head -n1 || true)
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || { echo "no message for the missing folder" >&2; exit 1; }
sleep 0.5
import -window "$box" "$ARTIFACTS/zendrak-missing-folder.png" || true
xdotool key --window "$box" Return || true
code=0
wait "$missing" || code=$?
echo "$code" >"$WORK/missing-exit-code"

"$ZENDRAK" "$FOLDER" 2>"$WORK/zendrak.err" &
app=$!
echo "$app" >"$WORK/app.pid"
window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^Zendrak v1\.1$' 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && grep -q '^zendrak-start-button:' "$WORK/zendrak.err" && break
  sleep 0.1
done
[ -n "$window" ] || { echo "no window" >&2; exit 1; }
read -r _ x y < <(grep '^zendrak-start-button:' "$WORK/zendrak.err" | head -n1)
sleep 0.5  # the window is mapped and painted
xdotool mousemove --window "$window" "$x" "$y" click 1
# Mid-run: the second file's path in the status bar.
for _ in $(seq 600); do
  grep -q '^zendrak-status: .*/decoder\.app$' "$WORK/zendrak.err" && break
  sleep 0.1
done
sleep 0.3
import -window "$window" "$ARTIFACTS/zendrak-window-running.png" || true
for _ in $(seq 900); do
  grep -q '^zendrak-status: Update \(OK\|Error\)$' "$WORK/zendrak.err" && [ -e "$FOLDER/logUpdate.txt" ] && break
  sleep 0.1
done
sleep 0.5  # the outcome is painted
import -window root "$ARTIFACTS/zendrak-window-screen.png" || true
import -window "$window" "$ARTIFACTS/zendrak-window.png" || true
# Closed as a window manager closes it: the program ends by itself with exit code 0.
"$CLOSE_WINDOW" "$window"
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill "$app" 2>/dev/null || true
code=0
wait "$app" || code=$?
echo "$code" >"$WORK/exit-code"
INSIDE
chmod +x "$work/inside-x.sh"

# -noreset: when the first program (the missing folder's message) leaves, the X server would
# otherwise reset, and the window started next could fail to connect meanwhile.
WORK=$work FOLDER=$folder ZENDRAK=$zendrak ARTIFACTS=$artifacts CLOSE_WINDOW="$(cd "$(dirname "$0")" && pwd)/close-window.py" \
  XDG_CONFIG_HOME="$work/config" ZENDRAK_NO_PORT_DETECTION=1 QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-noreset -screen 0 1024x640x24" "$work/inside-x.sh" || fail "the run under Xvfb failed"

grep -q '^zendrak-status: Update OK$' "$work/zendrak.err" || fail "no \"Update OK\" in the status bar"
[ -s "$folder/logUpdate.txt" ] || fail "no logUpdate.txt in the firmware folder"
[ -z "$(ls -A "$work/elsewhere")" ] || fail "files written where the program was started: $(ls -A "$work/elsewhere")"
grep -q "^zendrak-status: $folder/font\.app\$" "$work/zendrak.err" || fail "font.app not taken from the firmware folder"
for pair in 1:font.app 2:decoder.app 3:out.app; do
  cmp -s "$work/received/file-${pair%%:*}.bin" "$folder/${pair#*:}" || fail "${pair#*:} did not arrive unchanged"
done
[ "$(cat "$work/missing-exit-code")" = 2 ] || fail "a missing folder ended the program with $(cat "$work/missing-exit-code")"
grep -q "no-such-folder" "$work/missing.err" || fail "the missing folder is not named"
[ -s "$artifacts/zendrak-window.png" ] || fail "no screenshot"
[ "$(cat "$work/exit-code")" = 0 ] || fail "closing the window ended the program with $(cat "$work/exit-code")"
echo "screenshot: $artifacts/zendrak-window.png"
echo "1 passed, 0 failed"
