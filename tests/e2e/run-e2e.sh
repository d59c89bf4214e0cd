#!/usr/bin/env bash
# Runs the end-to-end session under a virtual X server with SDL's disk
# audio driver (no sound card needed). Usage: run-e2e.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$here/session.sh" "$build/beatwright" "$build/demo-128bpm.wav" "$build/e2e"
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$here/open-chart.sh" "$build/beatwright" "$build/demo-128bpm.wav" "$build/e2e"
