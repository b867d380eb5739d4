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
"$cli" download "$example" --port "$pty" --yes > "$work/down.txt" 2> "$work/down.err" || { cat "$work/down.err"; fail "download"; }
[ "$(cat "$work/down.txt")" = "Download Complete." ] || fail "standard output holds more than the result"
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
# A port that cannot be used is said before the question; a silent module is named with what to
# check.
for bad in /dev/null "$work/nothing" COM3; do
  "$cli" download "$example" --port "$bad" > /dev/null 2> "$work/bad.err" < /dev/null
  [ $? -eq 1 ] || fail "--port $bad did not exit 1"
  ! grep -q Continue "$work/bad.err" || fail "--port $bad: the question came first"
  grep -q "Cannot open $bad: \(it is not a serial port\|there is no such port\)\.$" "$work/bad.err" ||
    { cat "$work/bad.err"; fail "--port $bad: no plain reason"; }
done
start_devsim --silent-after 0
"$cli" download "$example" --port "$pty" --yes > "$work/silent.txt" 2> "$work/silent.err"
[ "$(cat "$work/silent.txt")" = "Unable to connect to device." ] || fail "silent module: standard output"
grep -q "no answer from the module on $pty\. Check that the module is powered" "$work/silent.err" ||
  { cat "$work/silent.err"; fail "silent module: no port or hint"; }
stop_device
echo "unusable ports and a silent module: said with the port"
echo "transfer_pty: passed"
