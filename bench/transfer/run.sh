#!/usr/bin/env bash
# Usage: bench/transfer/run.sh BUILD_DIR [bench_transfer options]
# Transfers 30,000 records from terminal_sim over loopback with a headless host and with the main window
# (offscreen), beside a raw UDP ping-pong, three rounds of each; then polls a silent port for 30 s and prints the
# CPU used. Build first: cmake --build BUILD_DIR --target bench_transfer
# Where the Windows build exists (WIN_BUILD_DIR, default build-win, made by `make windows`), the same benchmark runs
# again under Wine in a prefix of its own, so both sets of figures come from one run.
set -euo pipefail
build_dir=${1:?usage: $0 BUILD_DIR [options]}
shift
here="$(cd "$(dirname "$0")/../.." && pwd)"
win_build="${WIN_BUILD_DIR:-$here/build-win}"

echo "-- Linux --"
"$build_dir/bench/transfer/bench_transfer" --sim "$build_dir/tools/simulator/terminal_sim" "$@"

win_bench="$win_build/bench/transfer/bench_transfer.exe"
[ -f "$win_bench" ] || exit 0
echo "-- Windows build under Wine (Wine's socket layer is not Windows': a sanity figure, no target) --"
prefix="$(mktemp -d /tmp/zelbo-bench-wine.XXXXXX)"
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null; rm -rf "$prefix"' EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >/dev/null 2>&1
out="$prefix/bench.out"
bash "$here/scripts/wine-run.sh" "$win_bench" --sim "$win_build/tools/simulator/terminal_sim.exe" "$@" \
    >"$out" 2>&1 </dev/null || true
cat "$out"
