#!/usr/bin/env bash
# Usage: packaging/windows/package.sh (the third job of make windows, after build.sh and sign.sh)
# Packs the zip folder BUILD_WIN_DIR/zelbo_udp-win64 as it stands, signed or not: zelbo_udp-win64.zip, and the same
# folder as two installers made by msi/windows-msi.sh, zelbo_udp-VERSION-win64.msi (per user, no administrator) and
# zelbo_udp-VERSION-win64-machine.msi (for every user of the PC, as IT's deployment tools install), then signed by
# sign.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."

build="${BUILD_WIN_DIR:-build-win}"
[ -d "$build/zelbo_udp-win64" ] ||
    { echo "package: $build/zelbo_udp-win64 is missing: run packaging/windows/build.sh first" >&2; exit 1; }

rm -f "$build/zelbo_udp-win64.zip"
(cd "$build" && zip -qr zelbo_udp-win64.zip zelbo_udp-win64)
echo "windows: $build/zelbo_udp-win64.zip ($(du -h "$build/zelbo_udp-win64.zip" | cut -f1))"

rm -f "$build"/zelbo_udp-*-win64.msi "$build"/zelbo_udp-*-win64-machine.msi
msis=("$(bash packaging/windows/msi/windows-msi.sh "$build")")
msis+=("$(bash packaging/windows/msi/windows-msi.sh --machine "$build")")
bash packaging/windows/sign.sh "${msis[@]}"
for msi in "${msis[@]}"; do
    echo "windows: $msi ($(du -h "$msi" | cut -f1))"
done
