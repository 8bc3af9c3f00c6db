#!/usr/bin/env bash
# Runs the programs on the bundled samples in a fresh demo/ directory and says where
# everything is. Build first: cmake --preset default && cmake --build --preset demo
# SETI_BIN_DIR names another folder of built programs (build/bin by default), SETI_DEMO_DIR
# another folder to write into (demo/ by default).
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
bin="${SETI_BIN_DIR:-$top/build/bin}"
samples="$top/examples"
out="${SETI_DEMO_DIR:-$top/demo}"
shown="${SETI_DEMO_DIR:-demo}"

for program in Zarnik Korvath Brellow Quillet Almanac; do
  if [ ! -x "$bin/$program" ]; then
    echo "missing $bin/$program: build first (cmake --preset default && cmake --build --preset demo)" >&2
    exit 1
  fi
done

rm -rf "$out"
mkdir -p "$out/support" "$out/wuinfo" "$out/page" "$out/archive"

# The merge tool works on the database in its current directory. Named Zarnik it keeps
# ss_past_data.txt; under any other name (Korvath) it keeps WUInfo.csv.
inputs=(-sh="$samples/client/" -i4wu="$samples/i4wu/*.csv" -sl="$samples/SETILog.csv")

echo "== Zarnik (support-data mode) in $shown/support"
cp "$samples/ss_past_data.txt" "$out/support/"
(cd "$out/support" && "$bin/Zarnik" "${inputs[@]}" "$samples/WUInfo.csv" 2>&1)

echo
echo "== Korvath (WUInfo mode) in $shown/wuinfo"
cp "$samples/WUInfo.csv" "$out/wuinfo/"
(cd "$out/wuinfo" && "$bin/Korvath" "${inputs[@]}" -ss="$samples/ss_past_data.txt" 2>&1)

echo
echo "== Quillet: the result page in $shown/page"
cp "$samples/redbit.png" "$out/page/"
(cd "$out/page" && "$bin/Quillet" "$samples/client/result.sah" 2>&1)

echo
echo "== Brellow: the result archived in $shown/archive"
cp "$samples/redbit.png" "$out/archive/"
(cd "$out/archive" && "$bin/Brellow" "$samples/client/result.sah" "$out/archive/" -html -ss 2>&1)

# Almanac reads the sources the merges read, writes no database, and makes the page of the
# whole history; beside the archived result's page, which its tables link to.
echo
echo "== Almanac: the history's page in $shown/archive"
(cd "$out/archive" && "$bin/Almanac" "${inputs[@]}" -ss="$samples/ss_past_data.txt" \
    "$samples/WUInfo.csv" 2>&1)

echo
echo "Done. Look at:"
echo "  $shown/support/ss_past_data.txt   merged support data file"
echo "  $shown/wuinfo/WUInfo.csv          merged WUInfo table"
for page in "$out"/page/*.html; do echo "  $shown/page/$(basename "$page")  result page (open in a browser)"; done
echo "  $shown/archive/                   archived result, its page and a support data record"
echo "  $shown/archive/Almanac.html       the whole history on one page (open in a browser)"
