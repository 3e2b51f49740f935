#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs the whole suite,
# then again under AddressSanitizer and UndefinedBehaviorSanitizer, the parallel decode
# test under ThreadSanitizer, then a short fuzz run. Each phase ends with a "== time:" line.
#
# The plain build (g++, -O2) builds everything. The sanitizer build (clang, asserts on)
# builds what the tests run and the fuzzers, whose objects it shares: the library is
# compiled twice, not three times. Neither keeps debug information beyond the sanitizer
# build's line tables (for its reports): it took a third of the compile time. clang 14
# builds the sanitizer tests: a lambda cannot capture a structured binding there (write
# [x = x]).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/timed.sh
jobs=${JOBS:-2}
fuzzers=(fuzz_dispatch_1x fuzz_dispatch_evdo fuzz_log_reader fuzz_hdlc_reader fuzz_cell_csv fuzz_output_sinks fuzz_seeds)

plain_build() {
  cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" \
    -DCDMADIAG_WERROR=ON >/dev/null
  cmake --build build/test -j"$jobs"
}
sanitizer_build() {
  CC=clang CXX=clang++ cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" -DCDMADIAG_SANITIZE=ON -DCDMADIAG_FUZZ=ON \
    -DCDMADIAG_WERROR=ON >/dev/null
  cmake --build build/asan -j"$jobs" --target cdmadiag_test_programs "${fuzzers[@]}"
}
# ThreadSanitizer over sessions decoding on several threads at once: one program.
tsan_build() {
  cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
    -DCDMADIAG_TSAN=ON -DCDMADIAG_WERROR=ON >/dev/null
  cmake --build build/tsan -j"$jobs" --target cdmadiag_tsan_tests
}
all() {
  timed setup tools/setup.sh
  timed "plain build" plain_build
  timed "plain tests" ctest --test-dir build/test -j"$jobs" --output-on-failure
  timed "sanitizer build" sanitizer_build
  timed "sanitizer tests" env ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/asan -j"$jobs" --output-on-failure
  timed "thread sanitizer build" tsan_build
  timed "thread sanitizer test" env TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/cdmadiag_tsan_tests
  # The fuzz targets, briefly, under the sanitizers (clang's libFuzzer).
  FUZZ_BUILD=build/asan FUZZ_SECONDS=${FUZZ_SECONDS:-20} tools/fuzz-smoke.sh
}
timed all all
