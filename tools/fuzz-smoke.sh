#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers)
# in build/fuzz and runs each for FUZZ_SECONDS in two halves: short inputs (up to 4 KiB)
# seeded with the kept regression inputs, then full-size ones (-len_control=0: whole
# log packets for the dispatchers, several of them for the readers) seeded with the
# sample drive's packets as well. The cell-list and output-sink targets start from their
# kept inputs. A crash leaves its input in build/fuzz/artifacts:
# minimise it (-minimize_crash=1) and keep it in fuzz/regressions/<target>/.
# FUZZ_BUILD names another build folder configured with CDMADIAG_FUZZ=ON (tools/test.sh
# passes its sanitizer build); its fuzzers are used as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/timed.sh
seconds=${FUZZ_SECONDS:-30}
jobs=${JOBS:-2}
targets=(fuzz_dispatch_1x fuzz_dispatch_evdo fuzz_log_reader fuzz_hdlc_reader fuzz_cell_csv fuzz_output_sinks)

build=${FUZZ_BUILD:-build/fuzz}

fuzz_build() {
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCDMADIAG_FUZZ=ON \
    -DCDMADIAG_TESTS=OFF >/dev/null
  cmake --build build/fuzz -j"$jobs" --target "${targets[@]}" fuzz_seeds
}
[[ -n ${FUZZ_BUILD:-} ]] || timed "fuzz build" fuzz_build

seeds=build/fuzz/seeds
rm -rf "$seeds"
mkdir -p build/fuzz
"$build"/fuzz/fuzz_seeds "$seeds" examples/sample.log examples/sample.hdlc >/dev/null

short=$((seconds / 2))
full=$((seconds - short))
mkdir -p build/fuzz/artifacts
status=0
run() {
  local t=$1 secs=$2
  shift 2
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build"/fuzz/"$t" -max_total_time="$secs" -seed="${FUZZ_SEED:-1}" -timeout=10 -print_final_stats=1 \
    -artifact_prefix=build/fuzz/artifacts/"$t"- "$@" || status=1
}
fuzz_runs() {
  for t in "${targets[@]}"; do
    max_len=262144  # a reader sees several whole records or frames
    [[ $t == fuzz_dispatch_* ]] && max_len=65537  # the code, then the longest payload a log record holds
    [[ $t == fuzz_cell_csv || $t == fuzz_output_sinks ]] && max_len=65536  # a list of rows, a run of packets
    mkdir -p build/fuzz/corpus/"$t" build/fuzz/corpus-full/"$t" "$seeds/$t"
    if ((short > 0)); then
      echo "== $t (${short}s, short inputs)"
      run "$t" "$short" -max_len=4096 build/fuzz/corpus/"$t" fuzz/regressions/"$t"
    fi
    echo "== $t (${full}s, full size)"
    run "$t" "$full" -len_control=0 -max_len="$max_len" build/fuzz/corpus-full/"$t" fuzz/regressions/"$t" "$seeds/$t"
  done
}
timed "fuzz runs" fuzz_runs
exit $status
