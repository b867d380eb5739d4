#!/usr/bin/env bash
# Kills zezudi-cli with SIGKILL at random moments while it replaces a control array file: the
# file must always be the old or the new array, whole, and a later save removes the temporaries
# that the killed saves left once they are stale.
# Usage: kill_during_save.sh CLI A.CDF B.CDF [ROUNDS]
set -u
cli=$1 a=$2 b=$3 rounds=${4:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$cli" compile "$a" -o "$work/a.bin" >/dev/null || fail "compile A"
"$cli" compile "$b" -o "$work/b.bin" >/dev/null || fail "compile B"
cmp -s "$work/a.bin" "$work/b.bin" && fail "the two configurations compile alike"
cp "$work/a.bin" "$work/out.bin"

for i in $(seq "$rounds"); do
  src=$a; [ $((i % 2)) -eq 0 ] && src=$b
  "$cli" compile "$src" -o "$work/out.bin" >/dev/null 2>&1 &
  pid=$!
  sleep "0.0$((RANDOM % 40 + 10))"
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  cmp -s "$work/out.bin" "$work/a.bin" || cmp -s "$work/out.bin" "$work/b.bin" ||
    fail "round $i: out.bin is neither the old nor the new array"
done

left=$(find "$work" -name 'out.bin.zezudi-partial-save-*.tmp' | wc -l)
echo "$rounds kills, $left temporaries left"
# Age what was left beyond a minute; the next save removes it.
find "$work" -name 'out.bin.zezudi-partial-save-*.tmp' -exec touch -d '-2 minutes' {} +
"$cli" compile "$a" -o "$work/out.bin" >/dev/null || fail "the last compile"
cmp -s "$work/out.bin" "$work/a.bin" || fail "the last compile wrote the wrong array"
left=$(find "$work" -name '*.tmp' | wc -l)
[ "$left" -eq 0 ] || fail "$left temporaries remain after the next save"
echo "kill_during_save: passed"
