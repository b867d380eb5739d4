#!/usr/bin/env bash
# Download and verify against a device peer that is not the project's emulator: after the
# download verify says match (exit 0); when the peer's table changes in output 2's words, verify
# names that output and exits 3.
# Then an emulator that hangs up during the read-back, like a pulled adapter, must end verify with
# exit 1 and the reason within 20 s.
# Usage: verify_peer.sh CLI EXAMPLE.CDF DEVSIM
set -u
cli=$1 example=$2 devsim=$3
command -v python3 >/dev/null || { echo "SKIP: python3 not installed"; exit 77; }
here=$(dirname "$0")
work=$(mktemp -d)
pids=()
cleanup() { { [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" && wait; } 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

run_peer() {  # sets pty
  # A fresh file: the new peer's redirection may come after this shell looks at it.
  rm -f "$work/peer.out"
  python3 "$here/peer_device.py" "$@" > "$work/peer.out" 2>&1 &
  pids+=($!)
  # A whole first line, however long a busy machine takes to start the interpreter.
  for _ in $(seq 300); do
    [ -s "$work/peer.out" ] && [ "$(wc -l < "$work/peer.out")" -ge 1 ] && break
    sleep 0.1
  done
  pty=$(head -1 "$work/peer.out")
  case $pty in
    /dev/*) ;;
    *) cat "$work/peer.out"; fail "the peer printed no terminal" ;;
  esac
}

run_peer
"$cli" download "$example" --port "$pty" --yes > "$work/down.txt" 2>&1 || { cat "$work/down.txt"; fail "download"; }
"$cli" verify "$example" --port "$pty" --yes > "$work/v.txt" 2>&1
code=$?
[ $code -eq 0 ] || { cat "$work/v.txt"; fail "verify after download exited $code"; }
tail -1 "$work/v.txt" | grep -qx match || fail "verify did not say match"
"$cli" verify "$example" --port "$pty" --yes --quick | grep -q '^match (quick' || fail "quick verify"
kill "${pids[@]}"; wait 2>/dev/null; pids=()

run_peer --corrupt 100
"$cli" download "$example" --port "$pty" --yes > /dev/null 2>&1 || fail "second download"
"$cli" verify "$example" --port "$pty" --yes > "$work/v2.txt" 2>&1
code=$?
[ $code -eq 3 ] || { cat "$work/v2.txt"; fail "verify of a changed table exited $code, not 3"; }
grep -q '^LC Input 2: table differs in 100 of 65536 words$' "$work/v2.txt" || { cat "$work/v2.txt"; fail "output 2 not named"; }
kill "${pids[@]}"; wait 2>/dev/null; pids=()

"$devsim" --exit-after-commands 60 > "$work/ds.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/ds.out" ] && break; sleep 0.1; done
pty=$(head -1 "$work/ds.out")
start=$(date +%s)
"$cli" verify "$example" --port "$pty" --yes > "$work/v3.txt" 2>&1
code=$?
[ $code -eq 1 ] || { cat "$work/v3.txt"; fail "verify against an unplugged device exited $code, not 1"; }
grep -q 'device disconnected\|stopped answering' "$work/v3.txt" || { cat "$work/v3.txt"; fail "no reason given"; }
[ $(( $(date +%s) - start )) -lt 20 ] || fail "verify took 20 s or more to give up"
echo "verify_peer: passed"
