#!/usr/bin/env bash
# What a new author does first, through the real program (run inside
# xvfb-run by run-e2e.sh): types a tempo into the BPM box in tap mode (no
# key of it may tap), then holds arrow keys with the desktop's auto-repeat
# on; each held key must give one hold of its length. The document is read
# from the recovery copy, written every 200 ms.
set -euo pipefail
program=$1 song=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

export XDG_STATE_HOME="$(cd "$out" && pwd)/first-hour-state"
export BEATWRIGHT_RECOVERY_INTERVAL_MS=200
rm -rf "$XDG_STATE_HOME"
copy() { cat "$XDG_STATE_HOME"/beatwright/recovery-*.dwi 2>/dev/null || true; }

# Every desktop's default: held keys repeat, sent as release/press pairs.
xset r on
"$program" "$song" >>"$out/first-hour.log" 2>&1 &
pid=$!
trap 'kill -9 $pid 2>/dev/null || true' EXIT
main=$(wait_song_loaded)
focus_main "$main"
window_layout "$main"

# 1. The keyboard starts on tap input, and a menu closed with Escape gives it
# back: three taps set a tempo (the estimate stood until then, no copy).
click_at $((X + 20)) $((Y + 8))
sleep 0.3
xdotool key --clearmodifiers Escape
sleep 0.3
for _ in 1 2 3; do
  xdotool key --clearmodifiers a
  sleep 0.5
done
for _ in $(seq 30); do copy | grep -q '^#BPM' && break; sleep 0.1; done
copy | grep -q '^#BPM' || fail "taps after closing a menu with Escape were lost"

# 2. A click into the BPM box gives it the keys; typed digits are no taps.
click_at $((X + 64)) $((Y + MENU_HEIGHT + 233))
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 60 "140"
xdotool key --clearmodifiers Return
for _ in $(seq 30); do copy | grep -q '^#BPM:140\.000000;' && break; sleep 0.1; done
import -window root "$out/first-hour-bpm.png" || true
copy | grep -q '^#BPM:140\.000000;' || fail "typing 140 and Enter into the BPM box did not set it: $(copy | grep '^#BPM')"

# 3. Enter gave the keys back: step input, two held keys at 140 BPM with
# the auto-repeat running (a beat is 0.4286 s; 8th cells).
xdotool key --clearmodifiers alt+m
sleep 0.3
xdotool key --clearmodifiers s
sleep 0.3
click_play
sleep 1.0
xdotool keydown Left
sleep 1.286 # 3 beats
xdotool keyup Left
sleep 0.6
xdotool keydown Down
sleep 1.714 # 4 beats
xdotool keyup Down
sleep 0.5
click_play
sleep 1
import -window root "$out/first-hour-holds.png" || true
# Both holds whole: "4!4" and "2!2" each once, and each closed by its one
# end arrow 6 and 8 cells later, with no stray taps of either column.
steps=$(copy | sed -n '/^#SINGLE/,/;/p' | tr -d '\n' | sed 's/^#SINGLE:[^:]*:[^:]*://; s/;$//')
echo "steps: $steps" >>"$out/first-hour.log"
[ "$(grep -o '4!4' <<<"$steps" | wc -l)" = 1 ] || fail "the held Left key is not one hold: $steps"
[ "$(grep -o '2!2' <<<"$steps" | wc -l)" = 1 ] || fail "the held Down key is not one hold: $steps"
cells=$(sed 's/.!.\|./&\n/g' <<<"$steps" | grep -v '^$')
left_start=$(grep -n '^4!4$' <<<"$cells" | cut -d: -f1)
left_end=$(grep -n '^4$' <<<"$cells" | cut -d: -f1)
down_start=$(grep -n '^2!2$' <<<"$cells" | cut -d: -f1)
down_end=$(grep -n '^2$' <<<"$cells" | cut -d: -f1)
# xdotool's sleeps on a busy machine are tens of milliseconds late: one cell
# (0.21 s) either way is theirs, not the program's.
near() { [ "$1" -ge $(($2 - 1)) ] && [ "$1" -le $(($2 + 1)) ]; }
near $((left_end - left_start)) 6 || fail "the 3-beat hold came out $((left_end - left_start)) cells: $steps"
near $((down_end - down_start)) 8 || fail "the 4-beat hold came out $((down_end - down_start)) cells: $steps"

kill -9 $pid
wait $pid 2>/dev/null || true
trap - EXIT
echo "e2e: a typed BPM and held keys with auto-repeat on gave 140 BPM and two exact holds"
