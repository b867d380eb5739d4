#!/usr/bin/env bash
# The real editor under Xvfb: Ctrl+P, then Enter in the print dialog (its printer is "Print to
# File (PDF)"), gives the pages Export PDF gives: every word of the titles, diagrams and
# expressions at the same place within 1 pt (the footers name the file and the date each its
# own way and are left out).
# Usage: editor_print.sh ZEZUDI ZEZUDI-CLI EXAMPLE.CDF
set -u
editor=$1 cli=$2 example=$3
# shellcheck source=../../scripts/lib/xvfb.sh
. "$(dirname "$0")/../../scripts/lib/xvfb.sh"
xvfb_test_begin pdftotext python3
xvfb_start 1280x900 "$work" || fail "no X display"
# The print dialog offers $HOME/NAME.pdf.
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data QT_QPA_PLATFORM=xcb
cp "$example" "$work/site.CDF"
xvfb_start_editor "$editor" "$work/site.CDF"
for attempt in 1 2 3; do
  sleep 0.5
  xdotool mousemove $((cx + 800)) $((cy + 600)) click 1
  xdotool key ctrl+p
  box=$(xvfb_wait_window '^Print$' 20 "$app") && break
  [ "$attempt" = 3 ] && fail "Ctrl+P opened no print dialog"
done
sleep 0.5
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key Return
for _ in $(seq 300); do [ -s "$work/site.pdf" ] && break; sleep 0.1; done
[ -s "$work/site.pdf" ] || fail "nothing was printed to $work/site.pdf"
sleep 1  # the printer closes the file
"$cli" export "$work/site.CDF" --pdf "$work/exported.pdf" >/dev/null 2>&1 || fail "export"
python3 - "$work/site.pdf" "$work/exported.pdf" <<'PY' || fail "printed pages differ from the exported ones"
import re, subprocess, sys
def words(pdf):
    xml = subprocess.run(["pdftotext", "-bbox", pdf, "-"], capture_output=True, text=True).stdout
    found = re.findall(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>', xml)
    return [(w, [float(v) for v in box]) for *box, w in found if float(box[3]) < 780]
printed, exported = words(sys.argv[1]), words(sys.argv[2])
if len(printed) != len(exported) or len(printed) < 20:
    sys.exit(f"{len(printed)} words printed, {len(exported)} exported")
for (pw, pb), (ew, eb) in zip(printed, exported):
    if pw != ew or max(abs(a - b) for a, b in zip(pb, eb)) > 1.0:
        sys.exit(f"printed {pw} at {pb}, exported {ew} at {eb}")
print(f"{len(printed)} words at the same places")
PY
echo "editor_print: passed"
