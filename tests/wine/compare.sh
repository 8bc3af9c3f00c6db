#!/usr/bin/env bash
# Runs the README's examples on the bundled samples twice in each of two zones, once with the
# Linux programs in the Linux spelling and once with the Windows programs under Wine in the
# Windows spelling (backslashes, a client directory without a trailing separator), and checks
# that every file either side leaves is byte-for-byte the same. Almanac makes two pages: one
# of the databases the merges left (beside a result page it links to), one of the samples
# read straight from their places.
# Usage: compare.sh NATIVE_BUILD WINDOWS_BUILD (the Wine environment of env.sh already set).
set -euo pipefail

top=$(cd "$(dirname "$0")/../.." && pwd)
native_bin="$(cd "$1" && pwd)/bin"
windows_bin="$(cd "$2" && pwd)/bin"
samples="$top/examples"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The layout the examples assume: the client in "Program Files/SETI@home", exports beside the
# log folder. Two I4WU exports hold the same units with other arrival times, so the order in
# which a pattern yields them decides which header each unit keeps.
lay_out() {
    local ws=$1
    mkdir -p "$ws/Program Files" "$ws/i4wu" "$ws/report" "$ws/exports" "$ws/setilog/old" \
        "$ws/seti-archive" "$ws/public_html"
    cp -a "$samples/client" "$ws/Program Files/SETI@home"
    cp -a "$samples/i4wu/export1.csv" "$ws/i4wu/export1.csv"
    cp -a "$samples/SETILog.csv" "$ws/SETILog.csv"
    cp -a "$samples/WUInfo.csv" "$ws/report/WUInfo.csv"
    cp -a "$samples/ss_past_data.txt" "$ws/setilog/old/ss_past_data.txt"
    cp -a "$samples/i4wu/export1.csv" "$ws/exports/alpha.csv"
    awk 'BEGIN { FS = OFS = "," } NR > 1 { $2 = "2004/01/01 00:00:00" } { print }' \
        "$samples/i4wu/export1.csv" > "$ws/exports/Beta.csv"
    touch -r "$samples/i4wu/export1.csv" "$ws/exports/Beta.csv"
}

run_linux() {
    local ws=$1 zone=$2
    (
        cd "$ws/setilog"
        export TZ=$zone
        "$native_bin/Zarnik" -sh="$ws/Program Files/SETI@home/" -i4wu='../i4wu/export*.csv' \
            -sl=../SETILog.csv old/ss_past_data.txt
        "$native_bin/Korvath" -ob=../report/ '../exports/*.csv'
        "$native_bin/Brellow" "$ws/Program Files/SETI@home/result.sah" ../seti-archive/ \
            -html=../seti-archive/last.html -ss
        "$native_bin/Quillet" "$ws/Program Files/SETI@home/result.sah" ../public_html/seti.html
        "$native_bin/Quillet" "$ws/Program Files/SETI@home/result.sah"
        "$native_bin/Almanac"
        "$native_bin/Almanac" -page=../public_html/almanac.html \
            -sh="$ws/Program Files/SETI@home/" -i4wu='../i4wu/export*.csv' -sl=../SETILog.csv \
            ../report/WUInfo.csv old/ss_past_data.txt
    ) 2> "$ws.console"
}

run_windows() {
    local ws=$1 zone=$2
    local client
    client="Z:$(printf '%s' "$ws/Program Files/SETI@home" | tr / '\\')"
    (
        cd "$ws/setilog"
        export TZ=$zone
        wine "$windows_bin/Zarnik.exe" "-sh=\"$client\"" '-i4wu=..\i4wu\export*.csv' \
            '-sl=..\SETILog.csv' 'old\ss_past_data.txt'
        wine "$windows_bin/Korvath.exe" '-ob=..\report' '..\exports\*.csv'
        wine "$windows_bin/Brellow.exe" "$client\\result.sah" '..\seti-archive' \
            '-html=..\seti-archive\last.html' -ss
        wine "$windows_bin/Quillet.exe" "$client\\result.sah" '..\public_html\seti.html'
        wine "$windows_bin/Quillet.exe" "$client\\result.sah"
        wine "$windows_bin/Almanac.exe"
        wine "$windows_bin/Almanac.exe" '-page=..\public_html\almanac.html' \
            "-sh=\"$client\"" '-i4wu=..\i4wu\export*.csv' '-sl=..\SETILog.csv' \
            '..\report\WUInfo.csv' 'old\ss_past_data.txt'
    ) 2> "$ws.console"
}

status=0
for zone in CET-1CEST JST-9; do
    lay_out "$work/$zone/linux"
    lay_out "$work/$zone/windows"
    run_linux "$work/$zone/linux" "$zone"
    run_windows "$work/$zone/windows" "$zone"
    files=$(cd "$work/$zone/linux" && find . -type f | sort)
    count=$(printf '%s\n' "$files" | wc -l)
    bytes=$(cd "$work/$zone/linux" && cat $(printf '%s\n' "$files" | sed 's/ /?/g') | wc -c)
    if diff -r "$work/$zone/linux" "$work/$zone/windows" > "$work/$zone.diff"; then
        echo "TZ=$zone: $count files, $bytes bytes, identical on Linux and under Wine"
    else
        echo "TZ=$zone: Linux and Wine differ:"
        cat "$work/$zone.diff"
        status=1
    fi
    # Almanac's two pages are there (a missing pair would compare as the same), and the page
    # beside the result page links to it.
    for page in setilog/Almanac.html public_html/almanac.html; do
        if ! grep -q '<svg class="chart"' "$work/$zone/linux/$page"; then
            echo "TZ=$zone: Almanac made no page $page"
            status=1
        fi
    done
    if ! grep -q 'href="[^"/]*\.html"' "$work/$zone/linux/setilog/Almanac.html" 2>/dev/null; then
        echo "TZ=$zone: setilog/Almanac.html does not link to the result page beside it"
        status=1
    fi
    # Both sides must have read every source: the same number of messages, none a failure.
    for side in linux windows; do
        if grep -q '^Fail\|^Cannot\|^Illegal\|^No ' "$work/$zone/$side.console"; then
            echo "TZ=$zone, $side: a source failed:"
            cat "$work/$zone/$side.console"
            status=1
        fi
    done
done
exit $status
