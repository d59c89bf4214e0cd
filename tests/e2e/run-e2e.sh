#!/usr/bin/env bash
# Runs the end-to-end sessions under a virtual X server with SDL's disk
# audio driver (no sound card needed) and settings in a fresh folder.
# Usage: run-e2e.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd) # absolute: file dialogs resolve typed names in their own folder
here=$(cd "$(dirname "$0")" && pwd)
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
unset QT_QPA_PLATFORM
# Settings (XDG_CONFIG_HOME) and crash copies (XDG_STATE_HOME) in folders of
# their own: every run starts as a first run, and nothing a user or an
# earlier run left can ask questions here.
XDG_CONFIG_HOME=$(mktemp -d)
XDG_STATE_HOME=$(mktemp -d)
export XDG_CONFIG_HOME XDG_STATE_HOME
trap 'rm -rf "$XDG_CONFIG_HOME" "$XDG_STATE_HOME"' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$here/session.sh" "$build/beatwright" "$build/demo-128bpm.wav" "$build/e2e"
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$here/open-chart.sh" "$build/beatwright" "$build/demo-128bpm.wav" "$build/e2e"
# -noreset: the server must outlive the program killed in between.
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
  bash "$here/recovery.sh" "$build/beatwright" "$build/demo-128bpm.wav" "$build/e2e"
# A song at 137 BPM, so a tempo of 128 can only come from the taps.
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$here/tap-after-open.sh" "$build/beatwright" "$build/tests/audio_fixtures/stereo_137.wav" \
  "$build/e2e"
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$here/first-hour.sh" "$build/beatwright" "$build/demo-128bpm.wav" "$build/e2e"
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$here/toolkit.sh" "$build/beatwright" "$build/demo-128bpm.wav" "$build/e2e"
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$here/formats.sh" "$build/beatwright" "$build/demo-128bpm.wav" "$build/e2e"
xvfb-run -a -s "-screen 0 1024x768x24" bash "$here/metronome.sh" "$build/beatwright" "$build/e2e"
# Last: it leaves the 16th snap in the settings the sessions share.
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$here/snap-undo.sh" "$build/beatwright" "$build/demo-128bpm.wav" "$build/e2e"
