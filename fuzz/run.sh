#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time on the seeds of fuzz/corpus, two
# at a time. New inputs go to a scratch corpus, never into the repository. Any report, or a
# property that fails, fails the run; the input is then kept in the scratch directory.
# Usage: fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET
set -euo pipefail

cd "$(dirname "$0")/.."
build=$1
seconds=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/seti-fuzz.XXXXXX")

run_target() {
    local name=$1
    mkdir -p "$scratch/$name"
    # Inputs up to 1 KiB: large enough for a result with several signals, small enough for
    # thousands of runs a second under the sanitizers.
    if "$build/bin/fuzz_$name" -max_total_time="$seconds" -max_len=1024 -print_final_stats=1 \
        -artifact_prefix="$scratch/$name-" "$scratch/$name" "fuzz/corpus/$name" \
        >"$scratch/$name.log" 2>&1; then
        local runs
        runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$scratch/$name.log" | grep -o '[0-9]*$')
        echo "fuzz_$name: $(grep '^Done' "$scratch/$name.log"), $((runs / seconds)) exec/s," \
             "$(ls "fuzz/corpus/$name" | wc -l) seeds, $(ls "$scratch/$name" | wc -l) new inputs"
    else
        echo "fuzz_$name FAILED; its log and input are in $scratch"
        tail -n 40 "$scratch/$name.log"
        return 1
    fi
}

targets=(ResultFile ClientDir SupportData I4WU SETILog WuInfo Options DateTime
         SupportDataBatches WuInfoBatches I4WUBatches SETILogBatches Almanac)
failed=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    pids=()
    for name in "${targets[@]:i:2}"; do
        run_target "$name" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
done
if [ "$failed" -ne 0 ]; then exit 1; fi
rm -rf "$scratch"
