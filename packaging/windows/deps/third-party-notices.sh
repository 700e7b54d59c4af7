#!/usr/bin/env bash
# Usage: packaging/windows/deps/third-party-notices.sh STAGE_DIR CACHE_DIR >THIRD-PARTY-NOTICES.txt
# Writes the notices for the zip folder STAGE_DIR: for each source package a DLL there comes from, the Debian version
# built, its patches, where its source can be had and Debian's copyright file, then the full text of every licence
# those files refer to. Qt and curl come from the cache win-deps.sh built (CACHE_DIR); any other DLL must
# belong to an installed Debian package. A DLL of unknown origin stops it, so nothing ships without its licence.
# The same inputs give the same bytes: the committed THIRD-PARTY-NOTICES.txt is this output for the current cache.
set -euo pipefail

stage="$(cd "${1:?usage: $0 STAGE_DIR CACHE_DIR}" && pwd)"
cache="${2:?usage: $0 STAGE_DIR CACHE_DIR}"
die() { echo "third-party-notices: $*" >&2; exit 1; }
licences=/usr/share/common-licenses

# The folders build.sh copies DLLs from besides the cache.
gcc_runtime="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")"
mingw_lib=/usr/x86_64-w64-mingw32/lib

# "package version" of a cache build, from the .dsc its completion stamp names.
built_from() { # cache prefix
    local stamp
    stamp="$(cat "$cache/$1/.zelbo-complete" 2>/dev/null)" || die "$cache/$1 is not a complete build"
    stamp="${stamp##* }"
    stamp="${stamp%.dsc}"
    echo "${stamp%%_*} ${stamp#*_}"
}

# Each DLL's source package, as "package version|its unpacked source, or the doc folder of the installed package".
declare -A origin
while IFS= read -r file; do
    name="$(basename "$file")"
    case "$file" in
    ./platforms/* | ./styles/* | ./Qt6*.dll) origin[$file]="$(built_from qt)|$cache/qtbase-src" ;;
    ./libcurl*.dll) origin[$file]="$(built_from curl)|$cache/curl-src" ;;
    *)
        system=""
        for dir in "$gcc_runtime" "$mingw_lib"; do
            [ -f "$dir/$name" ] && system="$dir/$name" && break
        done
        [ -n "$system" ] || die "no known origin for $file: add its licence to packaging/windows/deps/third-party-notices.sh"
        package="$(dpkg-query -S "$system" | sed -n '1s/:.*//p')"
        origin[$file]="$(dpkg-query -W -f='${source:Package} ${source:Version}' "$package")|/usr/share/doc/$package"
        ;;
    esac
done < <(cd "$stage" && find . -iname '*.dll' | LC_ALL=C sort)
[ ${#origin[@]} -gt 0 ] || die "no DLLs in $stage"

mapfile -t sources < <(printf '%s\n' "${origin[@]}" | LC_ALL=C sort -u)
shipped() { # source: the DLLs built from it, Windows paths
    local file
    for file in "${!origin[@]}"; do
        if [ "${origin[$file]}" = "$1" ]; then echo "${file#./}"; fi
    done | LC_ALL=C sort | sed 's|/|\\|g' | paste -sd ' '
}
copyright() { # source: Debian's copyright file for it
    local where="${1#*|}"
    if [ -f "$where/debian/copyright" ]; then echo "$where/debian/copyright"; else echo "$where/copyright"; fi
}

rule() { printf '%s\n' "$(printf '=%.0s' $(seq 118))"; }
# A byte-order mark, so that notepad reads the names in the copyright files as UTF-8 on every Windows.
printf '\xef\xbb\xbf'
cat <<'EOF'
Third-party software in this folder
===================================

zelbo_udp.exe uses the libraries below, each under its own licence. Each comes unchanged from a Debian source package
(with the patches Debian applies, listed below) and is linked dynamically: its DLL can be replaced by another build of
the same version. Where a copyright text below refers to /usr/share/common-licenses/NAME (where Debian keeps licence
texts), that text is in the section "Licence text: NAME" at the end of this file; there GPL is GPL-3 and LGPL is
LGPL-3.

Any version of a Debian source package can be had with its patches
  - on Debian, after adding deb-src entries:  apt-get source PACKAGE=VERSION
  - from the Debian snapshot archive:          https://snapshot.debian.org/package/PACKAGE/VERSION/
  - to read online:                            https://sources.debian.org/src/PACKAGE/VERSION/

EOF
for source in "${sources[@]}"; do
    read -r package version <<<"${source%%|*}"
    echo "  $package $version: $(shipped "$source")"
done
echo

referenced=()
for source in "${sources[@]}"; do
    read -r package version <<<"${source%%|*}"
    file="$(copyright "$source")"
    [ -f "$file" ] || die "no copyright file for $package at $file"
    rule
    echo "$package $version"
    rule
    echo "Shipped: $(shipped "$source")"
    case "$package" in
    qt6-base)
        echo "Qt is used under the GNU Lesser General Public License version 3 (LGPL-3), one of the licences the"
        echo "copyright file below offers; the LGPL-3 adds its permissions to the GNU GPL version 3, so both texts are"
        echo "at the end of this file."
        ;;
    esac
    where="${source#*|}"
    if [[ "$where" == /usr/share/doc/* ]]; then
        binary="$(basename "$where")"
        echo "Copied from Debian's binary package $binary $(dpkg-query -W -f='${Version}' "$binary"), built from:"
    fi
    echo "Source: apt-get source $package=$version"
    echo "        https://snapshot.debian.org/package/$package/$version/"
    series="$where/debian/patches/series"
    if [ -f "$series" ]; then
        echo "Debian's patches, applied in this order:"
        grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' "$series" | sed 's/^/  /'
    fi
    echo
    echo "Debian's copyright file for $package $version:"
    echo
    cat "$file"
    echo
    mapfile -t -O "${#referenced[@]}" referenced < <(grep -o "$licences/[A-Za-z0-9.+-]*[A-Za-z0-9+-]" "$file" || true)
done

# Every licence text referred to, and always LGPL-3 and the GPL-3 it builds on; once each, by its real name.
mapfile -t texts < <(for path in "$licences/LGPL-3" "$licences/GPL-3" "${referenced[@]}"; do
    [ -f "$path" ] && basename "$(readlink -f "$path")"
done | awk '!seen[$0]++')
for name in "${texts[@]}"; do
    rule
    echo "Licence text: $name"
    rule
    cat "$licences/$name"
    echo
done
