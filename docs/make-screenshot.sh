#!/usr/bin/env bash
# Makes docs/almanac.png, the README's picture of the Almanac page: runs examples/demo.sh on a
# scratch copy of examples/ and has headless Chromium take a screenshot of the whole page the
# demo made, 1000 pixels wide (tests/browser/almanac_in_browser.py --shoot). A unit read from
# the client directory arrives when its files were last changed, so the copy's client files
# get one fixed time (the day the sample unit was started), and the zone is UTC: the picture
# is the same wherever and whenever it is made.
# Usage: docs/make-screenshot.sh [BIN_DIR] (the built programs; build/bin by default)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$top/build/bin}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp -a "$top/examples" "$work/examples"
touch -d '2004-04-14 06:12:40 UTC' "$work"/examples/client/*
TZ=UTC SETI_BIN_DIR="$bin" SETI_DEMO_DIR="$work/demo" bash "$work/examples/demo.sh" > /dev/null
python3 "$top/tests/browser/almanac_in_browser.py" --work "$work/browser" \
    --shoot "$work/demo/archive/Almanac.html" "$top/docs/almanac.png"
