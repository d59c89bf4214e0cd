#!/usr/bin/env bash
# The toolkit as an author types it (run inside xvfb-run by run-e2e.sh), on
# a file of two charts: Ctrl+A, Ctrl+M, Ctrl+S saves the first chart
# mirrored and leaves every other record as it was; Ctrl+Z gives the
# original steps back; Ctrl+A, Ctrl+C, a new chart, Ctrl+V, Ctrl+S gives
# the new chart the copied steps.
set -euo pipefail
program=$1 song=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

folder="$out/toolkit/Song"
rm -rf "$out/toolkit"
mkdir -p "$folder"
cp "$song" "$folder/x.wav"
dwi="$folder/chart.dwi"
printf '#TITLE:Toolkit;\r\n#BPM:128.000;\r\n#GAP:500;\r\n#FILE:x.wav;\r\n#GENRE:Test;\r\n' >"$dwi"
printf '#SINGLE:MANIAC:7:\r\n08080808\r\n4A0B;\r\n#DOUBLE:HEAVY:9:\r\n8!8(0000)8:\r\n2;\r\n' >>"$dwi"
cp "$dwi" "$out/toolkit/original.dwi"

# The steps of the record starting with $2 in file $1, line breaks and the
# empty steps a save pads the chart with taken off.
steps_of() {
  tr -d '\r\n' <"$1" | grep -o "$2[^;]*;" | head -n 1 | sed "s/^$2//; s/;$//; s/0*$//"
}
# The file without its first chart record: what the edits must not touch.
others_of() {
  tr -d '\r\n' <"$1" | sed 's/#SINGLE:MANIAC:7:[^;]*;//'
}
# Ctrl+S replaces the file (a new inode): waits for that.
save_and_wait() {
  local inode
  inode=$(stat -c %i "$dwi")
  xdotool key --clearmodifiers ctrl+s
  for _ in $(seq 50); do [ "$(stat -c %i "$dwi")" != "$inode" ] && break; sleep 0.1; done
  [ "$(stat -c %i "$dwi")" != "$inode" ] || fail "Ctrl+S did not save"
}

"$program" "$dwi" >"$out/toolkit.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
main=$(wait_song_loaded)
focus_main "$main"
window_layout "$main"
sleep 0.3

# Mirror swaps Left (4) with Right (6) and Up (8) with Down (2); a jump of
# Up and Down (A) or Left and Right (B) stays what it is.
xdotool key --clearmodifiers ctrl+a ctrl+m
sleep 0.3
import -window root "$out/toolkit-selection.png" || true
save_and_wait
[ "$(steps_of "$dwi" '#SINGLE:MANIAC:7:')" = "020202026A0B" ] ||
  fail "the saved chart is no mirror: $(steps_of "$dwi" '#SINGLE:MANIAC:7:')"
[ "$(others_of "$dwi")" = "$(others_of "$out/toolkit/original.dwi")" ] ||
  fail "the mirror changed other records"

xdotool key --clearmodifiers ctrl+z ctrl+z
save_and_wait
[ "$(steps_of "$dwi" '#SINGLE:MANIAC:7:')" = "080808084A0B" ] || fail "undo did not give the original back"
[ "$(others_of "$dwi")" = "$(others_of "$out/toolkit/original.dwi")" ] || fail "undo changed other records"

# A new chart from the chart list (its "New Chart" button), then paste.
xdotool key --clearmodifiers ctrl+a ctrl+c
click_at $((X + ${NEW_CHART_X:-621})) $((Y + ${NEW_CHART_Y:-415}))
dialog=$(wait_window '^New Chart$' 10) || fail "no New Chart dialog"
xdotool windowfocus --sync "$dialog"
xdotool key Return # a SINGLE chart, BASIC
wait_gone '^New Chart$' 10 || fail "the New Chart dialog stayed open"
xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers ctrl+v
save_and_wait
pasted=$(steps_of "$dwi" '#SINGLE:BASIC:1:')
[ "$pasted" = "080808084A0B" ] || fail "the new chart does not hold the copied steps: '$pasted'"

trap - EXIT
quit_program "$pid" "$main"
echo "e2e: Ctrl+A, Ctrl+M and Ctrl+S mirrored one chart of two; Ctrl+Z gave it back; copy and paste filled a new chart"
