#!/usr/bin/env bash
# Rebuilds the bundled sample drive in examples/ (log file, diagnostic-port stream,
# cell sites) with the generator. The output is reproducible byte for byte, so the
# diff after a generator change shows exactly what changed.
# A large capture for benchmarks: build/release/tools/cdmadiag_gen_sample --bench --out-log FILE
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCDMADIAG_TESTS=OFF >/dev/null
cmake --build build/release -j2 --target cdmadiag_gen_sample >/dev/null
mkdir -p examples
build/release/tools/cdmadiag_gen_sample --minutes 5 --seed 1 \
  --out-log examples/sample.log --out-hdlc examples/sample.hdlc --cells examples/cells.csv
ls -l examples/sample.log examples/sample.hdlc examples/cells.csv
