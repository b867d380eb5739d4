#!/usr/bin/env bash
# git shows a changed segment of a CDF file as one changed row of its text form, through the
# textconv driver the README sets up (diff=zezudi, textconv = zezudi-cli totext).
# Usage: git_textconv.sh CLI EXAMPLE.CDF
set -u
cli=$1 example=$2
command -v git >/dev/null || { echo "SKIP: git is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cd "$work" && git init -q . || fail "git init"
git config user.email ci@example.invalid && git config user.name CI
git config diff.zezudi.textconv "$cli totext"
echo '*.CDF diff=zezudi' > .gitattributes
cp "$example" site.CDF && git add . && git commit -qm first || fail "first commit"
# Segment 20 of output 2 (row 1, column 4) becomes a wire: bytes 2 * (1 + 8 * 20).
printf '\x04\x00' | dd of=site.CDF bs=1 seek=$((2 * (1 + 8 * 20))) conv=notrunc 2>/dev/null
git commit -qam second || fail "second commit"
git diff HEAD~1 HEAD -- site.CDF > diff.txt || fail "git diff"
removed=$(grep -c '^-[^-]' diff.txt) added=$(grep -c '^+[^+]' diff.txt)
[ "$removed" = 1 ] && [ "$added" = 1 ] || { cat diff.txt; fail "$removed line(s) out, $added in"; }
grep -q '^+\.     \.     \.     \.     --    \.' diff.txt || { cat diff.txt; fail "not the wire's row"; }
echo "git_textconv: one segment, one changed row"
