#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, AddressSanitizer + UBSan) in
# ./build-fuzz and runs each in turn, one at a time, with a lasting corpus
# in build-fuzz/corpus/NAME. Each execution is held to 2 GB and 5 s.
#
#   scripts/fuzz-long.sh [-r RUNS] [-t SECONDS] [HARNESS...]
#
# -r: executions per harness (default 10000000, -1 for no limit)
# -t: time limit per harness in seconds (default none)
# HARNESS: dwi song wav mpeg ogg decode flacopus (default all)
#
# scripts/run-tests.sh runs every harness for a short fixed time with this
# script. A crash leaves its input in build-fuzz/crashes/; copy it into
# tests/fuzz/regressions/NAME/ so the normal tests replay it, and fix it.
# The figures of each run (executions, cov, ft) are printed at the end and
# kept in build-fuzz/logs/NAME.log.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=10000000
seconds=0
while getopts "r:t:" option; do
  case $option in
    r) runs=$OPTARG ;;
    t) seconds=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(dwi song simfile wav mpeg ogg decode flacopus)

# shellcheck source=compiler-cache.sh
source scripts/compiler-cache.sh
BUILD=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBEATWRIGHT_FUZZ=ON -DBEATWRIGHT_WERROR=ON "${CACHE_LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"

export LSAN_OPTIONS="suppressions=$PWD/tests/fuzz/lsan.supp"
export UBSAN_OPTIONS=print_stacktrace=1
mkdir -p "$BUILD/logs" "$BUILD/crashes"
failed=0
for name in "${harnesses[@]}"; do
  corpus="$BUILD/corpus/$name"
  mkdir -p "$corpus"
  log="$BUILD/logs/$name.log"
  limits=(-runs="$runs" -rss_limit_mb=2048 -malloc_limit_mb=2048 -timeout=5 -max_len=16384)
  [ "$seconds" -gt 0 ] && limits+=(-max_total_time="$seconds")
  budget=""
  [ "$seconds" -gt 0 ] && budget=", at most $seconds s"
  echo "== fuzz $name (runs $runs$budget)"
  inputs=("$corpus" "$BUILD/tests/fuzz/seeds/$name")
  [ -d "tests/fuzz/regressions/$name" ] && inputs+=("tests/fuzz/regressions/$name")
  status=0
  "$BUILD/tests/fuzz/fuzz_$name" "${limits[@]}" -print_final_stats=1 \
    -dict="tests/fuzz/dict/$name.dict" -artifact_prefix="$BUILD/crashes/$name-" \
    "${inputs[@]}" >"$log" 2>&1 || status=$?
  # libFuzzer ends with _Exit, so the harness cannot remove its scratch
  # files itself; those of processes that are gone are removed here.
  for scratch in /dev/shm/beatwright-fuzz-* "${TMPDIR:-/tmp}"/beatwright-fuzz-*; do
    [ -e "$scratch" ] || continue
    pid=${scratch##*beatwright-fuzz-}
    pid=${pid%%.*}
    [ -d "/proc/$pid" ] || rm -f "$scratch"
  done
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
  echo "$name: ${executed:-?} executions, ${coverage:-no coverage line}, exit $status"
  if [ "$status" -ne 0 ]; then
    failed=1
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -5 || true
  fi
done
exit $failed
