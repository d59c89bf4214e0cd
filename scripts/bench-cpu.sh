#!/usr/bin/env bash
# CPU share of the whole program, one core = 100 %: 20 s with the demo song
# loaded and paused (idle), then 20 s playing with the step view visible.
# Runs under a virtual X server with SDL's disk driver writing to /dev/null,
# which paces the output like a sound card. Usage: scripts/bench-cpu.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=${1:-build}
seconds=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
unset QT_QPA_PLATFORM

if [ "${1:-}" != "--inside-x" ]; then
  xvfb-run -a -s "-screen 0 1024x768x24" bash "$here/bench-cpu.sh" --inside-x "$build" "$seconds"
  exit
fi
build=$2 seconds=$3
{
  source "$here/../tests/e2e/lib.sh"
  "$build/beatwright" "$build/demo-128bpm.wav" >/dev/null 2>&1 &
  pid=$!
  trap 'kill $pid 2>/dev/null || true' EXIT
  main=$(wait_song_loaded)
  focus_main "$main"
  window_layout "$main"
  sleep 1

  ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
  hz=$(getconf CLK_TCK)
  share() { # seconds -> percent of one core over that time
    local before after
    before=$(ticks)
    sleep "$1"
    after=$(ticks)
    awk -v t=$((after - before)) -v hz="$hz" -v s="$1" 'BEGIN { printf "%.2f", 100 * t / hz / s }'
  }
  idle=$(share "$seconds")
  click_play
  sleep 1
  playing=$(share "$seconds")
  echo "idle (song loaded, paused): ${idle} % of one core over ${seconds} s"
  echo "playing at rate 1.0, step view visible: ${playing} % of one core over ${seconds} s"
}
