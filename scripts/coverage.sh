#!/usr/bin/env bash
# Line and branch coverage of the code layers (chart, dwi, audio, player,
# edit, view, app) by the test suite, with gcovr. Builds in ./build-cov with
# --coverage, runs the tests (a private sound server for the timing test),
# prints the summary and writes build-cov/coverage.txt per file.
# Usage: coverage.sh [ctest arguments]
# COVERAGE_TARGETS="chart_tests dwi_tests" builds and runs only those test
# programs; COVERAGE_LAYERS="chart dwi" narrows the files reported.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v gcovr >/dev/null 2>&1; then
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  ${SUDO:-} apt-get update -qq
  DEBIAN_FRONTEND=noninteractive ${SUDO:-} apt-get install -y -qq --no-install-recommends gcovr
fi

# shellcheck source=compiler-cache.sh
source scripts/compiler-cache.sh
# gcov finds the sources by the paths the objects were compiled with: the
# cache's relative paths (CCACHE_BASEDIR) would hide them.
unset CCACHE_BASEDIR CCACHE_NOHASHDIR
BUILD_DIR=${BEATWRIGHT_BUILD_DIR:-build-cov}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Debug -DBEATWRIGHT_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="--coverage" -DCMAKE_EXE_LINKER_FLAGS="--coverage" \
  "${CACHE_LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" ${COVERAGE_TARGETS:+--target $COVERAGE_TARGETS}
find "$BUILD_DIR" -name '*.gcda' -delete

export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
# shellcheck source=sound-server.sh
source scripts/sound-server.sh
trap stop_sound_server EXIT
start_sound_server
if [ -n "${COVERAGE_TARGETS:-}" ]; then
  for target in $COVERAGE_TARGETS; do
    "$BUILD_DIR/tests/$target" --gtest_brief=1 >>"$BUILD_DIR/ctest.log" 2>&1 ||
      echo "$target: some tests failed" >&2
  done
else
  ctest --test-dir "$BUILD_DIR" -j"$(nproc)" --timeout 300 "$@" >"$BUILD_DIR/ctest.log" ||
    echo "some tests failed; coverage below is of the run as it went" >&2
  tail -n 3 "$BUILD_DIR/ctest.log"
fi

filters=()
for layer in ${COVERAGE_LAYERS:-chart dwi audio player edit view app}; do
  filters+=(--filter "$layer/")
done
# main.cpp only parses the command line; the end-to-end sessions run it.
gcovr -r . --object-directory "$BUILD_DIR" "${filters[@]}" --exclude 'app/main.cpp' \
  --exclude-throw-branches --exclude-unreachable-branches -j"$(nproc)" \
  --txt "$BUILD_DIR/coverage.txt" --print-summary
