#!/usr/bin/env bash
# Regenerates docs/report.png, the README's picture of the sample drive's report.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCDMADIAG_TESTS=OFF >/dev/null
cmake --build build/release -j2 --target cdmadiag_cli >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/release/app/cdmadiag report -q examples/sample.hdlc --cells examples/cells.csv -o "$work/drive.html"
mkdir -p docs "$work/profile"
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync --hide-scrollbars \
  --user-data-dir="$work/profile" --window-size=1200,2400 --screenshot="$work/report.png" \
  "file://$work/drive.html" 2>/dev/null
mv "$work/report.png" docs/report.png
echo "wrote docs/report.png"
