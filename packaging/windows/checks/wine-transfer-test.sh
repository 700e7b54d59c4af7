#!/usr/bin/env bash
# Usage: wine-transfer-test.sh [--in-place SAVE_DIR] DEPLOY_DIR TERMINAL_SIM
# The real zelbo_udp.exe from the deployment folder, under Wine, fetches a file from the Linux terminal_sim on
# loopback; the upload file must hold the terminal's bytes exactly. Needs WINEPREFIX and a display (xvfb-run).
# The exe runs in a copy of the folder, or with --in-place in the folder itself (an installed copy), whose settings
# file, Back.txt and the upload file in SAVE_DIR then stay for the caller.
set -euo pipefail

save=""
if [ "${1:-}" = --in-place ]; then
    mkdir -p "$2"
    save="$(cd "$2" && pwd)"
    shift 2
fi
deploy="$(cd "$1" && pwd)"
sim="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
records="${RECORDS:-1200}"
work="$(mktemp -d /tmp/zelbo-transfer.XXXXXX)"
sim_pid=""
exe_pid=""
cleanup() {
    [ -n "$exe_pid" ] && kill "$exe_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "wine-transfer-test: FAILED: $*" >&2; exit 1; }

if [ -n "$save" ]; then
    app="$deploy"
else
    app="$work/app"
    save="$work/save"
    cp -r "$deploy" "$app"
    mkdir -p "$save"
fi

# Records with half-width katakana, kanji, NEC and IBM extensions and their duplicate codes, and the single bytes
# 0x80/0xA0/0xFD: every one must reach the upload file unchanged.
/usr/bin/python3 "$(dirname "$0")/make_records.py" "$work/records.txt" "$records"

free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# A stranger on 127.0.0.2 sends "END" before some records, and some checksums are wrong: neither may cost a byte.
# shellcheck source=../../../scripts/terminal-sim.sh
. "$(dirname "$0")/../../../scripts/terminal-sim.sh"
start_terminal_sim "$sim" "$work/sim.out" --file "$work/records.txt" --name WINE --cycles 1 --exit-after-idle 60 \
    --quiet --foreign @3,500,1100 --bad-crc @7,800
[ -n "$sim_port" ] || fail "terminal_sim did not start: $(cat "$work/sim.out")"

# The settings file beside the exe: automatic start against the simulator, overwrite, every field kept.
fields="$(printf '1,%.0s' $(seq 20))"
printf '"Z:%s","%s","127.0.0.1","%s",0,"",0,1,0,1,0,0,"","",%s"","","1"\r\n' \
    "${save//\//\\}" "$(free_port)" "$sim_port" "$fields" >"$app/zelbo_udp.ini"

start=$(date +%s)
(cd "$app" && exec wine zelbo_udp.exe) >"$work/exe.out" 2>&1 &
exe_pid=$!
if ! timeout 300 tail --pid="$sim_pid" -f /dev/null; then
    fail "terminal_sim still running after 300 s; $(tail -n 3 "$work/sim.out")"
fi
sim_pid=""
seconds=$(($(date +%s) - start))
grep -q "^RESULT ACK records=$records " "$work/sim.out" || fail "terminal_sim: $(grep RESULT "$work/sim.out")"
[ -f "$save/WINE.txt" ] || fail "no upload file in the save folder: $(ls "$save")"
cmp "$work/records.txt" "$save/WINE.txt" || fail "the upload file differs from the terminal's records"
echo "wine-transfer-test: $records records under Wine in ${seconds} s, upload file byte-identical"
