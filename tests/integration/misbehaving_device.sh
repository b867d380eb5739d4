#!/usr/bin/env bash
# zezudi-cli against zezudi-devsim misbehaving on a real pseudo-terminal: each case must end
# within its deadline, with the exit status and reason the table gives, and leave the target
# file as it was.
# Usage: misbehaving_device.sh DEVSIM CLI EXAMPLE.CDF
set -u
devsim=$1 cli=$2 example=$3
# shellcheck source=devsim.sh
. "$(dirname "$0")/devsim.sh"
failed=0 passed=0

# A device that holds the example (its memory is saved when it is stopped), then each case with
# faults switched on.
start_devsim --memory "$work/device.mem"
"$cli" download "$example" --port "$pty" --yes > "$work/setup.txt" 2>&1 ||
  { cat "$work/setup.txt"; fail "setup download"; }
stop_device
[ -s "$work/device.mem" ] || fail "the device's memory was not saved"

# name | devsim faults | command | allowed exit codes | what the output must say | seconds at most
cases=(
  "dribbled download|--dribble-ms 50|download|1|answers too slowly|30"
  "dribbled upload|--dribble-ms 50|upload|1|No reply to the read of block 0|30"
  "dropped replies|--drop-every 150|verify|0|^match$|60"
  "truncated replies|--short-replies|verify|1|Unable to connect|30"
  "flooded replies|--flood-every 7|verify|0 1||60"
  "escape-laden replies|--garble-every 5|upload|0 1||60"
  "corrupted digits|--corrupt-every 9|verify|0 1||60"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name faults cmd codes says limit <<< "$c"
  cp "$work/device.mem" "$work/case.mem"
  # shellcheck disable=SC2086
  start_devsim --memory "$work/case.mem" $faults
  printf 'keep' > "$work/target.CDF"
  args=(--port "$pty" --yes --deadline 20)
  case $cmd in
    upload) args+=(-o "$work/target.CDF") ;;
    *) args=("$example" "${args[@]}") ;;
  esac
  start=$(date +%s)
  "$cli" "$cmd" "${args[@]}" > "$work/out.txt" 2> "$work/err.txt"
  code=$?
  took=$(( $(date +%s) - start ))
  stop_device
  why=""
  [[ " $codes " == *" $code "* ]] || why="exit $code, not one of $codes"
  cat "$work/out.txt" "$work/err.txt" > "$work/all.txt"
  if [ -n "$says" ] && ! grep -Eq -- "$says" "$work/all.txt"; then why="it does not say /$says/"; fi
  if [ "$code" = 1 ] && ! grep -Eq 'Failed|Unable|zezudi-cli:' "$work/all.txt"; then
    why="failed without a reason"
  fi
  [ "$took" -le "$limit" ] || why="took ${took}s"
  grep -q $'\x1b' "$work/out.txt" "$work/err.txt" && why="raw device bytes reached the terminal"
  grep -q '^match' "$work/out.txt" && [ "$code" != 0 ] && why="printed match with exit $code"
  if [ "$cmd" = upload ] && [ "$code" != 0 ] && [ "$(cat "$work/target.CDF")" != keep ]; then
    why="a failed upload changed the target"
  fi
  if [ -n "$why" ]; then
    echo "FAIL: $name: $why"; tail -5 "$work/all.txt" | sed 's/^/  | /'; failed=$((failed + 1))
  else
    echo "ok: $name: exit $code in ${took}s"; passed=$((passed + 1))
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
