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

# The program itself, not the benchmark process with its windows and clients: the real zelbo_udp (offscreen) in a
# folder of its own fetches 30,000 records from terminal_sim; its peak resident size is read before it is stopped.
# shellcheck source=../../scripts/terminal-sim.sh
. "$here/scripts/terminal-sim.sh"
program_peak() {
    local work sim_pid app_pid sim_port peak
    work="$(mktemp -d /tmp/zelbo-bench-peak.XXXXXX)"
    mkdir -p "$work/save"
    cp "$build_dir/app/zelbo_udp" "$work/"
    start_terminal_sim "$build_dir/tools/simulator/terminal_sim" "$work/sim.out" --records 30000 --cycles 1 \
        --exit-after-idle 20 --quiet
    # Automatic start against the simulator, overwrite, every field kept; the local port is free while the
    # simulator holds its own.
    printf '"%s","%s","127.0.0.1","%s",0,"",0,1,0,1,0,0,"","",%s"","","0"\r\n' "$work/save" "$((sim_port + 1))" \
        "$sim_port" "$(printf '1,%.0s' $(seq 20))" >"$work/zelbo_udp.ini"
    QT_QPA_PLATFORM=offscreen "$work/zelbo_udp" >"$work/app.out" 2>&1 &
    app_pid=$!
    timeout 120 tail --pid="$sim_pid" -f /dev/null || true
    peak="$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$app_pid/status" 2>/dev/null)"
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    echo "zelbo_udp, 30,000 records: $(grep RESULT "$work/sim.out"), upload file $(stat -c %s "$work/save/DATA.txt" 2>/dev/null || echo missing) bytes, peak resident $(awk -v kb="${peak:-0}" 'BEGIN { printf "%.1f", kb / 1024 }') MiB (target <= 40 MiB)"
    rm -rf "$work"
}
program_peak

win_bench="$win_build/bench/transfer/bench_transfer.exe"
[ -f "$win_bench" ] || exit 0
echo "-- Windows build under Wine (Wine's socket layer is not Windows': a sanity figure, no target) --"
prefix="$(mktemp -d /tmp/zelbo-bench-wine.XXXXXX)"
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null; rm -rf "$prefix"' EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >/dev/null 2>&1
out="$prefix/bench.out"
bash "$here/packaging/windows/checks/wine-run.sh" "$win_bench" --sim "$win_build/tools/simulator/terminal_sim.exe" "$@" \
    >"$out" 2>&1 </dev/null || true
cat "$out"
