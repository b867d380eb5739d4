#!/usr/bin/env bash
# The real editor under Xvfb, driven with xdotool: open a file, click a segment, type W (a wire),
# wait for the autosave, kill the editor with SIGKILL; start it again, answer the recovery
# question with Enter (Restore), save with Ctrl+S: the file then holds the edit, and before the
# save it was untouched.
# Usage: recovery_sigkill.sh ZEZUDI EXAMPLE.CDF
set -u
editor=$1 example=$2
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
done
work=$(mktemp -d)
display=:$((200 + RANDOM % 300))
pids=()
cleanup() { { [ ${#pids[@]} -gt 0 ] && kill -9 "${pids[@]}" && wait; } 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

Xvfb "$display" -screen 0 1280x900x24 >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
# The editor aborts when it finds no display: wait until the server takes connections.
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start on $display"
export ZEZ_AUTOSAVE_MS=300 QT_QPA_PLATFORM=xcb
unset XDG_RUNTIME_DIR
cp "$example" "$work/site.CDF"
before=$(sha256sum < "$work/site.CDF")

wait_window() {  # prints the id of a window whose name matches $1
  for _ in $(seq 100); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

"$editor" "$work/site.CDF" >/dev/null 2>&1 &
pid=$!
pids+=($pid)
win=$(wait_window Brantel) || fail "the editor did not open a window"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$win")"
cy=$((Y + HEIGHT - 689))
# Segment 200 (row 12, column 8), below its label.
xdotool mousemove $((X + 120 + 40 * 8 + 20)) $((cy + 8 + 40 * 12 + 32)) click 1
sleep 0.3
xdotool key w
sleep 1.5  # several autosave ticks
ls "$work"/data/*/recovery/session-*.CDF >/dev/null 2>&1 || fail "no recovery copy was written"
kill -9 "$pid"
wait "$pid" 2>/dev/null
[ "$(sha256sum < "$work/site.CDF")" = "$before" ] || fail "the user's file changed without a Save"

"$editor" >/dev/null 2>&1 &
pid=$!
pids+=($pid)
box=$(wait_window Recovery) || fail "no recovery question on the next start"
sleep 0.5
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key Return
sleep 0.5
win=$(wait_window Brantel) || fail "no main window after the recovery question"
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove $((X + 800)) $((Y + HEIGHT - 100)) click 1
sleep 0.2
xdotool key ctrl+s
sleep 0.8
# Segment 200 of output 1 is a wire (type 4): SegType at byte 2 * (0 + 8 * 200).
type=$(od -An -t d2 -j $((2 * 8 * 200)) -N 2 "$work/site.CDF" | tr -d ' ')
[ "$type" = "4" ] || fail "after restore and save, segment 200 holds type $type, not 4"
echo "recovery_sigkill: passed"
