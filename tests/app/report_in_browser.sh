#!/usr/bin/env bash
# The sample drive's report as a person sees it: headless Chromium loads it from disk and
# the DOM it dumps must show no script error, the route and every chart drawn.
# Usage: report_in_browser.sh CDMADIAG SOURCE_DIR
set -euo pipefail
cdmadiag=$1
src=$2
chromium=${CHROMIUM:-/usr/bin/chromium}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$cdmadiag" report -q "$src/examples/sample.hdlc" --cells "$src/examples/cells.csv" -o "$work/drive.html"
mkdir "$work/profile"
timeout 60 "$chromium" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --dump-dom "file://$work/drive.html" >"$work/dom.html" 2>"$work/chromium.log" || {
  cat "$work/chromium.log" >&2
  exit 1
}
body=$(grep -o '<body[^>]*>' "$work/dom.html" | head -n 1)
echo "$body"
errors=$(sed -n 's/.*data-errors="\([0-9]*\)".*/\1/p' <<<"$body")
points=$(sed -n 's/.*data-route-points="\([0-9]*\)".*/\1/p' <<<"$body")
charts=$(sed -n 's/.*data-charts="\([0-9]*\)".*/\1/p' <<<"$body")
expected=$(grep -o '<svg class="chart"' "$work/drive.html" | wc -l)
if [ "${errors:-x}" != 0 ]; then
  echo "script errors:" >&2
  grep -o '<ul id="script-errors">.*</ul>' "$work/dom.html" >&2 || true
  exit 1
fi
[ -n "$points" ] && [ "$points" -ge 100 ] || { echo "route not drawn (points: ${points:-none})" >&2; exit 1; }
[ "${charts:-0}" = "$expected" ] || { echo "charts drawn: ${charts:-none} of $expected" >&2; exit 1; }
echo "ok: $points route points, $charts of $expected charts, no script error"
