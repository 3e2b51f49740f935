#!/usr/bin/env bash
# Regenerates the golden output of the end-to-end test from tests/data/golden/drive.hdlc.
# With --input, first regenerates the short drive itself with the sample generator.
# Review the diff before committing: it is the decoders' visible behaviour.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCDMADIAG_TESTS=OFF >/dev/null
cmake --build build/release -j2 --target cdmadiag_cli cdmadiag_gen_sample >/dev/null
g=tests/data/golden
if [ "${1:-}" = "--input" ]; then
  build/release/tools/cdmadiag_gen_sample --minutes 0.2 --leg-seconds 6 --seed 7 \
    --out-log /dev/null --out-hdlc "$g/drive.hdlc" --cells "$g/cells.csv" >/dev/null
fi
# Relative names: each line carries the input's name as given, and the test runs from here too.
build/release/app/cdmadiag decode -q --format jsonl --cells "$g/cells.csv" -o "$g/drive.jsonl" "$g/drive.hdlc"
git diff --stat -- "$g"
