# Sourced by the integration tests that serve zezudi-devsim on a pseudo-terminal. Needs $devsim.
#   start_devsim [OPTIONS]   starts it; sets $pty to the terminal it prints
work=$(mktemp -d)
pids=()
cleanup() { [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

start_devsim() {
  rm -f "$work/devsim.out"
  "$devsim" "$@" > "$work/devsim.out" 2> "$work/devsim.err" &
  pids+=($!)
  for _ in $(seq 300); do  # a whole first line
    [ -s "$work/devsim.out" ] && [ "$(wc -l < "$work/devsim.out")" -ge 1 ] && break
    sleep 0.1
  done
  pty=$(head -1 "$work/devsim.out")
}
