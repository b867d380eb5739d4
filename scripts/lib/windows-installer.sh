#!/usr/bin/env bash
# The Windows installer and portable ZIP tried under Wine, in fresh Wine prefixes: a silent
# install for the user alone and for all users, the Start-menu entries, the .CDF file type and
# the uninstall entry; the installed programs answer and the installed zezudi-cli downloads to
# and uploads from zezudi-devsim through COM5; the uninstaller takes it all away again. The ZIP
# runs from a folder of its own with nothing on the path.
# Usage: windows-installer.sh BUILD_DIR WINE
set -euo pipefail
build=$1 wine=$2
build_dir=$(cd "$build" && pwd)
here=$(cd "$(dirname "$0")/../.." && pwd)
setup=$(ls "$build"/zezudi-*-win64.exe)
zip=$(ls "$build"/zezudi-*-win64.zip)
work=$(mktemp -d)
pids=()
cleanup() {
  set +e
  [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" 2>/dev/null
  WINEPREFIX="$work/user" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$work/all" wineserver -k >/dev/null 2>&1 || true
  type xvfb_stop >/dev/null 2>&1 && { xvfb_stop || true; }
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

# drive_editor EXE: the installed editor on Xvfb, driven with xdotool as a person would: a file in
# a folder whose names are not ASCII opened, edited with a click and a key, saved (the old content
# kept as a previous version); compiled, downloaded, uploaded and compared through COM5
# (zezudi-devsim) and downloaded to the emulated device from the Connect menu's keys, each found in
# the transfer log; edited again and killed; on the next start the recovery question, answered Yes,
# brings the edit back, and Save writes both. The recent files, the port chosen last and (after
# Exit) the window's place are kept.
drive_editor() {
  local exe=$1 home folder file win app
  . "$here/scripts/lib/xvfb.sh"
  xvfb_start 1280x900 "$work" || fail "no X display"
  # Wine's desktop belongs to the server's first program: one that started without a display
  # leaves every later window without one.
  { wineserver -k; wineserver -w; } >/dev/null 2>&1 || true
  home=$(unix "$WINEPREFIX" "$(folder "$WINEPREFIX" '%USERPROFILE%')")
  folder="$home/Büro"
  file="$folder/Küche.CDF"
  mkdir -p "$folder"
  cp "$here/examples/corridor.CDF" "$file"
  seg() { od -An -t d2 -j $((2 * 8 * $2)) -N 2 "$1" 2>/dev/null | tr -d ' '; }
  wait_wire() {  # some file matching $1 holds a wire at segment $2 within 30 s
    for _ in $(seq 300); do
      for f in $1; do [ "$(seg "$f" "$2")" = 4 ] && return 0; done
      sleep 0.1
    done
    return 1
  }
  open_editor() {
    ZEZ_AUTOSAVE_MS=300 "$wine" "$exe" "$@" >>"$work/editor.log" 2>&1 &
    app=$!
    pids+=("$app")
    win=$(xvfb_wait_window Brantel 90 "$app") || fail "the editor did not open a window"
    editor_client "$win"
  }
  wire() {  # a click on segment $1 and W, until $2 holds the wire (a click lost is tried again)
    for _ in 1 2 3; do
      sleep 1
      xdotool mousemove $((cx + 120 + 40 * ($1 % 16) + 20)) $((cy + 8 + 40 * ($1 / 16) + 32)) click 1
      sleep 0.5
      xdotool key w
      [ -z "${2:-}" ] && return 0
      wait_wire "$2" "$1" && return 0
    done
    fail "editor: no wire at segment $1 in $2"
  }
  others() {  # the editor's boxes and dialogs: its windows other than the main one
    local w n
    for w in $(xdotool search --name '.' 2>/dev/null); do
      n=$(xdotool getwindowname "$w" 2>/dev/null) || continue
      case $n in ""|*Brantel*|*IME*) ;; *) echo "$w" ;; esac
    done
  }
  answer_until() {  # Return in every box that comes up, until "$@" holds and no box is left
    local box     # (for two seconds: the outcome's box comes after the log entry)
    for _ in $(seq 240); do
      box=$(others | head -1)
      if [ -n "$box" ]; then
        xdotool windowfocus --sync "$box" 2>/dev/null || true
        xdotool key Return
        # Once only: a Return that reaches the main window would press its Test button.
        for _ in $(seq 30); do others | grep -qx "$box" || break; sleep 0.1; done
      elif "$@"; then
        sleep 2
        [ -z "$(others)" ] && return 0
      fi
      sleep 0.5
    done
    import -window root "$build_dir/windows-editor-failed.png" 2>/dev/null || true
    return 1
  }
  count() {  # entries ACTION PORT [OUTCOME, complete when not given]
    grep -c "	$1	$2	.*	${3:-complete}	" "$home/AppData/Local/ZezUdi/transfers.log" 2>/dev/null || true
  }
  logged() { [ "$(count "$1" "$2" "${4:-}")" -gt "$3" ]; }  # more such entries than $3
  connect() {  # the Connect menu's item with the key $1
    xdotool windowfocus --sync "$win" 2>/dev/null || true
    xdotool key alt+c
    sleep 0.5
    xdotool key "$1"
  }
  local recovery="$home/AppData/Local/ZezUdi/recovery/session-*.CDF" n
  open_editor --port COM5 "$(WINEPREFIX=$WINEPREFIX winepath -w "$file" | tr -d '\r')"
  wire 200 "$recovery"
  xdotool key ctrl+s
  wait_wire "$file" 200 || fail "editor: Ctrl+S did not save $file"
  ls "$home"/AppData/Local/ZezUdi/versions/*/*.CDF >/dev/null 2>&1 || fail "editor: no previous version kept"
  cmp -s "$(ls "$home"/AppData/Local/ZezUdi/versions/*/*.CDF | head -1)" "$here/examples/corridor.CDF" ||
    fail "editor: the previous version is not the file as it was"
  compile() {  # Compile, and its box answered
    connect c
    for _ in $(seq 60); do [ -n "$(others)" ] && break; sleep 0.5; done
    answer_until true || fail "editor: the compile's box stayed"
  }
  compile
  n=$(count download COM5)
  connect d
  answer_until logged download COM5 "$n" || fail "editor: no complete download through COM5 logged"
  n=$(count upload COM5)
  connect u
  answer_until logged upload COM5 "$n" || fail "editor: no complete upload through COM5 logged"
  n=$(count compare COM5 match)
  connect w  # Compare with Device: the device holds what was just uploaded
  answer_until logged compare COM5 "$n" match || fail "editor: no compare through COM5 said match"
  connect e
  sleep 1
  compile  # the upload replaced the diagrams: compiled again before a download
  n=$(count download 'Emulated device')
  connect d
  answer_until logged download 'Emulated device' "$n" || fail "editor: no download to the emulated device"
  n=$(count upload 'Emulated device')
  connect u
  answer_until logged upload 'Emulated device' "$n" || fail "editor: no upload from the emulated device"
  wire 201 "$recovery"
  kill -9 "$app"
  wait "$app" 2>/dev/null || true
  [ "$(seg "$file" 201)" = 4 ] && fail "editor: the file changed without a Save"
  # The next start offers the copy (its lock names a process number Wine gives again at once).
  ZEZ_AUTOSAVE_MS=300 "$wine" "$exe" >>"$work/editor.log" 2>&1 &
  app=$!
  pids+=("$app")
  local box
  box=$(xvfb_wait_window Recovery 90 "$app") || fail "editor: no recovery question after the kill"
  import -window root "$build_dir/windows-editor-recovery.png" 2>/dev/null || true
  for _ in $(seq 10); do
    xdotool windowfocus --sync "$box" 2>/dev/null || true
    xdotool key Return
    sleep 1
    xdotool search --name '^Recovery$' >/dev/null 2>&1 || break
  done
  win=$(xvfb_wait_window Brantel 30 "$app") || fail "editor: gone after the recovery question"
  sleep 1
  xdotool key ctrl+s
  for _ in $(seq 300); do [ "$(seg "$file" 201)" = 4 ] && break; sleep 0.1; done
  [ "$(seg "$file" 200)" = 4 ] && [ "$(seg "$file" 201)" = 4 ] ||
    fail "editor: the restored edit was not saved to $file"
  import -window root "$build_dir/windows-editor.png" 2>/dev/null || true
  grep -q 'Küche.CDF' "$home/AppData/Local/ZezUdi/zezudi.ini" || fail "editor: the recent files lost the name"
  grep -q '^port=emulated' "$home/AppData/Local/ZezUdi/zezudi.ini" || fail "editor: the port chosen was not kept"
  # Exit (Ctrl+Q) ends it cleanly: the window's place, moved first, is kept for the next start.
  xdotool windowmove "$win" 40 30
  sleep 1
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool key ctrl+q
  for _ in $(seq 150); do kill -0 "$app" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$app" 2>/dev/null && fail "editor: Exit did not end it"
  grep -q '^windowPos=' "$home/AppData/Local/ZezUdi/zezudi.ini" || fail "editor: the window's place was not kept"

  # The next start, on COM6 mapped to a device that answers at the real line's speed, with a file
  # on a file server's share (\\fileserver\projects, which the CLI wrote above): the window where
  # Exit left it; F1 over the palette opens the guide there; a wire dragged from the palette is
  # saved onto the share; the Büro file opened through the Open dialog (its name pasted: the
  # folder's and the file's names are not ASCII; Wine's dialog cannot reach a share); a download
  # cancelled from the status bar.
  "$devsim" --pace >"$work/paced.out" 2>"$work/paced.err" &
  pids+=($!)
  for _ in $(seq 300); do [ -s "$work/paced.out" ] && break; sleep 0.1; done
  "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM6 /d "$(head -1 "$work/paced.out")" /f >/dev/null 2>&1
  { wineserver -k; wineserver -w; } >/dev/null 2>&1 || true  # ports are read at start
  open_editor --port COM6 '\\fileserver\projects\site.CDF'
  local X Y WIDTH HEIGHT SCREEN WINDOW guide dialog
  for _ in $(seq 50); do  # shown first, then moved to its place
    eval "$(xdotool getwindowgeometry --shell "$win")"
    [ "$X,$Y" = 40,30 ] && break
    sleep 0.1
  done
  [ "$X,$Y" = 40,30 ] ||
    fail "editor: it opened at $X,$Y, not where Exit left it (40,30; kept: $(grep '^windowPos=' "$home/AppData/Local/ZezUdi/zezudi.ini"))"
  editor_client "$win"
  xdotool mousemove $((cx + 36)) $((cy + 124))
  sleep 0.5
  xdotool key F1
  guide=$(xvfb_wait_window 'User Guide - Drawing' 30 "$app") || fail "editor: F1 over the palette opened no guide"
  sleep 1
  import -window root "$build_dir/windows-editor-guide.png" 2>/dev/null || true
  xdotool windowfocus --sync "$guide" 2>/dev/null || true
  xdotool key Escape
  for _ in $(seq 50); do xdotool search --onlyvisible --name 'User Guide' >/dev/null 2>&1 || break; sleep 0.1; done
  xdotool search --onlyvisible --name 'User Guide' >/dev/null 2>&1 && fail "editor: Esc did not close the guide"
  # The palette's wire dragged onto segment 202, once: the drag starts when the pointer has moved
  # the start-drag distance with the button down.
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool mousemove $((cx + 36)) $((cy + 124))
  sleep 0.5
  xdotool mousedown 1
  for step in 1 2 3 4 5; do
    sleep 0.15
    xdotool mousemove $((cx + 36 + 100 * step)) $((cy + 124 + 76 * step))
  done
  xdotool mousemove $((cx + 540)) $((cy + 508))
  sleep 0.3
  xdotool mouseup 1
  wait_wire "$recovery" 202 || {
    import -window root "$build_dir/windows-editor-failed.png" 2>/dev/null || true
    fail "editor: the wire dragged from the palette did not reach segment 202"
  }
  xdotool key ctrl+s
  wait_wire "$work/share/site.CDF" 202 || {
    import -window root "$build_dir/windows-editor-failed.png" 2>/dev/null || true
    fail "editor: the wire dragged from the palette was not saved onto the share"
  }
  [ "$(ls "$work/share")" = site.CDF ] || fail "editor: the save on the share left $(ls "$work/share")"
  grep -qF 'fileserver\\projects\\site.CDF' "$home/AppData/Local/ZezUdi/zezudi.ini" ||
    fail "editor: the file on the share is not among the recent files"
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool key ctrl+o
  dialog=$(xvfb_wait_window '^ZezUdi$' 30 "$app") || fail "editor: Ctrl+O showed no file dialog"
  WINEPREFIX=$WINEPREFIX winepath -w "$file" | tr -d '\r\n' | xclip -selection clipboard 2>/dev/null
  sleep 1
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  xdotool key End shift+Home ctrl+v Return
  for _ in $(seq 100); do xdotool search --name '^ZezUdi$' >/dev/null 2>&1 || break; sleep 0.1; done
  wire 203 "$recovery"
  xdotool key ctrl+s
  wait_wire "$file" 203 || fail "editor: the file opened through the dialog was not the one saved"
  compile
  n=$(count download COM6 'cancelled[^	]*')
  connect d
  answer_until true || fail "editor: the power-cycle question stayed"
  sleep 3
  import -window root "$build_dir/windows-editor-transfer.png" 2>/dev/null || true
  # The status bar's Cancel, left of the port's name: along the bar until the transfer ends.
  eval "$(xdotool getwindowgeometry --shell "$win")"
  for dx in $(seq 40 12 320); do
    xdotool mousemove $((X + WIDTH - dx)) $((Y + HEIGHT - 11)) click 1
    sleep 0.3
    logged download COM6 "$n" 'cancelled[^	]*' && break
  done
  answer_until logged download COM6 "$n" 'cancelled[^	]*' || fail "editor: the download through COM6 was not cancelled"
  xdotool key ctrl+q
  for _ in $(seq 150); do kill -0 "$app" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$app" 2>/dev/null && fail "editor: Exit did not end it after the cancelled download"
  wineserver -k >/dev/null 2>&1 || true
  xvfb_stop || true
  echo "windows installer: the editor opened Büro\\Küche.CDF, saved an edit (previous version kept), compiled, downloaded, uploaded and compared through COM5 and downloaded to and uploaded from the emulated device, a killed editor's edit came back at the next start, Exit kept the window's place; after it F1 opened the guide, the Open dialog the file, and a download through a slow COM6 was cancelled, a wire dragged from the palette was saved on \\\\fileserver\\projects"
}

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
  wineserver -w >/dev/null 2>&1 || true
  [ -x "$dir/bin/zezudi.exe" ] || [ -f "$dir/bin/zezudi.exe" ] || fail "$mode: no $dir/bin/zezudi.exe"
  for f in zezudi-cli.exe Qt6Core.dll Qt6SerialPort.dll libstdc++-6.dll platforms/qwindows.dll examples/corridor.CDF; do
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
    { wineserver -k; wineserver -w; } >/dev/null 2>&1 || true  # ports are read at start
    cp "$here/examples/corridor.CDF" "$work/corridor.CDF"
    cfg=$(WINEPREFIX=$prefix winepath -w "$work/corridor.CDF" | tr -d '\r')
    "$wine" "$dir/bin/zezudi-cli.exe" download "$cfg" --port COM5 --yes > "$work/down.txt" 2>&1 ||
      { cat "$work/down.txt"; fail "download through COM5"; }
    grep -q '^Download Complete\.' "$work/down.txt" || { cat "$work/down.txt"; fail "no Download Complete."; }
    up=$(WINEPREFIX=$prefix winepath -w "$work/up.CDF" | tr -d '\r')
    "$wine" "$dir/bin/zezudi-cli.exe" upload --port COM5 -o "$up" --yes > "$work/up.txt" 2>&1 ||
      { cat "$work/up.txt"; fail "upload through COM5"; }
    cmp "$work/corridor.CDF" "$work/up.CDF" || fail "the upload through COM5 differs from the download"
    echo "windows installer: download and upload through COM5 ($pty): byte-identical"
    # A file server's share: Wine maps \\fileserver\projects to a folder (dosdevices/unc).
    mkdir -p "$work/share" "$prefix/dosdevices/unc/fileserver"
    ln -sfn "$work/share" "$prefix/dosdevices/unc/fileserver/projects"
    cp "$here/examples/corridor.CDF" "$work/share/site.CDF"
    unc='\\fileserver\projects\site.CDF'
    "$wine" "$dir/bin/zezudi-cli.exe" draw "$unc" --output 3 'I1&!P5' >"$work/draw.txt" 2>&1 ||
      { cat "$work/draw.txt"; fail "draw on $unc"; }
    [ "$("$wine" "$dir/bin/zezudi-cli.exe" expr "$unc" --output 3 2>&1 | tr -d '\r')" = 'I1&!P5' ] ||
      fail "the drawing on $unc was not written"
    "$wine" "$dir/bin/zezudi-cli.exe" versions "$unc" 2>&1 | grep -q '^1 ' || fail "no previous version of $unc kept"
    [ "$(ls "$work/share")" = site.CDF ] || fail "the write on the share left $(ls "$work/share")"
    echo "windows installer: zezudi-cli wrote $unc through the atomic writer, previous version kept"
    drive_editor "$dir/bin/zezudi.exe"
    # Wine first: the terminal's hang-up would reach its server, which answers with a dump.
    { wineserver -k; wineserver -w; } >/dev/null 2>&1 || true
    kill "${pids[@]}" 2>/dev/null || true; wait "${pids[@]}" 2>/dev/null || true; pids=()
  fi

  "$wine" "$dir/Uninstall.exe" /S >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1 || true
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
