#!/usr/bin/env bash
# The Windows programs tested where their users run them: under Wine, the end-to-end tests
# (the native test program running the .exe files), the tests of the Windows half of the
# platform layer, and the README's examples compared byte for byte with the Linux programs.
# Usage: run.sh [NATIVE_BUILD [WINDOWS_BUILD]] (defaults: build and build-mingw).
set -euo pipefail

top=$(cd "$(dirname "$0")/../.." && pwd)
WINE_BUILD=$(cd "${1:-$top/build}" && pwd)
WIN_BUILD=$(cd "${2:-$top/build-mingw}" && pwd)
. "$top/tests/wine/env.sh"

started=$(date +%s)
# Wine's own first-start lines stay out of the programs' output; one server for every run.
# wineboot's status is not its outcome (a 64-bit-only Wine reports the missing 32-bit side):
# the prefix's registry tells.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i > /dev/null 2>&1 || true
    wineserver -w
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wineboot made no Wine prefix in $WINEPREFIX" >&2
    exit 1
fi
wineserver -p
trap 'wineserver -k || true' EXIT

echo "== End-to-end tests, Windows programs under Wine"
"$WINE_BUILD/bin/e2e_tests"
echo
echo "== Windows platform layer under Wine (TZ=CET-1CEST)"
TZ=CET-1CEST wine "$WIN_BUILD/bin/windows_tests.exe"
echo
echo "== The README's examples, Linux and Wine"
bash "$top/tests/wine/compare.sh" "$WINE_BUILD" "$WIN_BUILD"
echo
echo "Wine part took $(( $(date +%s) - started )) s"
