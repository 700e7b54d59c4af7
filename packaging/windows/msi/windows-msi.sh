#!/usr/bin/env bash
# Usage: packaging/windows/msi/windows-msi.sh [--machine] BUILD_WIN_DIR [VERSION [OUT_DIR]]
# Builds the per-user installer zelbo_udp-VERSION-win64.msi, or with --machine the per-machine one
# zelbo_udp-VERSION-win64-machine.msi, from the zip folder BUILD_WIN_DIR/zelbo_udp-win64: wixl compiles
# zelbo_udp.wxs with the fragments msi_files.py and msi_presets.py write and the files made for the package (the empty
# UTF-16LE defaults file, the per-machine marker, the keep-alive task's definition from keepalive_task.py), and one
# msibuild pass adds what wixl cannot.
# VERSION defaults to the CMake project version; the test passes a higher one to get an upgrade without rebuilding.
# Prints the path of the package.
set -euo pipefail

scope=user
suffix=""
if [ "${1:-}" = --machine ]; then
    scope=machine
    suffix=-machine
    shift
fi
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?usage: $0 [--machine] BUILD_WIN_DIR [VERSION [OUT_DIR]]}" && pwd)"
version="${2:-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")}"
out="$(cd "${3:-$build}" && pwd)"
stage=zelbo_udp-win64

die() { echo "windows-msi: $*" >&2; exit 1; }
[ -d "$build/$stage" ] || die "$build/$stage is missing: run packaging/windows/build.sh first"
[ -f "$build/packaging/product.wxi" ] || die "$build/packaging/product.wxi is missing: configure $build again"
# Windows Installer orders versions by their first three fields, each within its own range.
if ! [[ "$version" =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] || [ "${BASH_REMATCH[1]}" -gt 255 ] ||
    [ "${BASH_REMATCH[2]}" -gt 255 ] || [ "${BASH_REMATCH[3]}" -gt 65535 ]; then
    die "version '$version' is not major.minor.patch within 255.255.65535, which an installer can order"
fi

work="$(mktemp -d /tmp/zelbo-msi.XXXXXX)"
trap 'rm -rf "$work"' EXIT

# One component per file of the zip folder but the exe, which the main source names for its shortcuts, each with a
# registry value named after the file as its key path. Every folder is removed at uninstall once empty.
/usr/bin/python3 "$here/msi_files.py" "$build/$stage" >"$work/files.wxs"
/usr/bin/python3 "$here/msi_presets.py" wxs >"$work/presets.wxs"
# Files made for the package go in the build folder, since wixl takes only relative source paths. The defaults file
# as installed, before the presets are written into it: the UTF-16LE byte order mark alone.
made=packaging/msi
mkdir -p "$build/$made"
printf '\xff\xfe' >"$build/$made/zelbo_udp.defaults.ini"
# The per-machine package's marker beside the exe, empty.
: >"$build/$made/zelbo_udp.machine"
# The keep-alive task's definition for this scope.
/usr/bin/python3 "$here/keepalive_task.py" "$scope" "$build/$made/zelbo_udp.keepalive-$scope.xml"

msi="$out/zelbo_udp-$version-win64$suffix.msi"
rm -f "$msi"
# wixl takes source paths relative to where it runs: the build folder.
(cd "$build" && wixl -a x64 -I "$build/packaging" -I "$here" -D Scope="$scope" \
    -D ProductVersion="$version" -D StageDir="$stage" -D DefaultsSource="$made/zelbo_udp.defaults.ini" \
    -D MachineMarkerSource="$made/zelbo_udp.machine" -D KeepAliveTaskSource="$made/zelbo_udp.keepalive-$scope.xml" \
    -o "$work/package.msi" \
    "$here/zelbo_udp.wxs" "$work/files.wxs" "$work/presets.wxs") ||
    die "wixl failed"
# What wixl 0.101 cannot write, in one msibuild pass: the code page 932 first, so that the Japanese texts are stored
# as Windows reads them; every statement msi_tables.py prints; and the summary's template, which wixl gives as x64;1033
# whatever the product's language.
/usr/bin/python3 "$here/msi_tables.py" "$work/package.msi" >"$work/tables.sql"
mapfile -t statements <"$work/tables.sql"
printf '\r\n\r\n932\t_ForceCodepage\r\n' >"$work/_ForceCodepage.idt"
summary() { msiinfo suminfo "$work/package.msi" | sed -n "s/^$1: //p"; }
language="$(msiinfo export "$work/package.msi" Property | sed -n 's/^ProductLanguage\t//p' | tr -d '\r')"
msibuild "$work/package.msi" -i "$work/_ForceCodepage.idt" -q "${statements[@]}" \
    -s "$(summary Subject)" "$(summary Author)" "x64;$language" "$(summary 'Revision number (UUID)')" ||
    { trap - EXIT; die "msibuild failed on a statement of $work/tables.sql"; }
mv "$work/package.msi" "$msi"
echo "$msi"
