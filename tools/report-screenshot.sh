#!/usr/bin/env bash
# Regenerates the README's pictures of the report: docs/report.png (the sample drive) and
# docs/report-devices.png (two devices on the same drive: the sample and a second drive
# generated over the same route and time with another seed; the picture shows the map
# and the comparison, the sections between them hidden in a copy of the page).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCDMADIAG_TESTS=OFF >/dev/null
cmake --build build/release -j2 --target cdmadiag_cli cdmadiag_gen_sample >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
shot() {  # PAGE PNG WIDTH HEIGHT
  rm -rf "$work/profile"
  mkdir -p "$work/profile"
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --hide-scrollbars \
    --user-data-dir="$work/profile" --window-size="$3,$4" --screenshot="$2" "file://$1" 2>/dev/null
}
cdmadiag=build/release/app/cdmadiag
mkdir -p docs
(cd examples && "../$cdmadiag" report -q sample.hdlc --cells cells.csv -o "$work/drive.html")
shot "$work/drive.html" "$work/report.png" 1366 2600
mv "$work/report.png" docs/report.png
echo "wrote docs/report.png"

build/release/tools/cdmadiag_gen_sample --minutes 5 --seed 2 --out-hdlc "$work/sample-seed2.hdlc" 2>/dev/null
cp examples/sample.hdlc "$work/sample.hdlc"
(cd "$work" && "$OLDPWD/$cdmadiag" report -q sample.hdlc sample-seed2.hdlc --cells "$OLDPWD/examples/cells.csv" \
  -o devices.html)
sed 's|</head>|<style>#events,#charts,#summary,#render-status{display:none}</style></head>|' \
  "$work/devices.html" >"$work/devices-shown.html"
shot "$work/devices-shown.html" "$work/devices.png" 1366 2400
mv "$work/devices.png" docs/report-devices.png
echo "wrote docs/report-devices.png"
