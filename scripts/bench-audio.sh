#!/usr/bin/env bash
# Tempo estimation benchmark: synthesizes a 3-minute 44.1 kHz stereo song,
# encodes it as MP3 and Ogg Vorbis, and prints our figures next to the
# decoder library's own full decode plus the detector alone, and next to
# Debian's soundstretch on the WAV. Figures, not a test: nothing fails.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BEATWRIGHT_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBEATWRIGHT_BENCH=ON >/dev/null
cmake --build "$BUILD_DIR" --target audio_bench -j2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bench="$BUILD_DIR/bench/audio_bench"

echo "== synthesizing and encoding a 3-minute song at 128 BPM"
"$bench" --write-song "$work/song.wav" 128
lame --quiet -b 192 "$work/song.wav" "$work/song.mp3"
oggenc --quiet -q 5 "$work/song.wav" -o "$work/song.ogg"
ls -l "$work"/song.* | awk '{ printf "  %-40s %10d bytes\n", $NF, $5 }'

echo "== figures (seconds, fastest of three runs; overlap/ref = our run / (ref_dec + ref_detect))"
"$bench" "$(command -v soundstretch)" "$work/song.wav" "$work/song.mp3" "$work/song.ogg"
