#!/usr/bin/env bash
# Reads the application manifest (RT_MANIFEST, id 1) back out of a Windows exe and checks what Windows acts on:
# it parses as XML, runs asInvoker, names Windows 10/11 as supported, is long-path aware and PerMonitorV2 DPI aware.
#   bash packaging/windows/checks/check-manifest.sh build-win/zelbo_udp-win64/zelbo_udp.exe
set -euo pipefail

exe="${1:?usage: check-manifest.sh EXE}"
command -v wrestool >/dev/null || { echo "check-manifest: wrestool is missing: install icoutils" >&2; exit 1; }
manifest="$(wrestool -x --raw -t 24 -n 1 "$exe")" || true
[ -n "$manifest" ] || { echo "check-manifest: $exe has no manifest (RT_MANIFEST 1)" >&2; exit 1; }

/usr/bin/python3 "$(dirname "$0")/check_manifest.py" "$exe" "$manifest"
