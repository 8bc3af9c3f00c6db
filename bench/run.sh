#!/usr/bin/env bash
# Whole-run benchmark: builds Release, generates data with seti_generate and times the built
# programs (best of three runs: wall time, and peak resident memory of that run), then prints
# a table. Every file it makes stays under build-bench/.
set -euo pipefail

usage() {
    cat <<'EOF'
usage: bench/run.sh [--sizes N,N,...] [--signals M] [--long MB,MB,...] [--baseline REV]
                    [--cases LIST] [--runs R]
  --sizes     work units per database and per export (default 10000,100000,1000000)
  --signals   signal lines in the result file for Quillet and Brellow (default 200000)
  --long      megabytes of the one-line support data file of the longline case (default 25,100)
  --baseline  also build git revision REV (in a temporary worktree) and time it on the same data
  --cases     any of korvath,almanac,zarnik,quillet,brellow,longline,pandas,duckdb
              (default all)
  --runs      runs per measurement, the best one counts (default 3)
Cases:
  korvath  Korvath in a folder holding WUInfo.csv (N units), merging -sl=SETILog.csv (N rows)
  almanac  Almanac with no argument in a folder holding the same WUInfo.csv: the page of its
           N units (half of them finished); a line gives the page's size, the peak memory over
           the WUInfo.csv's size and the time over Korvath's on the same N
  zarnik   Zarnik in a folder holding ss_past_data.txt (N units), merging -i4wu=I4WU.csv (N rows)
  quillet  Quillet result.sah out.html, on a result file of M signal lines
  brellow  Brellow result.sah DEST -html=out.html, on the same file
  longline Zarnik in an empty folder, merging -ss=long.txt: one line "name=" and MB MiB of
           letters, without a line end (a file of one record with no line "!" after it)
  pandas   the korvath merge written with pandas (bench/peers/merge_pandas.py)
  duckdb   the korvath merge written with DuckDB (bench/peers/merge_duckdb.mjs)
Half of each export's units are in the database too, so a merge holds 1.5 N units; each run's
output is counted and the check column says whether it holds what it should.
Environment: PYTHON (a python3 with pandas), NODE_PATH (where @duckdb/node-api is installed;
bench/peers/node_modules is searched too), CMAKE_BUILD_PARALLEL_LEVEL (default 2).
EOF
}

root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build-bench
sizes=10000,100000,1000000
signals=200000
long=25,100
baseline=
cases=korvath,almanac,zarnik,quillet,brellow,longline,pandas,duckdb
runs=3
while [ $# -gt 0 ]; do
    case $1 in
        --sizes) sizes=$2; shift 2 ;;
        --signals) signals=$2; shift 2 ;;
        --long) long=$2; shift 2 ;;
        --baseline) baseline=$2; shift 2 ;;
        --cases) cases=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        -h|--help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
done
for n in ${sizes//,/ } $signals ${long//,/ } $runs; do
    case $n in ''|*[!0-9]*) echo "not a number: $n" >&2; exit 2 ;; esac
done
wants() { case ,$cases, in *,$1,*) return 0 ;; *) return 1 ;; esac; }

export TZ=UTC LC_ALL=C
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}
mkdir -p "$work"
log=$work/run.log
: >"$log"
note() { echo "$*" >&2; }

# ---- builds ----

build() {  # SOURCE_DIR BUILD_DIR TARGET...
    local src=$1 dir=$2
    shift 2
    note "building $dir"
    cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
        -DSETI_BUILD_BENCH=ON >>"$log" 2>&1 &&
        cmake --build "$dir" --target "$@" >>"$log" 2>&1 ||
        { note "build failed, see $log"; exit 1; }
}

# The programs of a tree: Almanac where the tree has it.
programs_of() {
    local programs=(Zarnik Brellow Quillet)
    if [ -f "$1/almanac/main.cpp" ]; then programs+=(Almanac); fi
    echo "${programs[@]}"
}

# shellcheck disable=SC2046
build "$root" "$work/current" $(programs_of "$root") seti_generate
builds=(current)
declare -A bin=([current]=$work/current/bin)

base_tree=
cleanup() {
    if [ -n "$base_tree" ] && [ -d "$base_tree" ]; then
        git -C "$root" worktree remove --force "$base_tree" >>"$log" 2>&1 || true
    fi
    rm -rf "$work/run"
}
trap cleanup EXIT
if [ -n "$baseline" ]; then
    rev=$(git -C "$root" rev-parse --verify --short "$baseline^{commit}") ||
        { note "no such revision: $baseline"; exit 2; }
    base_tree=$work/src-$rev
    git -C "$root" worktree remove --force "$base_tree" >>"$log" 2>&1 || rm -rf "$base_tree"
    git -C "$root" worktree add --detach "$base_tree" "$rev" >>"$log" 2>&1
    # shellcheck disable=SC2046
    build "$base_tree" "$work/base-$rev" $(programs_of "$base_tree")
    builds=("base-$rev" current)
    bin[base-$rev]=$work/base-$rev/bin
fi

# ---- data ----

generate() {  # DIR N SIGNALS: regenerated when the generator is newer than the data
    local dir=$1
    if [ ! -f "$dir/stamp" ] || [ "$work/current/bin/seti_generate" -nt "$dir/stamp" ] ||
        [ "$(cat "$dir/stamp")" != "$2 $3" ]; then
        note "generating $dir"
        rm -rf "$dir"
        "$work/current/bin/seti_generate" "$dir" "$2" --overlap 0.5 --signals "$3" >>"$log"
        echo "$2 $3" >"$dir/stamp"
    fi
}

# ---- peers ----

python=
for p in ${PYTHON:-} python3 /usr/bin/python3; do
    if "$p" -c 'import pandas' 2>/dev/null; then python=$p; break; fi
done
export NODE_PATH=$root/bench/peers/node_modules${NODE_PATH:+:$NODE_PATH}
has_duckdb=
if command -v node >/dev/null && node -e "require('@duckdb/node-api')" 2>/dev/null; then
    has_duckdb=yes
fi
measurer=$(command -v python3 || true)
[ -n "$measurer" ] || { note "python3 is needed to measure the runs"; exit 1; }

# ---- measuring ----

rows=()
failed=0
declare -A best_wall=() best_cpu=() best_rss=()

count_wuinfo() { echo $(($(wc -l <"$1") - 1)); }
count_support() { tr '\r' '\n' <"$1" | grep -c '^name=' || true; }
count_signals() {  # spike rows and gaussian bar rows of a result page
    local s g
    s=$(grep -c '^<TR>.*<TD COLSPAN=3>[-0-9]' "$1" || true)
    g=$(grep -c 'COLSPAN=8><CENTER>' "$1" || true)
    echo $((s + g))
}

# measure CASE SIZE BUILD INPUT_BYTES EXPECTED PREPARE CHECK COMMAND...
# PREPARE DIR sets up the folder a run starts in, COMMAND runs there, CHECK DIR prints the
# count the expected one is compared with.
measure() {
    local name=$1 size=$2 build=$3 input=$4 expected=$5 prepare=$6 check=$7
    shift 7
    local dir=$work/run/$name-$build best= rss= cpu_best= r wall peak status cpu got verdict
    for ((r = 0; r < runs; r++)); do
        rm -rf "$dir"
        mkdir -p "$dir"
        "$prepare" "$dir"
        (cd "$dir" && "$measurer" "$root/bench/measure.py" "$work/measure.txt" "$@" \
            >>"$log" 2>&1)
        read -r wall peak status cpu <"$work/measure.txt"
        if [ "$status" != 0 ]; then
            note "$name $size $build: exit status $status"
        fi
        if [ -z "$best" ] || awk "BEGIN { exit !($wall < $best) }"; then
            best=$wall
            rss=$peak
        fi
        if [ -z "$cpu_best" ] || awk "BEGIN { exit !($cpu < $cpu_best) }"; then cpu_best=$cpu; fi
    done
    got=$("$check" "$dir")
    if [ "$got" = "$expected" ]; then
        verdict=ok
    else
        verdict="FAIL: $got, not $expected"
        failed=1
    fi
    rm -rf "$dir"
    best_wall[$name/$size/$build]=$best
    best_rss[$name/$size/$build]=$rss
    best_cpu[$name/$size/$build]=$cpu_best
    local ratio=
    # Only beside a base that ran the case: a case the base has no program for shows none.
    if [ "$build" = current ] && [ ${#builds[@]} -gt 1 ] &&
        [ -n "${best_wall[$name/$size/${builds[0]}]:-}" ]; then
        ratio=$(awk "BEGIN { printf \"%.2fx\", ${best_wall[$name/$size/${builds[0]}]} / $best }")
    fi
    rows+=("$(awk -v c="$name" -v n="$size" -v b="$build" -v w="$best" -v m="$rss" \
        -v i="$input" -v x="$ratio" -v v="$verdict" 'BEGIN {
            printf "%-8s %9s %-16s %9.3f %10.1f %10.1f %7.2f %8s  %s",
                c, n, b, w, m / 1024, i / 1048576, m * 1024 / i, x, v }')")
    note "${rows[-1]}"
}

skipped() {
    rows+=("$(printf '%-8s %9s %-16s %s' "$1" "$2" "$3" "not run: $4")")
    note "${rows[-1]}"
}

bytes() { local t=0 f; for f; do t=$((t + $(stat -c %s "$f"))); done; echo $t; }

prep_korvath() { cp "$data/WUInfo.csv" "$1/"; }
prep_zarnik() { cp "$data/ss_past_data.txt" "$1/"; }
prep_brellow() { mkdir "$1/dest"; }
prep_none() { :; }
check_korvath() { count_wuinfo "$1/WUInfo.csv"; }
check_zarnik() { count_support "$1/ss_past_data.txt"; }
check_page() { count_signals "$1/out.html"; }
check_brellow() {
    if cmp -s "$data/result.sah" "$1"/dest/*.result; then count_signals "$1/out.html"; else
        echo "no copy of result.sah"; fi
}
check_peer() { count_wuinfo "$1/out.csv"; }
# The units the sky map's cells stand for; the page's size goes to a file of its own, as the
# check runs in a subshell.
check_almanac() {
    local page=$1/Almanac.html
    if [ ! -f "$page" ]; then echo "no Almanac.html"; return; fi
    stat -c %s "$page" >"$work/almanac-page.txt"
    "$measurer" - "$page" <<'EOF'
import re, sys
page = open(sys.argv[1], encoding="utf-8", errors="replace").read()
sky = re.search(r'<svg[^>]*\bid="sky-map".*?</svg>', page, re.S)
print(sum(int(k) for k in re.findall(r'data-units="(\d+)"', sky.group(0))) if sky else
      "no sky map")
EOF
}
# Units of a WUInfo.csv with a start position on the sky (RA 0 to 24 h, Dec -90 to +90).
count_on_sky() {
    awk -F, 'NR > 1 && $6 + 0 >= 0 && $6 + 0 < 24 && $7 + 0 >= -90 && $7 + 0 <= 90 { n++ }
             END { print n + 0 }' "$1"
}

sized=
for c in korvath almanac zarnik pandas duckdb; do if wants $c; then sized=yes; fi; done
for size in ${sizes//,/ }; do
    [ -n "$sized" ] || break
    data=$work/data/$size
    generate "$data" "$size" 0
    expected=$((size + size - (size + 1) / 2))
    merge_bytes=$(bytes "$data/WUInfo.csv" "$data/SETILog.csv")
    for b in "${builds[@]}"; do
        if wants korvath; then
            if [ -x "${bin[$b]}/Korvath" ]; then
                measure korvath "$size" "$b" "$merge_bytes" "$expected" prep_korvath \
                    check_korvath "${bin[$b]}/Korvath" "-sl=$data/SETILog.csv"
            else
                skipped korvath "$size" "$b" "no Korvath in this build"
            fi
        fi
        if wants almanac; then
            if [ -x "${bin[$b]}/Almanac" ]; then
                wuinfo_bytes=$(bytes "$data/WUInfo.csv")
                rm -f "$work/almanac-page.txt"
                measure almanac "$size" "$b" "$wuinfo_bytes" "$(count_on_sky "$data/WUInfo.csv")" \
                    prep_korvath check_almanac "${bin[$b]}/Almanac"
                page=$(cat "$work/almanac-page.txt" 2>/dev/null || echo 0)
                rows+=("$(awk -v n="$size" -v b="$b" -v p="$page" -v i="$wuinfo_bytes" \
                    -v t="${best_wall[almanac/$size/$b]}" -v m="${best_rss[almanac/$size/$b]}" \
                    -v k="${best_wall[korvath/$size/$b]:-}" 'BEGIN {
                    printf "almanac %s, %s: page %d bytes (%.3f MB), peak %.2fx the input", \
                        n, b, p, p / 1e6, m * 1024 / i
                    if (k != "") printf ", %.2fx the time of korvath (%.3f s / %.3f s)", \
                        t / k, t, k
                    }')")
                note "${rows[-1]}"
            else
                skipped almanac "$size" "$b" "no Almanac in this build"
            fi
        fi
        if wants zarnik; then
            measure zarnik "$size" "$b" "$(bytes "$data/ss_past_data.txt" "$data/I4WU.csv")" \
                "$expected" prep_zarnik check_zarnik "${bin[$b]}/Zarnik" "-i4wu=$data/I4WU.csv"
        fi
    done
    if wants pandas; then
        if [ -n "$python" ]; then
            measure pandas "$size" peer "$merge_bytes" "$expected" prep_none check_peer \
                "$python" "$root/bench/peers/merge_pandas.py" "$data/WUInfo.csv" \
                "$data/SETILog.csv" out.csv
        else
            skipped pandas "$size" peer "no python3 with pandas (Debian: python3-pandas)"
        fi
    fi
    if wants duckdb; then
        if [ -n "$has_duckdb" ]; then
            measure duckdb "$size" peer "$merge_bytes" "$expected" prep_none check_peer \
                node "$root/bench/peers/merge_duckdb.mjs" "$data/WUInfo.csv" \
                "$data/SETILog.csv" out.csv
        else
            skipped duckdb "$size" peer "no node with @duckdb/node-api (npm install)"
        fi
    fi
    rm -rf "$work/run"
done

if wants quillet || wants brellow; then
    data=$work/data/signals-$signals
    generate "$data" 1 "$signals"
    page_bytes=$(bytes "$data/result.sah")
    for b in "${builds[@]}"; do
        if wants quillet; then
            measure quillet "$signals" "$b" "$page_bytes" "$signals" prep_none check_page \
                "${bin[$b]}/Quillet" "$data/result.sah" out.html
        fi
        if wants brellow; then
            measure brellow "$signals" "$b" "$page_bytes" "$signals" prep_brellow check_brellow \
                "${bin[$b]}/Brellow" "$data/result.sah" dest -html=out.html
        fi
    done
fi

if wants longline; then
    first=
    for mb in ${long//,/ }; do
        data=$work/data/longline-$mb
        if [ ! -f "$data/long.txt" ] || [ "$(stat -c %s "$data/long.txt")" != $((mb * 1048576 + 5)) ]
        then
            note "generating $data"
            mkdir -p "$data"
            { printf 'name='; head -c $((mb * 1048576)) /dev/zero | tr '\0' x; } >"$data/long.txt"
        fi
        for b in "${builds[@]}"; do
            measure longline "${mb}MB" "$b" "$(bytes "$data/long.txt")" 1 prep_none check_zarnik \
                "${bin[$b]}/Zarnik" "-ss=$data/long.txt"
        done
        # Reading stays linear in the line's length: each size against the first, in wall
        # time and in CPU time (the steadier figure on a shared machine; the least of the runs).
        if [ -z "$first" ]; then
            first=$mb
        else
            for b in "${builds[@]}"; do
                rows+=("$(awk -v b="$b" -v f="$first" -v m="$mb" \
                    -v t0="${best_wall[longline/${first}MB/$b]}" \
                    -v t="${best_wall[longline/${mb}MB/$b]}" \
                    -v c0="${best_cpu[longline/${first}MB/$b]}" \
                    -v c="${best_cpu[longline/${mb}MB/$b]}" 'BEGIN {
                    printf "longline %s MB / %s MB, %s: %.2fx the wall time (%.3f s / %.3f s), " \
                        "%.2fx the CPU time (%.3f s / %.3f s) for %.0fx the bytes",
                        m, f, b, t / t0, t, t0, c / c0, c, c0, m / f }')")
                note "${rows[-1]}"
            done
        fi
    done
    rm -rf "$work/run"
fi

echo
echo "Best of $runs runs on $(nproc) cores; N = work units per input (signal lines for"
echo "quillet and brellow); RSS/input = peak memory over input size; x base = base time / time."
printf '%-8s %9s %-16s %9s %10s %10s %7s %8s  %s\n' case N build "wall s" "peak MiB" \
    "input MiB" RSS/in "x base" check
for row in "${rows[@]}"; do echo "$row"; done
exit $failed
