#!/usr/bin/env bash
# Playback engine benchmark: synthesizes a 3-minute 44.1 kHz stereo song,
# encodes it as MP3 and Ogg Vorbis, and prints open times next to mpg123
# and oggdec decoding the same files, CPU share while playing at rate 1.0
# and 0.5, memory, and position error. Figures, not a test: nothing fails.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BEATWRIGHT_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBEATWRIGHT_BENCH=ON >/dev/null
cmake --build "$BUILD_DIR" --target player_bench -j2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bench="$BUILD_DIR/bench/player_bench"

echo "== synthesizing and encoding a 3-minute song"
"$bench" --write-song "$work/song.wav"
lame --quiet -b 192 "$work/song.wav" "$work/song.mp3"
oggenc --quiet -q 5 "$work/song.wav" -o "$work/song.ogg"
ls -l "$work"/song.* | awk '{ printf "  %-40s %10d bytes\n", $NF, $5 }'

"$bench" "$work/song.mp3" "$work/song.ogg"
