#!/usr/bin/env bash
# Runs every benchmark from a build folder: bench/run_benchmarks.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target bench_writer bench_transfer terminal_sim
echo "== upload file writer =="
bash bench/writer/run.sh "$build"
echo "== transfer and idle polling =="
bash bench/transfer/run.sh "$build"
