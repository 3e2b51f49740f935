#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers)
# in build/fuzz and runs each for a short while, seeded with its kept regression inputs.
# A crash leaves its input in build/fuzz/artifacts: minimise it (-minimize_crash=1) and
# keep it in fuzz/regressions/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-30}
jobs=${JOBS:-2}
targets=(fuzz_dispatch_1x fuzz_dispatch_evdo fuzz_log_reader fuzz_hdlc_reader)

CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCDMADIAG_FUZZ=ON \
  -DCDMADIAG_TESTS=OFF >/dev/null
cmake --build build/fuzz -j"$jobs" --target "${targets[@]}"

mkdir -p build/fuzz/artifacts
status=0
for t in "${targets[@]}"; do
  corpus=build/fuzz/corpus/$t
  mkdir -p "$corpus"
  echo "== $t (${seconds}s)"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    build/fuzz/fuzz/"$t" -max_total_time="$seconds" -seed="${FUZZ_SEED:-1}" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix=build/fuzz/artifacts/"$t"- "$corpus" fuzz/regressions/"$t" || status=1
done
exit $status
