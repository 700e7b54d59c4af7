#!/usr/bin/env bash
# Usage: bench/transfer/run.sh BUILD_DIR [bench_transfer options]
# Transfers 30,000 records from terminal_sim over loopback with a headless host and with the main window
# (offscreen), beside a raw UDP ping-pong, three rounds of each; then polls a silent port for 30 s and prints the
# CPU used. Build first: cmake --build BUILD_DIR --target bench_transfer
set -euo pipefail
build_dir=${1:?usage: $0 BUILD_DIR [options]}
shift
exec "$build_dir/bench/transfer/bench_transfer" --sim "$build_dir/tools/simulator/terminal_sim" "$@"
