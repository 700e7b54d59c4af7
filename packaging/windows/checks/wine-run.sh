#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine: the project's own prefix (WINEPREFIX, made by check.sh)
# and the DLL folders of the Windows Qt, curl and the MinGW runtime on its search path.
set -euo pipefail

cache="${ZELBO_WIN_CACHE:-$HOME/.cache/zelbo_udp/win64}"
winpath() { printf 'Z:%s' "${1//\//\\}"; }

export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompts in a fresh prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The MinGW runtime DLLs beside the compiler's libgcc, as build.sh finds them.
gcc_runtime="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name 2>/dev/null || true)")"
if [ ! -f "$gcc_runtime/libstdc++-6.dll" ]; then
    echo "wine-run: the MinGW C++ runtime is missing: install the Debian package g++-mingw-w64-x86-64-posix" >&2
    exit 1
fi
WINEPATH="$(winpath "$cache/qt/bin");$(winpath "$cache/curl/bin")"
WINEPATH="$WINEPATH;$(winpath "$gcc_runtime");$(winpath /usr/x86_64-w64-mingw32/lib)"
export WINEPATH
case "$(basename "$1")" in
Test*.exe)
    # QtTest's report to stdout does not come through Wine's console here; it goes to a file shown afterwards.
    # Wine's own output goes to a file too: services Wine starts on demand inherit it and outlive the test, and
    # would hold CTest's pipe open.
    log="$(mktemp /tmp/zelbo-qtest.XXXXXX)"
    status=0
    wine "$@" -o "Z:${log//\//\\},txt" >"$log.wine" 2>&1 </dev/null || status=$?
    cat "$log" "$log.wine"
    rm -f "$log" "$log.wine"
    exit "$status"
    ;;
esac
exec wine "$@"
