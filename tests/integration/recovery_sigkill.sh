#!/usr/bin/env bash
# The real editor under Xvfb, driven with xdotool: open a file, click a segment, type W (a wire),
# wait for the autosave, kill the editor with SIGKILL; start it again, answer the recovery
# question with Enter (Restore), save with Ctrl+S: the file then holds the edit, and before the
# save it was untouched.
# Usage: recovery_sigkill.sh ZEZUDI EXAMPLE.CDF
set -u
editor=$1 example=$2
# shellcheck source=../../scripts/lib/xvfb.sh
. "$(dirname "$0")/../../scripts/lib/xvfb.sh"
xvfb_test_begin
xvfb_start 1280x900 "$work" || fail "no X display"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export ZEZ_AUTOSAVE_MS=300 QT_QPA_PLATFORM=xcb
unset XDG_RUNTIME_DIR
cp "$example" "$work/site.CDF"
before=$(sha256sum < "$work/site.CDF")

seg200() {  # the type of segment 200 of output 1 in file $1: SegType at byte 2 * (0 + 8 * 200)
  od -An -t d2 -j $((2 * 8 * 200)) -N 2 "$1" 2>/dev/null | tr -d ' '
}
wait_wire() {  # waits until some file matching $1 holds the wire at segment 200 ([$2] seconds)
  for _ in $(seq $((${2:-60} * 10))); do
    for f in $1; do [ "$(seg200 "$f")" = "4" ] && return 0; done
    sleep 0.1
  done
  return 1
}

"$editor" "$work/site.CDF" >"$work/editor-1.log" 2>&1 &
pid=$!
pids+=($pid)
win=$(xvfb_wait_window Brantel 60 "$pid") || fail "the editor did not open a window"
editor_client "$win"
# Segment 200 (row 12, column 8), below its label. A click lost while the window is still being
# mapped on a slow machine is tried again.
for attempt in 1 2 3; do
  sleep 0.5
  xdotool mousemove $((cx + 120 + 40 * 8 + 20)) $((cy + 8 + 40 * 12 + 32)) click 1
  sleep 0.3
  xdotool key w
  wait_wire "$work/data/*/recovery/session-*.CDF" 20 && break
  [ "$attempt" = 3 ] && fail "no recovery copy with the edit was written"
done
kill -9 "$pid"
wait "$pid" 2>/dev/null
[ "$(sha256sum < "$work/site.CDF")" = "$before" ] || fail "the user's file changed without a Save"

"$editor" >"$work/editor-2.log" 2>&1 &
pid=$!
pids+=($pid)
box=$(xvfb_wait_window Recovery 60 "$pid") || fail "no recovery question on the next start"
# Enter answers Restore; pressed again while the question is still up (focus not yet there).
for _ in $(seq 10); do
  sleep 0.5
  xdotool windowfocus --sync "$box" 2>/dev/null || true
  xdotool key Return
  sleep 0.5
  xdotool search --name Recovery >/dev/null 2>&1 || break
done
win=$(xvfb_wait_window Brantel) || fail "no main window after the recovery question"
editor_client "$win"
for attempt in 1 2 3; do
  xdotool mousemove $((cx + 800)) $((cy + 589)) click 1
  sleep 0.2
  xdotool key ctrl+s
  wait_wire "$work/site.CDF" 20 && break
  [ "$attempt" = 3 ] &&
    fail "after restore and save, segment 200 holds type $(seg200 "$work/site.CDF"), not 4"
done
echo "recovery_sigkill: passed"
