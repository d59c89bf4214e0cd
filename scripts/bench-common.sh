#!/usr/bin/env bash
# Shared by the benchmark scripts: builds a benchmark and makes its song.

BUILD_DIR=${BEATWRIGHT_BUILD_DIR:-build}

# build_bench TARGET: configures with benchmarks on and builds TARGET.
build_bench() {
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBEATWRIGHT_BENCH=ON >/dev/null
  cmake --build "$BUILD_DIR" --target "$1" -j2 >/dev/null
}

# make_song BENCH DIR [ARGS...]: the benchmark writes DIR/song.wav (ARGS
# passed on), which is then encoded as DIR/song.mp3 and DIR/song.ogg.
make_song() {
  local bench=$1 dir=$2
  shift 2
  "$bench" --write-song "$dir/song.wav" "$@"
  lame --quiet -b 192 "$dir/song.wav" "$dir/song.mp3"
  oggenc --quiet -q 5 "$dir/song.wav" -o "$dir/song.ogg"
  ls -l "$dir"/song.* | awk '{ printf "  %-40s %10d bytes\n", $NF, $5 }'
}
