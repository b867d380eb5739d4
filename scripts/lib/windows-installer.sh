#!/usr/bin/env bash
# The Windows installer and portable ZIP tried under Wine, in fresh Wine prefixes: a silent
# install for the user alone and for all users, the Start-menu entries, the .CDF file type and
# the uninstall entry; the installed programs answer and the installed zezudi-cli downloads to
# and uploads from zezudi-devsim through COM5; the uninstaller takes it all away again. The ZIP
# runs from a folder of its own with nothing on the path.
# Usage: windows-installer.sh BUILD_DIR WINE
set -euo pipefail
build=$1 wine=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
setup=$(ls "$build"/zezudi-*-win64.exe)
zip=$(ls "$build"/zezudi-*-win64.zip)
work=$(mktemp -d)
pids=()
cleanup() {
  [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" 2>/dev/null
  WINEPREFIX="$work/user" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$work/all" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "windows installer: FAIL: $*"; exit 1; }
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEPATH

# The emulated device on a pseudo-terminal, a Linux program: the native one from scripts/test.
devsim=$here/build/ci/zezudi-devsim
if [ ! -x "$devsim" ]; then
  cmake -S "$here" -B "$here/build/devsim" -G Ninja -DZEZ_CORE_ONLY=ON -DZEZ_BUILD_TESTS=OFF \
    -DZEZ_BUILD_BENCH=OFF >/dev/null
  cmake --build "$here/build/devsim" --target zezudi-devsim >/dev/null
  devsim=$here/build/devsim/zezudi-devsim
fi

# reg PREFIX KEY VALUE: the value's data as `reg query` prints it, or nothing.
reg() {
  WINEPREFIX=$1 "$wine" reg query "$2" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p'
}
unix() { WINEPREFIX=$1 winepath -u "$2" 2>/dev/null | tr -d '\r'; }
folder() { WINEPREFIX=$1 "$wine" cmd /c echo "$2" 2>/dev/null | tr -d '\r'; }

for mode in user all; do
  prefix=$work/$mode
  export WINEPREFIX=$prefix
  wineboot -i >/dev/null 2>&1
  if [ $mode = user ]; then
    WINEPREFIX=$prefix "$wine" "$setup" /S /CURRENTUSER >/dev/null 2>&1
    root=HKCU
    dir=$(unix "$prefix" "$(folder "$prefix" '%LOCALAPPDATA%')\\Programs\\ZezUdi")
    menu=$(unix "$prefix" "$(folder "$prefix" '%APPDATA%')\\Microsoft\\Windows\\Start Menu\\Programs\\ZezUdi")
  else
    # Wine's user is an administrator: without /CURRENTUSER the installation is for all users.
    WINEPREFIX=$prefix "$wine" "$setup" /S >/dev/null 2>&1
    root=HKLM
    dir=$(unix "$prefix" "$(folder "$prefix" '%ProgramW6432%')\\ZezUdi")
    menu=$(unix "$prefix" "$(folder "$prefix" '%ProgramData%')\\Microsoft\\Windows\\Start Menu\\Programs\\ZezUdi")
  fi
  wineserver -w >/dev/null 2>&1
  [ -x "$dir/bin/zezudi.exe" ] || [ -f "$dir/bin/zezudi.exe" ] || fail "$mode: no $dir/bin/zezudi.exe"
  for f in zezudi-cli.exe Qt6Core.dll Qt6SerialPort.dll libstdc++-6.dll platforms/qwindows.dll; do
    [ -f "$dir/bin/$f" ] || fail "$mode: $f was not installed"
  done
  [ -f "$menu/ZezUdi.lnk" ] || fail "$mode: no Start-menu entry in $menu"
  [ "$(reg "$prefix" "$root\\Software\\Classes\\.CDF")" = ZezUdi.Configuration ] ||
    fail "$mode: .CDF is not registered in $root"
  command=$(reg "$prefix" "$root\\Software\\Classes\\ZezUdi.Configuration\\shell\\open\\command")
  case $command in *'\bin\zezudi.exe" "%1"') ;; *) fail "$mode: the open command is '$command'" ;; esac

  # The installed programs answer, with nothing on the path.
  version=$("$wine" "$dir/bin/zezudi-cli.exe" --version 2>&1 | tr -d '\r')
  case $version in *[0-9].[0-9]*) ;; *) fail "$mode: zezudi-cli --version said '$version'" ;; esac
  editor=$(env -u DISPLAY "$wine" "$dir/bin/zezudi.exe" --version 2>&1 | tr -d '\r')
  [ "${editor##* }" = "${version##* }" ] || fail "$mode: zezudi --version said '$editor', the CLI '$version'"

  if [ $mode = user ]; then
    # A download and an upload through COM5, which Wine maps to the emulator's terminal.
    "$devsim" > "$work/devsim.out" 2> "$work/devsim.err" &
    pids+=($!)
    for _ in $(seq 300); do [ -s "$work/devsim.out" ] && break; sleep 0.1; done
    pty=$(head -1 "$work/devsim.out")
    case $pty in /dev/*) ;; *) fail "zezudi-devsim printed no terminal" ;; esac
    "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM5 /d "$pty" /f >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1  # ports are read when Wine starts
    cp "$here/examples/corridor.CDF" "$work/corridor.CDF"
    cfg=$(WINEPREFIX=$prefix winepath -w "$work/corridor.CDF" | tr -d '\r')
    "$wine" "$dir/bin/zezudi-cli.exe" download "$cfg" --port COM5 --yes > "$work/down.txt" 2>&1 ||
      { cat "$work/down.txt"; fail "download through COM5"; }
    grep -q '^Download Complete\.' "$work/down.txt" || { cat "$work/down.txt"; fail "no Download Complete."; }
    up=$(WINEPREFIX=$prefix winepath -w "$work/up.CDF" | tr -d '\r')
    "$wine" "$dir/bin/zezudi-cli.exe" upload --port COM5 -o "$up" --yes > "$work/up.txt" 2>&1 ||
      { cat "$work/up.txt"; fail "upload through COM5"; }
    cmp "$work/corridor.CDF" "$work/up.CDF" || fail "the upload through COM5 differs from the download"
    # Wine first: the terminal's hang-up would reach its server, which answers with a dump.
    wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1
    kill "${pids[@]}" 2>/dev/null; wait "${pids[@]}" 2>/dev/null || true; pids=()
    echo "windows installer: download and upload through COM5 ($pty): byte-identical"
  fi

  "$wine" "$dir/Uninstall.exe" /S >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  [ ! -e "$dir/bin" ] || fail "$mode: the uninstaller left $dir/bin"
  [ ! -e "$menu/ZezUdi.lnk" ] || fail "$mode: the uninstaller left the Start-menu entry"
  [ -z "$(reg "$prefix" "$root\\Software\\Classes\\ZezUdi.Configuration")" ] &&
    [ -z "$(reg "$prefix" "$root\\Software\\Classes\\.CDF")" ] || fail "$mode: the file type is still registered"
  echo "windows installer: installed for $( [ $mode = user ] && echo the user alone || echo all users ), answered, uninstalled"
  wineserver -k >/dev/null 2>&1 || true
done

# The portable ZIP: unpacked anywhere, it runs with nothing on the path.
unzip -q "$zip" -d "$work/portable"
cli=$(ls "$work"/portable/*/bin/zezudi-cli.exe)
WINEPREFIX=$work/user "$wine" "$cli" show "$(WINEPREFIX=$work/user winepath -w "$here/examples/corridor.CDF" | tr -d '\r')" \
  --output 1 > "$work/show.txt" 2>&1 || { cat "$work/show.txt"; fail "the portable zezudi-cli"; }
grep -qF '[ I3]' "$work/show.txt" || { cat "$work/show.txt"; fail "the portable zezudi-cli showed nothing"; }
echo "windows installer: the portable ZIP runs from its own folder"
