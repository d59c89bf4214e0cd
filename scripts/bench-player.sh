#!/usr/bin/env bash
# Playback engine benchmark: synthesizes a 3-minute 44.1 kHz stereo song,
# encodes it as MP3 and Ogg Vorbis, and prints open times next to mpg123
# and oggdec decoding the same files, CPU share while playing at rate 1.0
# and 0.5, memory, and position error. Figures, not a test: nothing fails.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=bench-common.sh
source scripts/bench-common.sh
build_bench player_bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bench="$BUILD_DIR/bench/player_bench"

echo "== synthesizing and encoding a 3-minute song"
make_song "$bench" "$work"

"$bench" "$work/song.mp3" "$work/song.ogg"
