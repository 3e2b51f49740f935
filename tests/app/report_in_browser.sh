#!/usr/bin/env bash
# The report as a person sees it: headless Chromium loads it from disk with a driver script
# (report_in_browser.js, added to a copy of the page) that zooms and pans the map (wheel,
# pinch, drag), points at the route, clicks an event and the route; the DOM it dumps must
# show no script error, the route and every chart drawn and what each action did.
# Chromium's network log must show no request made for the page without --tiles, and the
# tile requests with it (so the check sees requests when there are some).
# Usage: report_in_browser.sh CDMADIAG SOURCE_DIR
set -euo pipefail
cdmadiag=$1
src=$2
chromium=${CHROMIUM:-/usr/bin/chromium}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Opens $work/NAME.html with the driver added; leaves the DOM in NAME.dom, the network log in NAME.net.
open_page() {
  local name=$1
  awk -v driver="$src/tests/app/report_in_browser.js" '
    /<\/body><\/html>/ { print "<script>"; while ((getline line < driver) > 0) print line; print "</script>" }
    { print }' "$work/$name.html" >"$work/$name-driven.html"
  grep -q 'Injected by report_in_browser.sh' "$work/$name-driven.html" || fail "$name: driver not added"
  mkdir "$work/profile-$name"
  timeout 60 "$chromium" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --window-size=1366,900 \
    --log-net-log="$work/$name.net" --user-data-dir="$work/profile-$name" \
    --dump-dom "file://$work/$name-driven.html" >"$work/$name.dom" 2>"$work/$name.log" || {
    cat "$work/$name.log" >&2
    fail "$name: chromium failed"
  }
  [ -s "$work/$name.net" ] || fail "$name: no network log written"
}
# A data- attribute of the dumped page's <body>.
attr() {
  grep -o '<body[^>]*>' "$work/$1.dom" | head -n 1 | sed -n "s/.* data-$2=\"\([^\"]*\)\".*/\1/p"
}
# Every URL asked for on the page's behalf (the browser's own update and sign-in requests
# are keyed to other sites), but the page itself. The log has one event per line.
requests() {
  grep '"network_isolation_key":"file://' "$work/$1.net" | grep -o '"url":"[^"]*"' |
    grep -v -e '"url":"file://' | sort -u || true
}
check_page() {
  local name=$1 errors points charts expected
  errors=$(attr "$name" errors)
  if [ "${errors:-x}" != 0 ]; then
    grep -o '<ul id="script-errors">.*</ul>' "$work/$name.dom" >&2 || true
    fail "$name: script errors"
  fi
  points=$(attr "$name" route-points)
  charts=$(attr "$name" charts)
  expected=$(grep -o '<svg class="chart' "$work/$name.html" | wc -l)
  [ -n "$points" ] && [ "$points" -ge 100 ] || fail "$name: route not drawn (points: ${points:-none})"
  [ "${charts:-0}" = "$expected" ] || fail "$name: charts drawn: ${charts:-none} of $expected"
  for action in zoom reset pinch drag hover event route-click; do
    [ "$(attr "$name" "t-$action")" = ok ] || fail "$name: $action: $(attr "$name" "t-$action")"
  done
  echo "ok $name: $points route points, $charts of $expected charts; wheel, pinch, drag, hover ($(attr "$name" t-hover-text | cut -c1-50)...), event click, route click"
}

# The sample drive with its cells: nothing may be fetched, and the page says so to the browser.
"$cdmadiag" report -q "$src/examples/sample.hdlc" --cells "$src/examples/cells.csv" -o "$work/one.html"
grep -q "http-equiv=\"Content-Security-Policy\" content=\"default-src 'none';" "$work/one.html" ||
  fail "one: no policy forbidding fetches"
grep -q 'img-src' "$work/one.html" && fail "one: images allowed without --tiles"
open_page one
check_page one
[ "$(attr one series-devices)" = 1 ] || fail "one: series of $(attr one series-devices) devices"
[ "$(attr one compare)" = 0 ] || fail "one: a comparison with one device"
[ -z "$(requests one)" ] || fail "one: network requests: $(requests one)"
echo "ok one: no network request"

# The sample drive twice (the log and the stream overlap in time): two devices, two
# series per measurement, the comparison with a distribution line per device.
"$cdmadiag" report -q "$src/examples/sample.hdlc" "$src/examples/sample.log" -o "$work/two.html"
open_page two
check_page two
[ "$(attr two series-devices)" = 2 ] || fail "two: series of $(attr two series-devices) devices"
[ "$(attr two compare)" = 1 ] || fail "two: no comparison section"
cdf=$(attr two cdf-lines)
[ "${cdf:-0}" -ge 10 ] || fail "two: ${cdf:-no} distribution lines drawn"
[ -z "$(requests two)" ] || fail "two: network requests: $(requests two)"
echo "ok two: 2 devices in the series, comparison with $cdf distribution lines, no network request"

# With --tiles the page asks the named server (a closed local port) for the tiles under the route.
"$cdmadiag" report -q "$src/examples/sample.hdlc" --tiles 'http://127.0.0.1:9/{z}/{x}/{y}.png' -o "$work/tiles.html"
open_page tiles
tiles=$(requests tiles | grep -c '"url":"http://127.0.0.1:9/[0-9]*/[0-9]*/[0-9]*.png"' || true)
[ "$tiles" -ge 1 ] || fail "tiles: no tile requested"
others=$(requests tiles | grep -v '"url":"http://127.0.0.1:9/' || true)
[ -z "$others" ] || fail "tiles: requests elsewhere: $others"
echo "ok tiles: $tiles tiles requested from the named server only"
