#!/usr/bin/env bash
# Builds the Debian package from a build tree, unpacks it into a scratch root and checks what it
# installs. Usage: check_deb.sh BUILD_DIR EXAMPLE.CDF
set -u
build=$1 example=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/zezudi_*_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no zezudi_<version>_<arch>.deb"
echo "built $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
echo "$depends" | grep -q 'libqt6widgets6' || fail "does not depend on the Qt 6 widgets runtime"
echo "$depends" | grep -q 'libqt6serialport6' || fail "does not depend on the Qt 6 serial port runtime"
echo "$depends" | grep -q -- '-dev' && fail "depends on a -dev package"

root="$work/root"
dpkg -x "$deb" "$root" || fail "dpkg -x"
for f in usr/bin/zezudi usr/bin/zezudi-cli usr/bin/zezudi-devsim \
         usr/share/applications/zezudi.desktop \
         usr/share/mime/packages/zezudi-cdf.xml \
         usr/share/metainfo/io.github.zezudi.ZezUdi.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/zezudi.svg \
         usr/share/icons/hicolor/48x48/apps/zezudi.png \
         usr/share/icons/hicolor/256x256/apps/zezudi.png \
         usr/share/man/man1/zezudi.1.gz usr/share/man/man1/zezudi-cli.1.gz \
         usr/share/man/man1/zezudi-devsim.1.gz usr/share/man/man5/zezudi-cdf.5.gz \
         usr/share/zezudi/examples/corridor.CDF; do
  [ -e "$root/$f" ] || fail "missing /$f"
done
[ -x "$root/usr/bin/zezudi" ] || fail "zezudi is not executable"
# The browser edition, when it was built before the build tree was made.
web=$(sed -n 's/^ZEZ_WEB_DIR:PATH=//p' "$build/CMakeCache.txt")
if [ -f "$web/zezudi-editor.html" ]; then
  for f in zezudi-editor.html site/index.html site/zezudi.wasm; do
    cmp -s "$web/$f" "$root/usr/share/zezudi/web/$f" || fail "/usr/share/zezudi/web/$f is not the one built"
  done
fi

desktop="$root/usr/share/applications/zezudi.desktop"
grep -q '^Exec=zezudi %f$' "$desktop" || fail "the desktop entry does not pass the file"
grep -q '^MimeType=application/x-zezudi-cdf;' "$desktop" || fail "desktop entry claims no CDF type"
grep -q 'pattern="\*\.CDF"' "$root/usr/share/mime/packages/zezudi-cdf.xml" || fail "no *.CDF glob"

# The packaged command line runs.
out=$("$root/usr/bin/zezudi-cli" eval "$example" --output 1 --inputs I1)
[ "$out" = "Lumacor Input 1 On" ] || fail "packaged zezudi-cli eval said: $out"
# The manual pages read as pages (man formats them without a warning).
for page in man1/zezudi-cli.1.gz man5/zezudi-cdf.5.gz; do
  out=$(man -l "$root/usr/share/man/$page" 2>"$work/man.err")
  echo "$out" | grep -q '^NAME' && [ ! -s "$work/man.err" ] || fail "man $page: $(cat "$work/man.err")"
done
echo "package contents: all present"
echo "1 passed, 0 failed"
