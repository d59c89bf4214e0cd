#!/usr/bin/env bash
# One user session against the real program in a real X window (run inside
# xvfb-run by run-e2e.sh): tap the tempo, switch to step input through the
# menu, play, enter steps with the arrow keys, "Save As" by typing a path into
# the dialog, quit through the exit question. Waits on windows, not on time,
# wherever there is something to wait for.
set -euo pipefail
program=$1 song=$2 out=$3
mkdir -p "$out"
dwi="$out/e2e-chart.dwi"
rm -f "$dwi"

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

start_on_song e2e-program.log
window_layout "$main"

# "&Mode" > "&Tap Tempo/BPM" starts a fresh series; then tap eight beats,
# half a second apart: 120 BPM. Tapping is timing by nature.
xdotool key --clearmodifiers alt+m
sleep 0.3
xdotool key --clearmodifiers t
sleep 0.3
start=$(date +%s%N)
for beat in 0 1 2 3 4 5 6 7; do
  # Absolute deadlines, so the time xdotool takes does not add up.
  now=$(date +%s%N)
  wait_ns=$((start + beat * 500000000 - now))
  [ "$wait_ns" -gt 0 ] && sleep "$(printf '0.%09d' "$wait_ns")"
  xdotool key --clearmodifiers t
done

# "&Mode" > "&Step Data Input" from the keyboard.
xdotool key --clearmodifiers alt+m
sleep 0.3
xdotool key --clearmodifiers s
sleep 0.3

click_play
xdotool windowfocus --sync "$main"
sleep 1
for key in Left Up Right Down Left Right Up Down; do
  xdotool key --clearmodifiers "$key"
  sleep 0.25
done

# Pause with the control's play/pause button, then the step view's "back 30
# slots" button (its third red button) brings the new steps into view.
click_play
click_at $((X + 502)) $((Y + MENU_HEIGHT + 100))
sleep 0.3
# The main window alone, as docs/screenshot.png shows it.
grab "${WIDTH}x${HEIGHT}+${X}+${Y}" "$out/e2e-screenshot.png" || true

# Paused, a click on the step view must show at once: the Left column (view
# x 20-35) around view row 150, grabbed right after each click. One grab
# takes 50-300 ms here, so the program's 16 ms cannot be timed this way;
# grabs repeat for up to 1 s so that a busy machine is not taken for the
# fault, which never showed the arrow at all. The second click takes the
# arrow away again.
view_x=$((X + 326)) view_y=$((Y + MENU_HEIGHT + 11))
strip="16x40+$((view_x + 20))+$((view_y + 130))"
grab "$strip" "$out/e2e-lane-before.png"
click_and_grab() { # $1: output file, $2: "differ" or "same" as before
  local start changed
  click_at $((view_x + 28)) $((view_y + 150))
  start=$(date +%s%N)
  while :; do
    grab "$strip" "$1"
    changed=$(pixels_differing "$out/e2e-lane-before.png" "$1")
    if [ "$2" = differ ] && [ "${changed:-0}" -gt 50 ]; then break; fi
    if [ "$2" = same ] && [ "${changed:-1}" -eq 0 ]; then break; fi
    [ $(($(date +%s%N) - start)) -lt 1000000000 ] || break
  done
  echo "$changed $((($(date +%s%N) - start) / 1000000))"
}
read -r added added_ms < <(click_and_grab "$out/e2e-lane-added.png" differ)
[ "${added:-0}" -gt 50 ] || fail "a clicked arrow did not show ($added pixels changed)"
read -r removed removed_ms < <(click_and_grab "$out/e2e-lane-removed.png" same)
[ "${removed:-1}" -eq 0 ] || fail "a removed arrow still shows ($removed pixels differ)"
echo "e2e: paused clicks showed in $added_ms ms ($added pixels) and $removed_ms ms"

save_as "$dwi"

trap - EXIT
quit_program "$pid" "$main"

# The written chart: all records, a tempo near the tapped one, steps.
grep -q '^#STATUS:NEW' "$dwi" || fail "no #STATUS record"
bpm=$(sed -n 's/^#BPM:\([0-9.]*\);.*/\1/p' "$dwi")
awk -v b="$bpm" 'BEGIN { exit !(b > 110 && b < 130) }' || fail "BPM $bpm is not near 120"
steps=$(sed -n 's/^#SINGLE:[^:]*:[^:]*:\([^;]*\);.*/\1/p' "$dwi")
echo "$steps" | grep -q '[1-9AB]' || fail "no steps in the chart: $steps"
echo "e2e: saved BPM $bpm with steps $steps"
echo "1 passed, 0 failed"
