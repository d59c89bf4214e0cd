#!/usr/bin/env bash
# Finer notes and undo through the real program (run inside xvfb-run by
# run-e2e.sh): 16th snap by its shortcut, arrows while the song plays,
# Ctrl+Z and Ctrl+Y, "Save As"; the file must hold a 16th group "(".
set -euo pipefail
program=$1 song=$2 out=$3
mkdir -p "$out"
dwi="$out/e2e-sixteenths.dwi"
rm -f "$dwi"

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

start_on_song e2e-snap.log
window_layout "$main"

# "&Mode" > "&Step Data Input", then 8th > 12th > 16th.
xdotool key --clearmodifiers alt+m
sleep 0.3
xdotool key --clearmodifiers s
sleep 0.3
xdotool key ctrl+Right
sleep 0.2
xdotool key ctrl+Right
sleep 0.2

# Arrows a 16th apart at 128 BPM (0.117 s): consecutive 16ths, so some lie
# between the 8ths whatever the first one hits.
click_play
xdotool windowfocus --sync "$main"
sleep 1
for key in Left Down Up Right Left Down Up Right; do
  xdotool key --clearmodifiers "$key"
  sleep 0.117
done
click_play
sleep 0.3

# Undo the last arrow and bring it back: the control keys enter nothing.
xdotool key ctrl+z
sleep 0.2
xdotool key ctrl+y
sleep 0.2

save_as "$dwi"

trap - EXIT
quit_program "$pid" "$main"

# A chart with finer notes is written over several lines.
steps=$(tr -d '\r\n' <"$dwi" | sed -n 's/.*#SINGLE:[^:]*:[^:]*:\([^;]*\);.*/\1/p')
echo "$steps" | grep -q '(' || fail "no 16th group in the chart: $steps"
arrows=$(echo "$steps" | tr -cd '12346789AB' | wc -c)
[ "$arrows" -ge 4 ] || fail "only $arrows arrows were saved: $steps"
echo "e2e: 16ths saved: $steps"
echo "1 passed, 0 failed"
