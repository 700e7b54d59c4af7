#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine: the project's own prefix (WINEPREFIX, made by windows-test.sh)
# and the DLL folders of the Windows Qt, curl and the MinGW runtime on its search path.
set -euo pipefail

cache="${ZELBO_WIN_CACHE:-$HOME/.cache/zelbo_udp/win64}"
winpath() { printf 'Z:%s' "${1//\//\\}"; }

export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompts in a fresh prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEPATH="$(winpath "$cache/qt/bin");$(winpath "$cache/curl/bin");$(winpath /usr/lib/gcc/x86_64-w64-mingw32/12-posix);$(winpath /usr/x86_64-w64-mingw32/lib)"
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
