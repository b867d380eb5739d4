# Sourced by the integration tests that serve a device on a pseudo-terminal.
#   start_devsim [OPTIONS]   starts $devsim; sets $pty to the terminal it prints first
work=$(mktemp -d)
pids=()
cleanup() { { [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" && wait; } 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
stop_device() { kill "${pids[@]}" 2>/dev/null; wait "${pids[@]}" 2>/dev/null; pids=(); }

start_devsim() {
  # A fresh file: the new device's redirection may come after this shell looks at it.
  rm -f "$work/device.out"
  "$devsim" "$@" > "$work/device.out" 2> "$work/device.err" &
  pids+=($!)
  for _ in $(seq 300); do  # a whole first line, however long a busy machine takes to start it
    [ -s "$work/device.out" ] && [ "$(wc -l < "$work/device.out")" -ge 1 ] && break
    sleep 0.1
  done
  pty=$(head -1 "$work/device.out")
  case $pty in
    /dev/*) ;;
    *) cat "$work/device.out" "$work/device.err"; fail "$devsim printed no terminal" ;;
  esac
}
