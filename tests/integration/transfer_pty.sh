#!/usr/bin/env bash
# Download, upload and verify through QSerialPort over real pseudo-terminals against
# zezudi-devsim. A device that hangs up mid-transfer, like a pulled adapter, ends download,
# upload and verify within 20 s, with failure, the reason and no file.
# Usage: transfer_pty.sh DEVSIM CLI EXAMPLE.CDF
set -u
devsim=$1 cli=$2 example=$3
# shellcheck source=devsim.sh
. "$(dirname "$0")/devsim.sh"

start_devsim --memory "$work/device.mem"
"$cli" download "$example" --port "$pty" --yes > "$work/down.txt" 2>&1 || { cat "$work/down.txt"; fail "download"; }
grep -q '^Download Complete\.$' "$work/down.txt" || fail "no Download Complete."
"$cli" upload --port "$pty" -o "$work/up.CDF" --yes > "$work/up.txt" 2>&1 || { cat "$work/up.txt"; fail "upload"; }
cmp "$example" "$work/up.CDF" || fail "uploaded file differs from the downloaded one"
stop_device
echo "download and upload over $pty: byte-identical"

# The device's memory survives a restart of the emulator, and verify finds it the same.
start_devsim --memory "$work/device.mem"
"$cli" upload --port "$pty" -o "$work/again.CDF" --yes > /dev/null 2>&1 || fail "upload after restart"
cmp "$example" "$work/again.CDF" || fail "memory not kept across runs"
"$cli" verify "$example" --port "$pty" --yes 2>&1 | tail -1 | grep -qx match || fail "verify"
stop_device

# Unplugged mid-transfer: the emulator hangs up after so many commands.
for c in "download 300" "upload 10" "verify 60"; do
  read -r cmd after <<< "$c"
  start_devsim --exit-after-commands "$after"
  args=("$example" --port "$pty" --yes)
  [ "$cmd" = upload ] && args=(--port "$pty" --yes -o "$work/none.CDF")
  start=$(date +%s)
  "$cli" "$cmd" "${args[@]}" > "$work/unplug.txt" 2>&1
  code=$?
  took=$(( $(date +%s) - start ))
  stop_device
  [ $code -eq 1 ] || { cat "$work/unplug.txt"; fail "$cmd after a hang-up exited $code, not 1"; }
  grep -qi 'disconnected\|stopped answering' "$work/unplug.txt" || { cat "$work/unplug.txt"; fail "$cmd: no reason given"; }
  [ "$took" -lt 20 ] || fail "$cmd: the hang-up took ${took}s to notice"
  [ -e "$work/none.CDF" ] && fail "a failed upload wrote a file"
  [ "$cmd" = download ] && { grep -q '^Download Failed\.$' "$work/unplug.txt" || fail "no Download Failed."; }
done
echo "hang-ups: failure reported, nothing written"
echo "transfer_pty: passed"
