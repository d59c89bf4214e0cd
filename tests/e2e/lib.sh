#!/usr/bin/env bash
# Helpers for driving the real program under a virtual X server.

fail() { echo "e2e: $*" >&2; exit 1; }

# Waits (up to $2 s) for a visible window whose title matches $1; prints its id.
wait_window() {
  local pattern=$1 limit=${2:-30} id
  for _ in $(seq $((limit * 10))); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | tail -n 1) || true
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  return 1
}

wait_gone() {
  local pattern=$1 limit=${2:-30}
  for _ in $(seq $((limit * 10))); do
    xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

# Waits for the main window and for the tempo estimate behind its progress
# window; prints the main window's id.
# Starts "$program" on "$song" (the session's arguments), its output in
# $out/LOG, kills it when the session ends however it ends, and waits until
# its window shows the song loaded: sets pid and main.
start_on_song() {
  "$program" "$song" >"$out/$1" 2>&1 &
  pid=$!
  trap 'kill $pid 2>/dev/null || true' EXIT
  main=$(wait_song_loaded)
  focus_main "$main"
}

# "&File" > "Save &As", the path typed into the dialog; waits for the file.
save_as() {
  local dialog
  xdotool key --clearmodifiers alt+f
  sleep 0.3
  xdotool key --clearmodifiers a
  dialog=$(wait_window 'Save|save' 15) || fail "no save dialog"
  xdotool windowfocus --sync "$dialog"
  sleep 0.3
  # The dialog proposes a name: the typed path replaces it.
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 20 "$1"
  xdotool key Return
  wait_gone 'Save|save' 15 || fail "the save dialog stayed open"
  for _ in $(seq 50); do [ -s "$1" ] && break; sleep 0.1; done
  [ -s "$1" ] || fail "nothing was saved"
}

# Prints the id of the oldest visible window whose title matches $1. A window
# closing during the search makes xdotool fail: it asks again.
first_window() {
  local id
  for _ in $(seq 50); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | sort -n | head -n 1) || true
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || fail "no window named $1"
  echo "$id"
}

wait_song_loaded() {
  local main
  wait_window '^Beatwright$' 30 >/dev/null || fail "main window never appeared"
  # The main window is the first of that name; a message box may follow it.
  main=$(first_window '^Beatwright$')
  wait_window '^Please wait' 10 >/dev/null || true
  wait_gone '^Please wait' 60 || fail "the tempo estimate never finished"
  echo "$main"
}

# Gives the main window the keyboard. Nothing on the way there asks for an
# answer: the program says in its instruction box, not in a message box,
# when it has no sound card.
focus_main() {
  xdotool windowfocus --sync "$1"
}

# Sets X, Y (the window's origin) and MENU_HEIGHT: the client area below the
# menu bar is the 357 x 295 dialog-unit layout, 479 pixels tall, with the
# 22-pixel status line below it.
window_layout() {
  # A window just mapped may not answer yet: ask again for a little while.
  local geometry=""
  for _ in $(seq 50); do
    geometry=$(xdotool getwindowgeometry --shell "$1" 2>/dev/null || true)
    echo "$geometry" | grep -q '^HEIGHT=' && break
    sleep 0.1
  done
  echo "$geometry" | grep -q '^HEIGHT=' || fail "no geometry for window $1"
  eval "$geometry"
  MENU_HEIGHT=$((HEIGHT - 479 - 22))
  [ "$MENU_HEIGHT" -gt 0 ] || fail "unexpected window height $HEIGHT"
}

# Clicks at a screen point. The pointer then moves off to the corner: a
# synchronous move to where the pointer already is would wait for nothing.
click_at() {
  xdotool mousemove --sync "$1" "$2" click 1 mousemove 0 0
}

# Prints how many pixels differ between two images (0 when equal).
pixels_differing() {
  compare -metric AE "$1" "$2" null: 2>&1 | sed 's/ .*//' || true
}

# Grabs a WxH+X+Y rectangle of the screen into a file.
grab() {
  import -window root -crop "$1" +repage "$2"
}

# Clicks the play button of the player control (dialog units 8, 73).
click_play() {
  click_at $((X + ${PLAY_X:-24})) $((Y + MENU_HEIGHT + ${PLAY_Y:-140}))
  xdotool windowfocus --sync "$main"
}

# Quits the program (process $1, main window $2) as a user does: Escape
# asks, Return answers the default (Yes); unsaved work is discarded (Alt+D).
# Fails unless it ends cleanly.
quit_program() {
  local pid=$1 main=$2 box
  xdotool windowfocus --sync "$main"
  xdotool key --clearmodifiers Escape
  box=$(wait_window 'Confirm Exit|Save Changes' 10) || fail "no exit question"
  if xdotool getwindowname "$box" | grep -q 'Save Changes'; then
    xdotool windowfocus --sync "$box"
    xdotool key alt+d
  else
    xdotool key Return
  fi
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "the program did not quit"
  wait "$pid" || fail "the program exited with an error"
}
