# Sourced by the scripts that drive the real editor under a virtual X server.
#
#   xvfb_start WIDTHxHEIGHT WORKDIR   starts Xvfb on a display number it picks itself (-displayfd),
#                                     waits until the server answers, exports DISPLAY
#   xvfb_stop                         ends it with SIGTERM, so it removes its lock and socket
#   editor_client WINDOW              sets cx, cy: the top left of the editor's client area
#   xvfb_wait_window NAME [SECONDS [PID]]
#                                     prints the id of the first window whose name matches NAME;
#                                     gives up at once when process PID has ended
#
# The deadlines are generous on purpose: they only matter on a slow or busy machine.

XVFB_PID=
XVFB_LOG=

xvfb_start() {
  local geometry=$1 work=$2 fifo display=
  XVFB_LOG=$work/xvfb.log
  fifo=$work/xvfb.displayfd
  : >"$fifo"
  # -noreset: the server would otherwise reset when xdotool, its first client, disconnects, and
  # refuse the editor that connects in that moment.
  Xvfb -displayfd 9 -screen 0 "${geometry}x24" -nolisten tcp -noreset 9>"$fifo" >"$XVFB_LOG" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 600); do
    display=$(tr -dc '0-9' <"$fifo")
    [ -n "$display" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$display" ]; then
    echo "Xvfb did not start; it said:" >&2
    cat "$XVFB_LOG" >&2
    return 1
  fi
  export DISPLAY=:$display
  # The editor aborts when it finds no display: wait until the server takes connections.
  for _ in $(seq 600); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb on $DISPLAY does not answer; it said:" >&2
  cat "$XVFB_LOG" >&2
  return 1
}

xvfb_stop() {
  [ -n "$XVFB_PID" ] || return 0
  kill -TERM "$XVFB_PID" 2>/dev/null
  for _ in $(seq 100); do
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$XVFB_PID" 2>/dev/null
  wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=
}

xvfb_wait_window() {
  local name=$1 seconds=${2:-60} pid=${3:-} id
  for _ in $(seq $((seconds * 10))); do
    id=$(xdotool search --name "$name" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null && return 1
    sleep 0.1
  done
  return 1
}

# The client area (881 x 689) sits between the menu bar and the 22-pixel status bar.
editor_client() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  cx=$X
  cy=$((Y + HEIGHT - 689 - 22))
}

# For the tests that drive the editor. xvfb_test_begin [TOOL...] skips the test (exit 77) when
# Xvfb, xdotool or a named tool is missing, makes the folder $work and removes it at the end,
# with Xvfb and every process in $pids. fail MESSAGE says what failed and what the editor and
# Xvfb wrote (the *.log files in $work), and ends the test.
xvfb_test_begin() {
  local tool
  for tool in Xvfb xdotool "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
  done
  work=$(mktemp -d)
  pids=()
  trap xvfb_test_end EXIT
}

xvfb_test_end() {
  { [ ${#pids[@]} -gt 0 ] && kill -9 "${pids[@]}" && wait "${pids[@]}"; } 2>/dev/null
  xvfb_stop
  rm -rf "$work"
}

fail() {
  local log
  echo "FAIL: $*"
  for log in "$work"/*.log; do
    [ -s "$log" ] && { echo "--- $(basename "$log"):"; cat "$log"; }
  done
  exit 1
}

# xvfb_start_editor EDITOR [ARGS...] starts the editor with its output in $work/editor.log and
# waits for its window: sets app (its process, also in $pids), win and cx, cy.
xvfb_start_editor() {
  "$@" >"$work/editor.log" 2>&1 &
  app=$!
  pids+=("$app")
  win=$(xvfb_wait_window Brantel 60 "$app") || fail "the editor did not open a window"
  editor_client "$win"
}
