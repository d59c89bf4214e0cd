#!/usr/bin/env bash
# Window-thread stalls while huge and hostile files load: a hostile 64 MiB
# .dwi imported and opened as a chart, and a 10-minute song as WAV and MP3,
# through the real window, beside the same work made on the window thread.
# Figures, not a test: nothing fails.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=bench-common.sh
source scripts/bench-common.sh
build_bench load_stall_bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bench="$BUILD_DIR/bench/load_stall_bench"

echo "== synthesizing a 10-minute song at 128 BPM"
"$bench" --write-song "$work/long.wav" 600
lame --quiet -b 192 "$work/long.wav" "$work/long.mp3"

echo "== figures"
"$bench" "$work/scratch" "$work/long.wav" "$work/long.mp3"
