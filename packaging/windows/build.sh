#!/usr/bin/env bash
# Usage: packaging/windows/build.sh (the first job of make windows)
# Sources to exe and DLLs: cross-builds zelbo_udp.exe and its tests for 64-bit Windows against the Qt and curl that
# deps/win-deps.sh keeps in its cache, and lays out the folder a user copies to a PC, BUILD_WIN_DIR/zelbo_udp-win64:
# the exe with the DLLs it needs as Qt's deployment convention has them, stripped, and THIRD-PARTY-NOTICES.txt.
set -euo pipefail
cd "$(dirname "$0")/../.."

build="${BUILD_WIN_DIR:-build-win}"
jobs="${JOBS:-$(nproc)}"
cache="$(bash packaging/windows/deps/win-deps.sh | tail -n1)"
qt="$cache/qt"
curl="$cache/curl"
die() { echo "windows: $*" >&2; exit 1; }
# The MinGW runtime DLLs: libstdc++ and libgcc_s beside the compiler's libgcc (its folder names the GCC version),
# winpthread in the target's own lib folder.
gcc_runtime="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name 2>/dev/null || true)")"
mingw_lib=/usr/x86_64-w64-mingw32/lib
[ -f "$gcc_runtime/libstdc++-6.dll" ] ||
    die "the MinGW C++ runtime is missing: install the Debian package g++-mingw-w64-x86-64-posix"
[ -f "$mingw_lib/libwinpthread-1.dll" ] ||
    die "$mingw_lib/libwinpthread-1.dll is missing: install the Debian package mingw-w64-x86-64-dev"

"$qt/bin/qt-cmake" -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DZELBO_CURL_PREFIX="$curl" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$PWD/packaging/windows/checks/wine-run.sh" \
    ${ZELBO_WERROR:+-DZELBO_WERROR=$ZELBO_WERROR} >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log" >&2; exit 1; }
rm -f "$build.configure.log"
cmake --build "$build" -j "$jobs"

stage="$build/zelbo_udp-win64"
rm -rf "$stage" "$build/zelbo_udp-win64.zip"
mkdir -p "$stage/platforms"
cp "$build/app/zelbo_udp.exe" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
plugins=("$stage/platforms/qwindows.dll")
# The native look is optional: without its plugin Qt draws its own Windows style, and the folder holds no styles/.
if [ -f "$qt/plugins/styles/qwindowsvistastyle.dll" ]; then
    mkdir -p "$stage/styles"
    cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
    plugins+=("$stage/styles/qwindowsvistastyle.dll")
fi

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
copy_deps "$stage/zelbo_udp.exe" "${plugins[@]}"
# Group Policy templates, when the build made them (BUILD_WIN_DIR/policy: *.admx, each language's *.adml in a folder
# of its own such as ja-JP): shipped in policy\ of the zip folder, so the zip and both installers carry them, for IT
# to copy into the PolicyDefinitions store. Without them the folder holds no policy\.
policy_files() { (cd "$build/policy" 2>/dev/null && find . -type f \( -iname '*.admx' -o -iname '*.adml' \) | sort); }
while read -r file; do
    [ -n "$file" ] || continue
    mkdir -p "$stage/policy/$(dirname "$file")"
    cp "$build/policy/$file" "$stage/policy/$file"
done < <(policy_files)
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.dll "${plugins[@]}" "$stage/zelbo_udp.exe"

# The licences of everything the folder ships, and where the sources built can be had.
bash packaging/windows/deps/third-party-notices.sh "$stage" "$cache" >"$stage/THIRD-PARTY-NOTICES.txt"
cmp -s "$stage/THIRD-PARTY-NOTICES.txt" THIRD-PARTY-NOTICES.txt ||
    echo "windows: THIRD-PARTY-NOTICES.txt differs from this build's; to update it:" \
        "cp $stage/THIRD-PARTY-NOTICES.txt ." >&2
