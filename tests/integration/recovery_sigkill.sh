#!/usr/bin/env bash
# The real editor under Xvfb, driven with xdotool. Killed with SIGKILL after an edit and the
# autosave, it offers the edit back on the next start; restored (Enter), edited again and ended
# with SIGTERM long before the next autosave, it keeps that edit too; restored once more and saved
# with Ctrl+S, the file holds both edits, and until then it was untouched.
# Usage: recovery_sigkill.sh ZEZUDI EXAMPLE.CDF
set -u
editor=$1 example=$2
# shellcheck source=../../scripts/lib/xvfb.sh
. "$(dirname "$0")/../../scripts/lib/xvfb.sh"
xvfb_test_begin
xvfb_start 1280x900 "$work" || fail "no X display"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data QT_QPA_PLATFORM=xcb
unset XDG_RUNTIME_DIR
cp "$example" "$work/site.CDF"
before=$(sha256sum < "$work/site.CDF")
copies="$work/data/*/recovery/session-*.CDF"

seg() {  # the type of segment $2 of output 1 in file $1: SegType at byte 2 * 8 * $2
  od -An -t d2 -j $((2 * 8 * $2)) -N 2 "$1" 2>/dev/null | tr -d ' '
}
wait_wire() {  # waits until some file matching $1 holds a wire at segment $2 ([$3] seconds)
  for _ in $(seq $((${3:-60} * 10))); do
    for f in $1; do [ "$(seg "$f" "$2")" = "4" ] && return 0; done
    sleep 0.1
  done
  return 1
}
start() {  # the editor with the arguments given; when a copy is offered, Enter restores it
  "$editor" "$@" >>"$work/editor.log" 2>&1 &
  pid=$!
  pids+=($pid)
  if [ $# = 0 ]; then
    box=$(xvfb_wait_window Recovery 60 "$pid") || fail "no recovery question on the next start"
    # Enter answers Restore; pressed again while the question is still up (focus not yet there).
    for _ in $(seq 10); do
      sleep 0.5
      xdotool windowfocus --sync "$box" 2>/dev/null || true
      xdotool key Return
      sleep 0.5
      xdotool search --name Recovery >/dev/null 2>&1 || break
    done
  fi
  win=$(xvfb_wait_window Brantel 60 "$pid") || fail "the editor did not open a window"
  editor_client "$win"
}
wire() {  # a click on segment $1 (row 12, below its label) and W; tried again when lost
  local attempt
  for attempt in 1 2 3; do
    sleep 0.5
    xdotool mousemove $((cx + 120 + 40 * ($1 % 16) + 20)) $((cy + 8 + 40 * ($1 / 16) + 32)) click 1
    sleep 0.3
    xdotool key w
    eval "${2:-true}" && break
    [ "$attempt" = 3 ] && fail "segment $1: no edit seen"
  done
}

export ZEZ_AUTOSAVE_MS=300
start "$work/site.CDF"
wire 200 "wait_wire '$copies' 200 20"
kill -9 "$pid"
wait "$pid" 2>/dev/null
[ "$(sha256sum < "$work/site.CDF")" = "$before" ] || fail "the user's file changed without a Save"

export ZEZ_AUTOSAVE_MS=600000  # no tick before the end: what is kept, the ending kept
for attempt in 1 2 3; do  # a click lost on a slow machine is tried again
  start
  sleep 1
  wire 201
  kill -TERM "$pid"
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "SIGTERM did not end the editor within 10 s"
  wait_wire "$copies" 201 2 && break
  [ "$attempt" = 3 ] && fail "the edit before SIGTERM was not kept for recovery"
done
[ "$(sha256sum < "$work/site.CDF")" = "$before" ] || fail "the user's file changed without a Save"

start
for attempt in 1 2 3; do
  xdotool mousemove $((cx + 800)) $((cy + 589)) click 1
  sleep 0.2
  xdotool key ctrl+s
  wait_wire "$work/site.CDF" 201 20 && [ "$(seg "$work/site.CDF" 200)" = 4 ] && break
  [ "$attempt" = 3 ] && fail "after restore and save, segments 200 and 201 hold types" \
    "$(seg "$work/site.CDF" 200) and $(seg "$work/site.CDF" 201), not 4 and 4"
done
echo "recovery_sigkill: passed"
