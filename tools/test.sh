#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs the whole suite,
# then again under AddressSanitizer and UndefinedBehaviorSanitizer, then a short fuzz
# run. Each phase ends with a "== time:" line.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/timed.sh
jobs=${JOBS:-2}

plain_build() {
  cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCDMADIAG_WERROR=ON >/dev/null
  cmake --build build/test -j"$jobs"
}
sanitizer_build() {
  cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DCDMADIAG_SANITIZE=ON -DCDMADIAG_WERROR=ON >/dev/null
  cmake --build build/asan -j"$jobs"
}
all() {
  timed setup tools/setup.sh
  timed "plain build" plain_build
  timed "plain tests" ctest --test-dir build/test -j"$jobs" --output-on-failure
  timed "sanitizer build" sanitizer_build
  timed "sanitizer tests" env ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/asan -j"$jobs" --output-on-failure
  # The fuzz targets, briefly, under the sanitizers (clang's libFuzzer).
  FUZZ_SECONDS=${FUZZ_SECONDS:-20} tools/fuzz-smoke.sh
}
timed all all
