#!/usr/bin/env bash
# The main job: installs what is missing, builds the release command and decodes the
# bundled sample drive (HDLC stream with command responses) against its cell sites.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCDMADIAG_TESTS=OFF >/dev/null
cmake --build build/release -j2 --target cdmadiag_cli cdmadiag_python >/dev/null
mkdir -p out
build/release/app/cdmadiag decode examples/sample.hdlc --cells examples/cells.csv -o out/sample.txt
build/release/app/cdmadiag decode examples/sample.hdlc --cells examples/cells.csv --format jsonl -o out/sample.jsonl -q
echo "decoded examples/sample.hdlc into out/sample.txt and out/sample.jsonl; the first packets:"
head -n 40 out/sample.txt
echo "the same drive from Python (PYTHONPATH=build/release/python /usr/bin/python3), packets per class:"
PYTHONPATH=build/release/python /usr/bin/python3 -c 'import cdmadiag
messages, writes = cdmadiag.to_frames("examples/sample.hdlc", cells="examples/cells.csv")
print(messages.groupby("class").size().to_string())'
