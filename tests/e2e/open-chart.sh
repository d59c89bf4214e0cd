#!/usr/bin/env bash
# Opening a chart the way a file manager does (run inside xvfb-run by
# run-e2e.sh): "beatwright FOLDER/chart.dwi" whose #FILE names the song as
# a Windows path in other case. The window must come up with the song
# loaded and the file's tempo and chart; "Save" with no edit must leave the
# file's bytes as they were.
set -euo pipefail
program=$1 song=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

folder="$out/open-chart/Some Song"
rm -rf "$out/open-chart"
mkdir -p "$folder"
lame --quiet -b 96 "$song" "$folder/x.mp3"
printf '#TITLE:Opened From Disk;\r\n#ARTIST:E2E;\r\n#BPM:128.000;\r\n#GAP:500;\r\n' >"$folder/chart.dwi"
printf '#FILE:.\\Songs\\X.MP3;\r\n#GENRE:Test;\r\n#FREEZE:64=250;\r\n' >>"$folder/chart.dwi"
printf '#SINGLE:MANIAC:7:\r\n08080808\r\n4A0B;\r\n#DOUBLE:HEAVY:9:\r\n8!8(0000)8:\r\n2;\r\n' \
  >>"$folder/chart.dwi"
cp "$folder/chart.dwi" "$out/open-chart/original.dwi"

"$program" "$folder/chart.dwi" >"$out/open-chart.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
main=$(wait_song_loaded)
focus_main "$main"
sleep 0.5
import -window root "$out/open-chart-screenshot.png" || true

# "&File" > "&Save": the file was opened, so no dialog. A save replaces the
# file (a new inode), so an unchanged inode means nothing was saved.
inode=$(stat -c %i "$folder/chart.dwi")
xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers alt+f
sleep 0.3
xdotool key --clearmodifiers s
for _ in $(seq 50); do [ "$(stat -c %i "$folder/chart.dwi")" != "$inode" ] && break; sleep 0.1; done
[ "$(stat -c %i "$folder/chart.dwi")" != "$inode" ] || fail "Save did not write the opened chart"
cmp "$folder/chart.dwi" "$out/open-chart/original.dwi" || fail "Save changed the opened chart"
grep -q 'x.mp3' "$out/open-chart.log" && fail "the program complained about the song"

trap - EXIT
quit_program "$pid" "$main"
echo "e2e: opened $folder/chart.dwi with its song, saved it back unchanged"
