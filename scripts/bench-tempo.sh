#!/usr/bin/env bash
# Find Tempo benchmark: synthesizes the 20 variety songs (3 minutes each,
# 87-256 BPM, swing, 3/4, half-time, dotted, a beatless intro, 96.35 BPM,
# off-beat accents) and prints the table of Find Tempo against SoundTouch's
# estimate, then the peak memory of one song in a fresh process. Figures,
# not a test: nothing fails.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=bench-common.sh
source scripts/bench-common.sh
build_bench tempo_bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bench="$BUILD_DIR/bench/tempo_bench"
seconds=${1:-180}

echo "== synthesizing 20 songs of ${seconds} s"
"$bench" --write-songs "$work" "$seconds"
echo "== figures (CPU seconds of the thread that runs each song, decoding included)"
"$bench" "$work" "$seconds"
echo "== memory"
"$bench" --memory "$work/128_intro_7_s.wav"
echo "== timing maps of songs whose tempo moves (40 s each), against the best constant tempo"
"$bench" --maps
