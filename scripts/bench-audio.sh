#!/usr/bin/env bash
# Tempo estimation benchmark: synthesizes a 3-minute 44.1 kHz stereo song,
# encodes it as MP3 and Ogg Vorbis, and prints our figures next to the
# decoder library's own full decode plus the detector alone, and next to
# Debian's soundstretch on the WAV. Figures, not a test: nothing fails.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=bench-common.sh
source scripts/bench-common.sh
build_bench audio_bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bench="$BUILD_DIR/bench/audio_bench"

echo "== synthesizing and encoding a 3-minute song at 128 BPM"
make_song "$bench" "$work" 128

echo "== figures (seconds, fastest of three runs; overlap/ref = our run / (ref_dec + ref_detect))"
"$bench" "$(command -v soundstretch)" "$work/song.wav" "$work/song.mp3" "$work/song.ogg"
