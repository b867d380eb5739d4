#!/usr/bin/env bash
# Download and upload through QSerialPort over a real pseudo-terminal to zezudi-devsim; then an
# emulator that hangs up mid-transfer must end the transfer quickly, with failure and no file.
# Usage: transfer_pty.sh DEVSIM CLI EXAMPLE.CDF
set -u
devsim=$1 cli=$2 example=$3
# shellcheck source=devsim.sh
. "$(dirname "$0")/devsim.sh"

start_devsim --memory "$work/device.mem"
[ -n "$pty" ] || fail "zezudi-devsim printed no terminal"
"$cli" download "$example" --port "$pty" --yes > "$work/down.txt" 2>&1 || { cat "$work/down.txt"; fail "download"; }
grep -q '^Download Complete\.$' "$work/down.txt" || fail "no Download Complete."
"$cli" upload --port "$pty" -o "$work/up.CDF" --yes > "$work/up.txt" 2>&1 || { cat "$work/up.txt"; fail "upload"; }
cmp "$example" "$work/up.CDF" || fail "uploaded file differs from the downloaded one"
kill "${pids[@]}"; wait "${pids[@]}" 2>/dev/null; pids=()
echo "download and upload over $pty: byte-identical"

# The device's memory survives a restart of the emulator.
start_devsim --memory "$work/device.mem"
"$cli" upload --port "$pty" -o "$work/again.CDF" --yes > /dev/null 2>&1 || fail "upload after restart"
cmp "$example" "$work/again.CDF" || fail "memory not kept across runs"
kill "${pids[@]}"; wait "${pids[@]}" 2>/dev/null; pids=()

# Unplugged mid-transfer: the emulator hangs up after 300 commands.
start_devsim --exit-after-commands 300
start=$(date +%s)
"$cli" download "$example" --port "$pty" --yes > "$work/unplug.txt" 2>&1 && fail "download succeeded after a hang-up"
took=$(( $(date +%s) - start ))
grep -q '^Download Failed\.$' "$work/unplug.txt" || { cat "$work/unplug.txt"; fail "no Download Failed."; }
grep -qi 'disconnected\|stopped answering' "$work/unplug.txt" || { cat "$work/unplug.txt"; fail "no reason given"; }
[ "$took" -le 20 ] || fail "hang-up took ${took}s to notice"
pids=()

start_devsim --exit-after-commands 10
"$cli" upload --port "$pty" -o "$work/none.CDF" --yes > "$work/unplug2.txt" 2>&1 && fail "upload succeeded after a hang-up"
[ -e "$work/none.CDF" ] && fail "a failed upload wrote a file"
echo "hang-ups: failure reported in ${took}s, nothing written"
echo "1 passed, 0 failed"
