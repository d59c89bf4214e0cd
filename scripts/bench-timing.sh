#!/usr/bin/env bash
# Timing through the real output path: starts a private PulseAudio server
# with a null sink, plays a 60 s click track (a click a second) through the
# engine while recording the sink's monitor, and prints click spacing
# jitter, position drift against the server's sample clock, and reported
# against measured output latency. Three runs. Figures, not a test.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=bench-common.sh
source scripts/bench-common.sh
# shellcheck source=sound-server.sh
source scripts/sound-server.sh
build_bench timing_bench

trap stop_sound_server EXIT
start_sound_server
for run in 1 2 3; do
  echo "== run $run"
  "$BUILD_DIR/bench/timing_bench" "${1:-60}"
done
