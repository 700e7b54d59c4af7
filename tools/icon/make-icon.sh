#!/usr/bin/env bash
# Usage: tools/icon/make-icon.sh BUILD_DIR
# Draws the icon with BUILD_DIR's paint_icon and writes the files the build takes as they stand: the window icon's
# PNGs in src/ui/resources/icons (zelbo_udp.png is the 64 px one) and app/zelbo_udp.ico for the exe and the installer,
# 16 to 48 px as bitmaps and 256 px as PNG, the way Windows' own icons hold them. Commit what it changes.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:?usage: $0 BUILD_DIR}"
command -v icotool >/dev/null || { echo "make-icon: icotool is missing: install icoutils" >&2; exit 1; }

cmake --build "$build" --target paint_icon
work="$(mktemp -d /tmp/zelbo-icon.XXXXXX)"
trap 'rm -rf "$work"' EXIT
"$build/tools/icon/paint_icon" "$work"

icons="$here/src/ui/resources/icons"
for size in 16 24 32 48 256; do
    cp "$work/zelbo_udp-$size.png" "$icons/zelbo_udp-$size.png"
done
cp "$work/zelbo_udp-64.png" "$icons/zelbo_udp.png"
icotool -c -o "$here/app/zelbo_udp.ico" "$work"/zelbo_udp-{16,24,32,48}.png --raw="$work/zelbo_udp-256.png"
icotool -l "$here/app/zelbo_udp.ico"
