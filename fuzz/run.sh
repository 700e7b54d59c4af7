#!/usr/bin/env bash
# usage: fuzz/run.sh BUILD_DIR [SECONDS]
# Runs every libFuzzer target of a ZELBO_FUZZ build for SECONDS (default 60) on its seeds in fuzz/corpus/<target>.
# New inputs go to BUILD_DIR/fuzz-corpus/<target>, so the seeds stay as they are; logs and the inputs behind any
# finding go to BUILD_DIR/fuzz-findings. Every target runs; the exit status is 1 when any of them found something.
set -uo pipefail
build=$(cd "${1:?usage: fuzz/run.sh BUILD_DIR [SECONDS]}" && pwd)
seconds=${2:-60}
seeds_root=$(cd "$(dirname "$0")" && pwd)/corpus

# The writer target syncs every file it writes; a memory-backed temporary folder keeps it from waiting on the disk.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

findings="$build/fuzz-findings"
mkdir -p "$findings"
failed=()
for exe in "$build"/fuzz/Fuzz*; do
    [ -f "$exe" ] && [ -x "$exe" ] || continue
    target=$(basename "$exe")
    work="$build/fuzz-corpus/$target"
    mkdir -p "$work"
    seeds=()
    [ -d "$seeds_root/$target" ] && seeds=("$seeds_root/$target")
    log="$findings/$target.log"
    if "$exe" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 -artifact_prefix="$findings/$target-" \
        "$work" "${seeds[@]}" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "$target: ${runs:-?} inputs in ${seconds} s, no finding"
    else
        failed+=("$target")
        echo "$target: FINDING (log $log)"
        grep -v -E '^#[0-9]+' "$log" | tail -n 40
    fi
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz findings in: ${failed[*]}"
    exit 1
fi
