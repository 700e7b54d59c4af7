#!/usr/bin/env bash
# Cross-builds zelbo_udp.exe and its tests for 64-bit Windows and lays out the folder a user copies to a PC:
# the exe with the DLLs it needs as Qt's deployment convention has them, zipped as zelbo_udp-win64.zip, and the
# same folder as a per-user installer, zelbo_udp-VERSION-win64.msi.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_WIN_DIR:-build-win}"
jobs="${JOBS:-$(nproc)}"
cache="$(bash scripts/win-deps.sh | tail -n1)"
qt="$cache/qt"
curl="$cache/curl"
gcc_runtime=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
mingw_lib=/usr/x86_64-w64-mingw32/lib
[ -d "$gcc_runtime" ] || { echo "windows: $gcc_runtime is missing: install g++-mingw-w64-x86-64-posix" >&2; exit 1; }

"$qt/bin/qt-cmake" -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DZELBO_CURL_PREFIX="$curl" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$PWD/scripts/wine-run.sh" \
    ${ZELBO_WERROR:+-DZELBO_WERROR=$ZELBO_WERROR} >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log" >&2; exit 1; }
rm -f "$build.configure.log"
cmake --build "$build" -j "$jobs"

stage="$build/zelbo_udp-win64"
rm -rf "$stage" "$build/zelbo_udp-win64.zip"
mkdir -p "$stage/platforms" "$stage/styles"
cp "$build/app/zelbo_udp.exe" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
[ -f "$qt/plugins/styles/qwindowsvistastyle.dll" ] && cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"

# Copies every DLL the given PE files import that one of our folders provides, recursively; system DLLs stay.
dll_dirs=("$qt/bin" "$curl/bin" "$gcc_runtime" "$mingw_lib")
copy_deps() {
    local file name dir found
    for file in "$@"; do
        x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | while read -r name; do
            [ -e "$stage/$name" ] && continue
            for dir in "${dll_dirs[@]}"; do
                found="$(find "$dir" -maxdepth 1 -iname "$name" -print -quit)"
                if [ -n "$found" ]; then
                    cp "$found" "$stage/$name"
                    copy_deps "$stage/$name"
                    break
                fi
            done
        done
    done
}
copy_deps "$stage/zelbo_udp.exe" "$stage"/platforms/*.dll "$stage"/styles/*.dll
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.dll "$stage"/*/*.dll "$stage/zelbo_udp.exe"

(cd "$build" && zip -qr zelbo_udp-win64.zip zelbo_udp-win64)
echo "windows: $build/zelbo_udp-win64.zip ($(du -h "$build/zelbo_udp-win64.zip" | cut -f1))"

rm -f "$build"/zelbo_udp-*-win64.msi
msi="$(bash scripts/windows-msi.sh "$build")"
echo "windows: $msi ($(du -h "$msi" | cut -f1))"
