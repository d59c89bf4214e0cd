#!/usr/bin/env bash
# Sets up, builds and runs every test: formatting, the normal build, then the
# whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# then each fuzz harness for a short fixed time.
set -euo pipefail
cd "$(dirname "$0")/.."

# Each phase says when it starts, so the log shows what takes the time.
phase() { echo "== $1 (${SECONDS} s so far)"; }

bash scripts/setup.sh

phase "format check"
git ls-files -- '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror

export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

# A private sound server with a null sink for the timing test through the
# real output path (the other tests keep SDL's dummy and disk drivers).
# shellcheck source=sound-server.sh
source scripts/sound-server.sh
trap stop_sound_server EXIT
phase "sound server (PulseAudio, null sink)"
start_sound_server

phase "tests"
ctest --test-dir build --output-on-failure -j"$(nproc)"

phase "end to end: the real program in a virtual X server"
bash tests/e2e/run-e2e.sh build

phase "the Debian package"
bash scripts/check-deb.sh build

phase "tests under address and undefined-behaviour sanitizers"
BEATWRIGHT_BUILD_DIR=build-asan bash scripts/setup.sh -DBEATWRIGHT_SANITIZE=ON \
  -DCMAKE_BUILD_TYPE=Debug -DBEATWRIGHT_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$PWD/tests/fuzz/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j"$(nproc)"

phase "fuzzing: every harness for 25 s (scripts/fuzz-long.sh runs them long)"
bash scripts/fuzz-long.sh -r -1 -t 25
phase "done"
