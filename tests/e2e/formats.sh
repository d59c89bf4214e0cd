#!/usr/bin/env bash
# .sm files as an author meets them (run inside xvfb-run by run-e2e.sh): a
# .sm with mines, rolls, another game's chart and a banner opens with its
# song; Ctrl+A, Ctrl+M, Ctrl+S saves the mirror as .sm with every other
# byte as it was; "Save As" chart.dwi asks first, naming what .dwi cannot
# hold, then writes the .dwi with the song's file. The command line's
# --convert and --info on the same file.
set -euo pipefail
program=$1 song=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

folder="$out/formats/Song"
rm -rf "$out/formats"
mkdir -p "$folder"
cp "$song" "$folder/x.wav"
sm="$folder/chart.sm"
cat >"$sm" <<'SM'
// made by hand
#TITLE:Formats;
#ARTIST:Beatwright;
#BANNER:banner.png;
#MUSIC:x.wav;
#OFFSET:-0.500;
#BPMS:0.000=128.000;
#STOPS:;

//---------------dance-single - ----------------
#NOTES:
     dance-single:
     :
     Hard:
     7:
     0.5,0.5,0.2,0.0,0.0:
1000
0M00
0040
0000
,
0030
M001
2000
0000
,
3000
0000
0000
0000
;
#NOTES:
     pump-single:
     :
     Crazy:
     12:
     :
10000
00100
00001
00000
;
SM
cp "$sm" "$out/formats/original.sm"

# The first chart's note lines, and the file without them.
first_chart() { sed -n '/dance-single:/,/^;/p' "$1" | grep -E '^[0-9A-Z]+$' | tr '\n' ' '; }
others_of() { sed '/dance-single:/,/^;/d' "$1"; }

"$program" --info "$sm" >"$out/formats/info.json"
grep -q '"mines":2' "$out/formats/info.json" || fail "--info did not count the mines: $(cat "$out/formats/info.json")"
grep -q '"style":"pump-single"' "$out/formats/info.json" || fail "--info did not list the pump chart"
"$program" --convert "$sm" "$out/formats/copy.sm"
cmp "$sm" "$out/formats/copy.sm" || fail "--convert .sm to .sm was no copy"
"$program" --convert "$sm" "$out/formats/converted.dwi" 2>"$out/formats/convert.err"
grep -q '2 mines' "$out/formats/convert.err" || fail "--convert did not name the mines: $(cat "$out/formats/convert.err")"

"$program" "$sm" >"$out/formats.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
main=$(wait_song_loaded)
focus_main "$main"
window_layout "$main"
sleep 0.5
import -window root "$out/formats-opened.png" || true

# Mirror: Left <-> Right, Up <-> Down; mines and the roll move with it.
inode=$(stat -c %i "$sm")
xdotool key --clearmodifiers ctrl+a ctrl+m ctrl+s
for _ in $(seq 50); do [ "$(stat -c %i "$sm")" != "$inode" ] && break; sleep 0.1; done
[ "$(stat -c %i "$sm")" != "$inode" ] || fail "Ctrl+S did not save"
# The save pads the chart to cover the song: only the start is compared.
mirrored="0001 00M0 0400 0000 0300 100M 0002 0000 0003 0000 0000 0000 "
[ "$(first_chart "$sm" | cut -c1-${#mirrored})" = "$mirrored" ] ||
  fail "the saved chart is no mirror: $(first_chart "$sm")"
[ "$(others_of "$sm")" = "$(others_of "$out/formats/original.sm")" ] || fail "the save changed other records"

# Save As .dwi: the question names the mines; Return saves anyway.
xdotool key --clearmodifiers ctrl+shift+s
dialog=$(wait_window 'Save|save' 15) || fail "no save dialog"
xdotool windowfocus --sync "$dialog"
sleep 0.3
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "$folder/chart.dwi"
xdotool key Return
question=$(wait_window '^Save As$' 15) || fail "no question before converting"
sleep 0.3
import -window root "$out/formats-question.png" || true
xdotool windowfocus --sync "$question"
xdotool key Return
for _ in $(seq 50); do [ -s "$folder/chart.dwi" ] && break; sleep 0.1; done
[ -s "$folder/chart.dwi" ] || fail "Save As .dwi wrote nothing"
grep -q '#FILE:x.wav;' "$folder/chart.dwi" || fail "the .dwi lost the song's file"
grep -q '#GAP:500' "$folder/chart.dwi" || fail "the .dwi's Gap is not the .sm's offset"
grep -q '#SINGLE:MANIAC:7:' "$folder/chart.dwi" || fail "the .dwi lost the chart"

trap - EXIT
quit_program "$pid" "$main"
echo "e2e: a .sm opened with its song, saved mirrored byte for byte elsewhere, and converted to .dwi after naming what it drops"
