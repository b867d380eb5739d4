#!/usr/bin/env bash
# The real editor under Xvfb, driven with xdotool: editing keys act only on the grid with the
# focus. Ticking a test box then typing N, and Ctrl+A, Ctrl+N, N without a click on the grid,
# change nothing (no unsaved change, so no recovery copy is written); a click on a segment and W
# do (the copy then holds the wire).
# Usage: editor_keys.sh ZEZUDI EXAMPLE.CDF
set -u
editor=$1 example=$2
# shellcheck source=../../scripts/lib/xvfb.sh
. "$(dirname "$0")/../../scripts/lib/xvfb.sh"
xvfb_test_begin
xvfb_start 1280x900 "$work" || fail "no X display"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data ZEZ_AUTOSAVE_MS=200 QT_QPA_PLATFORM=xcb
unset XDG_RUNTIME_DIR
cp "$example" "$work/site.CDF"
xvfb_start_editor "$editor" "$work/site.CDF"
copies() { ls "$work"/data/*/recovery/session-*.CDF 2>/dev/null | wc -l; }
click() { xdotool mousemove $((cx + $1)) $((cy + $2)) click 1; sleep 0.3; }

sleep 1
click 30 488  # tick I3 in the Test frame
xdotool key n
sleep 1.5
[ "$(copies)" = 0 ] || fail "N typed after ticking a test box changed the configuration"
xdotool key ctrl+a ctrl+n
sleep 0.5
xdotool key n
sleep 1.5
[ "$(copies)" = 0 ] || fail "Ctrl+A, New, N without a click on the grid changed the configuration"

# The control: a click on segment 200 and W make an unsaved change, kept in a recovery copy.
for attempt in 1 2 3; do
  click $((120 + 40 * 8 + 20)) $((8 + 40 * 12 + 32))
  xdotool key w
  for _ in $(seq 100); do [ "$(copies)" = 1 ] && break; sleep 0.2; done
  [ "$(copies)" = 1 ] && break
  [ "$attempt" = 3 ] && fail "a click on the grid and W made no change"
done
echo "editor_keys: passed"
