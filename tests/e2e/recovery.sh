#!/usr/bin/env bash
# Crash-safe work through the real program (run inside xvfb-run by
# run-e2e.sh): an edit is copied aside; after SIGKILL the next start offers
# it and restores it; declining deletes it; an untouched song writes nothing.
set -euo pipefail
program=$1 song=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

export XDG_STATE_HOME="$(cd "$out" && pwd)/recovery-state"
export BEATWRIGHT_RECOVERY_INTERVAL_MS=200
state="$XDG_STATE_HOME/beatwright"
rm -rf "$XDG_STATE_HOME"
pid=
trap '[ -n "$pid" ] && kill -9 $pid 2>/dev/null || true' EXIT

copies() { ls "$state"/recovery-*.info 2>/dev/null | wc -l; }

# Opens the song, enters four steps while it plays; with "timer" the copy
# must follow from the timer.
start_and_edit() {
  "$program" "$song" >>"$out/recovery.log" 2>&1 &
  pid=$!
  main=$(wait_song_loaded)
  focus_main "$main"
  window_layout "$main"
  sleep 1
  [ "$(copies)" = 0 ] || fail "a copy was written although nothing changed"
  xdotool key --clearmodifiers alt+m
  sleep 0.3
  xdotool key --clearmodifiers s
  sleep 0.3
  click_play
  sleep 0.5
  for key in Left Up Right Down; do
    xdotool key --clearmodifiers "$key"
    sleep 0.25
  done
  click_play
  [ "${1:-timer}" = timer ] || return 0
  for _ in $(seq 50); do [ "$(copies)" = 1 ] && break; sleep 0.1; done
  import -window root "$out/recovery-edit.png" || true
  [ "$(copies)" = 1 ] || fail "no copy of the unsaved steps"
}

# Waits for the restore question (a second window named Beatwright) and
# answers it with the key given.
answer_question() {
  local key=$1 first boxes
  wait_window '^Beatwright$' 30 >/dev/null || fail "no window after the restart"
  for _ in $(seq 100); do
    boxes=$(xdotool search --onlyvisible --name '^Beatwright$' 2>/dev/null | sort -n)
    [ "$(echo "$boxes" | wc -l)" -ge 2 ] && break
    sleep 0.1
  done
  [ "$(echo "$boxes" | wc -l)" -ge 2 ] || fail "the restart did not offer the copy"
  first=$(echo "$boxes" | tail -n 1)
  xdotool windowfocus --sync "$first"
  import -window root "$out/recovery-question.png" || true
  xdotool key --clearmodifiers "$key"
}

# The main window is the first of its name; unsaved work puts the file's
# name before it.
quit() {
  quit_program "$pid" "$(first_window 'Beatwright$')"
  pid=
}

# 1. Edit, crash, restart, restore (Return answers Yes).
start_and_edit
crashed=$(basename "$(ls "$state"/recovery-*.info)")
kill -9 $pid
wait $pid 2>/dev/null || true
"$program" >>"$out/recovery.log" 2>&1 &
pid=$!
answer_question Return
wait_window '^Please wait' 10 >/dev/null || true
wait_gone '^Please wait' 60 || fail "the restored song never loaded"
main=$(first_window 'Beatwright$')
focus_main "$main"
for _ in $(seq 50); do [ ! -e "$state/$crashed" ] && [ "$(copies)" = 1 ] && break; sleep 0.1; done
[ ! -e "$state/$crashed" ] || fail "the restored copy was left behind"
[ "$(copies)" = 1 ] || fail "the restored work is not kept aside again"
grep -q '^#SINGLE:[^:]*:[^:]*:[0-9AB]*[1-9AB]' "$state"/recovery-*.dwi ||
  fail "the restored chart lost its steps"
sleep 0.3
import -window root "$out/recovery-restored.png" || true
quit
[ "$(copies)" = 0 ] || fail "a clean exit left its copy"

# 2. Edit, crash, restart, decline (n answers No): the copy is deleted.
start_and_edit
kill -9 $pid
wait $pid 2>/dev/null || true
"$program" >>"$out/recovery.log" 2>&1 &
pid=$!
answer_question n
sleep 0.5
[ "$(copies)" = 0 ] || fail "the declined copy was kept"
quit

# 3. A shutdown's SIGTERM, Ctrl+C's SIGINT and a closed terminal's SIGHUP end
# the program within 2 s without asking, the unsaved work written first (the
# timer's interval is too long to have written it).
export BEATWRIGHT_RECOVERY_INTERVAL_MS=600000
for signal in TERM INT HUP; do
  start_and_edit signal
  [ "$(copies)" = 0 ] || fail "the timer wrote a copy before SIG$signal"
  kill -s "$signal" $pid
  for _ in $(seq 20); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  ! kill -0 $pid 2>/dev/null || fail "SIG$signal did not end the program within 2 s"
  wait $pid 2>/dev/null || true
  pid=
  [ "$(copies)" = 1 ] || fail "SIG$signal ended the program without keeping the unsaved steps"
  rm -f "$state"/recovery-*
done
trap - EXIT
echo "e2e: unsaved steps survived SIGKILL, SIGTERM, SIGINT and SIGHUP; declining removed the copy"
