#!/usr/bin/env bash
# Runs the three programs on the bundled samples in a fresh demo/ directory and says where
# everything is. Build first: cmake --preset default && cmake --build --preset default
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/build/bin"
samples="$top/examples"
out="$top/demo"

for program in Zarnik Korvath Brellow Quillet; do
  if [ ! -x "$bin/$program" ]; then
    echo "missing $bin/$program: build first (cmake --preset default && cmake --build --preset default)" >&2
    exit 1
  fi
done

rm -rf "$out"
mkdir -p "$out/support" "$out/wuinfo" "$out/page" "$out/archive"

# The merge tool works on the database in its current directory. Named Zarnik it keeps
# ss_past_data.txt; under any other name (Korvath) it keeps WUInfo.csv.
inputs=(-sh="$samples/client/" -i4wu="$samples/i4wu/*.csv" -sl="$samples/SETILog.csv")

echo "== Zarnik (support-data mode) in demo/support"
cp "$samples/ss_past_data.txt" "$out/support/"
(cd "$out/support" && "$bin/Zarnik" "${inputs[@]}" "$samples/WUInfo.csv" 2>&1)

echo
echo "== Korvath (WUInfo mode) in demo/wuinfo"
cp "$samples/WUInfo.csv" "$out/wuinfo/"
(cd "$out/wuinfo" && "$bin/Korvath" "${inputs[@]}" -ss="$samples/ss_past_data.txt" 2>&1)

echo
echo "== Quillet: the result page in demo/page"
cp "$samples/redbit.png" "$out/page/"
(cd "$out/page" && "$bin/Quillet" "$samples/client/result.sah" 2>&1)

echo
echo "== Brellow: the result archived in demo/archive"
cp "$samples/redbit.png" "$out/archive/"
(cd "$out/archive" && "$bin/Brellow" "$samples/client/result.sah" "$out/archive/" -html -ss 2>&1)

echo
echo "Done. Look at:"
echo "  demo/support/ss_past_data.txt   merged support data file"
echo "  demo/wuinfo/WUInfo.csv          merged WUInfo table"
for page in "$out"/page/*.html; do echo "  demo/page/$(basename "$page")  result page (open in a browser)"; done
echo "  demo/archive/                   archived result, its page and a support data record"
