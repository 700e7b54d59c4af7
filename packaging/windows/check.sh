#!/usr/bin/env bash
# Usage: packaging/windows/check.sh (make windows-test runs it after make windows and the Linux build)
# Checks what the other jobs made: reads the exe's manifest and icon and both installers' tables back, looks for the
# third-party notices in the zip, signs copies with a throwaway certificate, and runs, under Wine in a new prefix of
# its own: every cross-built test through CTest, then the real zelbo_udp.exe against the Linux terminal_sim, from the
# zip folder and installed by either MSI (with upgrade and uninstall). The checks it calls live in checks/.
set -euo pipefail
cd "$(dirname "$0")/../.."

build="${BUILD_WIN_DIR:-build-win}"
linux_build="${BUILD_DIR:-build}"
jobs="${JOBS:-$(nproc)}"
checks=packaging/windows/checks
die() { echo "windows-test: $*" >&2; exit 1; }
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" 2>/dev/null || true)"
for file in zelbo_udp-win64.zip "zelbo_udp-$version-win64.msi" "zelbo_udp-$version-win64-machine.msi"; do
    [ -f "$build/$file" ] || die "$build/$file is missing: run make windows first"
done
[ -x "$linux_build/tools/simulator/terminal_sim" ] || die "no Linux terminal_sim in $linux_build: run make build first"

bash $checks/check-manifest.sh "$build/zelbo_udp-win64/zelbo_udp.exe"
# Explorer, the task bar and the Start menu each take the size they need from the exe's icon.
wrestool -x -t 14 "$build/zelbo_udp-win64/zelbo_udp.exe" >"$build/exe-icon.ico"
icon_sizes="$(icotool -l "$build/exe-icon.ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' ')"
[ "$icon_sizes" = "16 24 32 48 256 " ] || die "the exe's icon holds the sizes ${icon_sizes:-none}, not 16 24 32 48 256"
bash $checks/check-msi.sh "$build/zelbo_udp-$version-win64-machine.msi"
bash $checks/check-msi.sh "$build/zelbo_udp-$version-win64.msi"
# Asked of unzip itself: grep -q ending the pipe early would fail it under pipefail.
unzip -l "$build/zelbo_udp-win64.zip" zelbo_udp-win64/THIRD-PARTY-NOTICES.txt >/dev/null 2>&1 ||
    die "the zip holds no THIRD-PARTY-NOTICES.txt"
# The Group Policy templates the build made, if any, in the zip and both installers.
while read -r file; do
    unzip -l "$build/zelbo_udp-win64.zip" "zelbo_udp-win64/policy/$file" >/dev/null 2>&1 ||
        die "the zip lacks policy/$file"
    for msi in "$build/zelbo_udp-$version-win64.msi" "$build/zelbo_udp-$version-win64-machine.msi"; do
        msiinfo export "$msi" File | cut -f3 | sed 's/.*|//' | tr -d '\r' | grep -q -x -F "$(basename "$file")" ||
            die "$msi does not install policy/$file"
    done
done < <(cd "$build/policy" 2>/dev/null &&
    find . -type f \( -iname '*.admx' -o -iname '*.adml' \) -printf '%P\n')
bash $checks/check-signing.sh "$build/zelbo_udp-win64" "$build/zelbo_udp-$version-win64.msi"

work="$(mktemp -d /tmp/zelbo-wine.XXXXXX)"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    if [ -n "${launcher:-}" ]; then kill "$launcher" 2>/dev/null || true; fi
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
echo "windows-test: new Wine prefix $WINEPREFIX"
wineboot -i >/dev/null 2>&1
# Xvfb has no window manager: unmanaged windows spare Wine its wait of up to 2 s for one at every hide.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# The desktop process wineboot started has no display; a new server inside Xvfb starts one that has.
wineserver -k 2>/dev/null || true
# A Unix program started from inside Wine hands the starter a stray thread handle, which it then closes; so the mail
# tests' SMTP servers are started from out here, on request.
mkdir "$work/smtp-launcher"
/usr/bin/python3 tests/output/smtp_server.py launcher "$work/smtp-launcher" $$ </dev/null >"$work/smtp-launcher.log" 2>&1 &
launcher=$!
export ZELBO_SMTP_LAUNCHER="Z:${work//\//\\}\\smtp-launcher"
# Wine opens windows even for offscreen tests' message loop; a virtual display keeps them off any real one.
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "
    set -e
    cd '$build' && ctest --output-on-failure -j '$jobs'
    cd '$PWD' && bash $checks/wine-transfer-test.sh '$build/zelbo_udp-win64' '$linux_build/tools/simulator/terminal_sim'
    bash $checks/wine-msi-test.sh '$build' '$linux_build/tools/simulator/terminal_sim'
"
