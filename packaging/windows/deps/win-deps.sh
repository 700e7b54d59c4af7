#!/usr/bin/env bash
# Builds Qt and libcurl for 64-bit Windows from Debian's own source packages, with Debian's patches applied, once,
# into a cache outside the clone. Each run refreshes the package lists and asks for the newest Debian revision of
# each source package (a security fix comes as one): the same revision reuses the complete cache, a new one rebuilds
# it once, and without a reachable package source the cache keeps what it has. An interrupted build resumes where it
# stopped; a new recipe rebuilds. Prints the cache folder.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
cache="${ZELBO_WIN_CACHE:-$HOME/.cache/zelbo_udp/win64}"
jobs="${JOBS:-$(nproc)}"
# The upstream versions the recipe is written for; Debian's revisions of them are followed.
qt_version=6.4.2
curl_version=7.88.1
# Bump when the configure lines below change, so an old cache is rebuilt rather than silently reused.
recipe=2

mkdir -p "$cache/src" "$cache/logs"
exec 9>"$cache/.lock"
flock 9

log() { echo "win-deps: $*" >&2; }
die() { echo "win-deps: $*" >&2; exit 1; }

bash "$here/win-packages.sh"

# The host Qt's CMake packages, wherever this system's Qt put them.
host_qt_config="$(dpkg-query -L qt6-base-dev 2>/dev/null | grep '/cmake/Qt6/Qt6Config.cmake$' | head -n1 || true)"
[ -n "$host_qt_config" ] || die "the host Qt's CMake files are missing: install the Debian package qt6-base-dev"
host_cmake_dir="$(dirname "$(dirname "$host_qt_config")")"

# The toolchain file is copied into the cache: Qt records its path, which must outlive any clone.
toolchain="$cache/toolchain.cmake"
cmp -s "$here/../../../cmake/mingw-w64-x86_64.cmake" "$toolchain" 2>/dev/null ||
    cp "$here/../../../cmake/mingw-w64-x86_64.cmake" "$toolchain"

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# apt-get source needs deb-src entries: mirror the system's own deb entries (same URIs, suites, keys).
ensure_deb_src() {
    if apt-get indextargets 2>/dev/null | grep -q '^Identifier: Sources'; then
        return
    fi
    log "adding deb-src entries that mirror the system's deb entries"
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -e "$f" ] || continue
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /(^|\n)Types:[ \t]*deb[ \t]*(\n|$)/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f"
    done | $sudo tee /etc/apt/sources.list.d/zelbo-deb-src.sources >/dev/null
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -e "$f" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' "$f"
    done | $sudo tee /etc/apt/sources.list.d/zelbo-deb-src.list >/dev/null
}

# The package lists as Debian has them now, once per run. apt-get update reports an unreachable source as a warning
# and keeps the old lists, which then name the newest revision known.
refresh_lists() {
    ensure_deb_src
    if ! $sudo apt-get update -qq >"$cache/logs/apt-update.log" 2>&1 ||
        grep -q -e '^E:' -e 'Failed to fetch' -e 'index files failed' "$cache/logs/apt-update.log"; then
        log "the package lists could not be refreshed (see $cache/logs/apt-update.log): going by the old ones"
    fi
}

# The highest of the versions on stdin, in Debian's order.
newest() {
    local best="" v
    while read -r v; do
        [ -n "$v" ] || continue
        if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then
            best=$v
        fi
    done
    echo "$best"
}

# Whether a Debian version is a revision of the upstream version (an epoch aside).
of_upstream() { # version, upstream
    local v="${1#*:}"
    [[ "$v" == "$2"[-+~]* ]]
}

# Whether every file a .dsc names (the orig tarball, Debian's patches) lies beside it: a download cut short, or one
# the archive refused in part, can leave the .dsc alone.
dsc_complete() { # .dsc
    local names name
    names="$(awk '/^Files:/ { f = 1; next } f && /^ / { print $3; next } { f = 0 }' "$1")"
    [ -n "$names" ] || return 1
    while read -r name; do
        [ -f "$(dirname "$1")/$name" ] || return 1
    done <<<"$names"
}

# Prints the .dsc of the newest revision of the upstream version that Debian offers (orig tarball, Debian's patches
# and their series beside it), downloading it unless the cache has it; when it cannot be had, the newest in the cache.
fetch_source() { # package, upstream version
    local pkg=$1 upstream=$2 offered all version dsc
    offered="$(apt-cache showsrc "$pkg" 2>/dev/null |
        awk -v p="$pkg" '/^Package: / { keep = $2 == p } keep && /^Version: / { print $2 }')"
    all="$(newest <<<"$offered")"
    version="$(while read -r v; do
        if of_upstream "$v" "$upstream"; then echo "$v"; fi
    done <<<"$offered" | newest)"
    if [ -n "$all" ] && [ "$all" != "$version" ]; then
        log "Debian offers $pkg $all, the recipe builds $upstream: raise its version here once the recipe suits it"
    fi
    if [ -n "$version" ]; then
        dsc="$cache/src/${pkg}_${version#*:}.dsc"
        if [ -f "$dsc" ] && dsc_complete "$dsc"; then
            echo "$dsc"
            return
        fi
        log "downloading Debian's source package $pkg $version"
        if (cd "$cache/src" && apt-get source --download-only "$pkg=$version" >"$cache/logs/source-$pkg.log" 2>&1) &&
            [ -f "$dsc" ] && dsc_complete "$dsc"; then
            echo "$dsc"
            return
        fi
        log "apt-get source $pkg=$version failed; see $cache/logs/source-$pkg.log"
    fi
    version="$(for dsc in "$cache/src/${pkg}_"*.dsc; do
        [ -f "$dsc" ] && dsc_complete "$dsc" || continue
        dsc="$(basename "$dsc" .dsc)"
        if of_upstream "${dsc#*_}" "$upstream"; then echo "${dsc#*_}"; fi
    done | newest)"
    [ -n "$version" ] || die "no source of $pkg $upstream in $cache/src, and Debian's cannot be had"
    log "keeping $pkg $version from the cache"
    echo "$cache/src/${pkg}_$version.dsc"
}

# Unpacks a source package as Debian builds it: the orig tarball with every patch of debian/patches applied.
unpack_source() { # .dsc, destination
    rm -rf "$2"
    dpkg-source --no-check -x "$1" "$2" >"$cache/logs/unpack-$(basename "$2").log" 2>&1 ||
        die "dpkg-source -x $(basename "$1") failed; see $cache/logs/unpack-$(basename "$2").log"
}

# The stamp names the recipe and the source revision, so either changing rebuilds once.
stamp_ok() { [ -f "$1/.zelbo-complete" ] && [ "$(cat "$1/.zelbo-complete")" = "$2" ]; }

build_curl() {
    local prefix="$cache/curl" dsc stamp
    dsc="$(fetch_source curl "$curl_version")"
    stamp="$recipe $(basename "$dsc")"
    stamp_ok "$prefix" "$stamp" && return
    rm -rf "$cache/build-curl" "$prefix"
    unpack_source "$dsc" "$cache/curl-src"
    log "building libcurl (SMTP/SMTPS, Schannel)"
    cmake -S "$cache/curl-src" -B "$cache/build-curl" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_SHARED_LIBS=ON -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF \
        -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBPSL=OFF \
        -DUSE_LIBIDN2=OFF -DUSE_NGHTTP2=OFF -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF \
        -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none -DENABLE_UNICODE=ON \
        -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON -DCURL_DISABLE_FTP=ON -DCURL_DISABLE_FILE=ON \
        -DCURL_DISABLE_TELNET=ON -DCURL_DISABLE_DICT=ON -DCURL_DISABLE_TFTP=ON -DCURL_DISABLE_RTSP=ON \
        -DCURL_DISABLE_POP3=ON -DCURL_DISABLE_IMAP=ON -DCURL_DISABLE_GOPHER=ON -DCURL_DISABLE_MQTT=ON \
        -DCURL_DISABLE_SMB=ON >"$cache/logs/curl-configure.log" 2>&1 ||
        die "configuring curl failed; see $cache/logs/curl-configure.log"
    nice cmake --build "$cache/build-curl" -j "$jobs" >"$cache/logs/curl-build.log" 2>&1 ||
        die "building curl failed; see $cache/logs/curl-build.log"
    cmake --install "$cache/build-curl" >>"$cache/logs/curl-build.log" 2>&1
    echo "$stamp" >"$prefix/.zelbo-complete"
}

build_qt() {
    local prefix="$cache/qt" dsc stamp
    dsc="$(fetch_source qt6-base "$qt_version")"
    stamp="$recipe $(basename "$dsc")"
    stamp_ok "$prefix" "$stamp" && return
    local srcdir="$cache/qtbase-src"
    local build="$cache/build-qt"
    if [ ! -f "$srcdir/configure" ] || [ "$(cat "$build/.recipe" 2>/dev/null)" != "$stamp" ]; then
        rm -rf "$build" "$prefix"
        mkdir -p "$build"
        log "unpacking $(basename "$dsc") with Debian's patches"
        unpack_source "$dsc" "$srcdir"
    fi
    if [ ! -f "$build/build.ninja" ] || [ "$(cat "$build/.recipe" 2>/dev/null)" != "$stamp" ]; then
        log "configuring Qt $qt_version for win32-g++"
        # Shared libraries keep the LGPL obligations simple. Debian's source lacks wintab.h: no tablet events.
        (cd "$build" && "$srcdir/configure" -prefix "$prefix" -release -qt-host-path /usr -xplatform win32-g++ \
            -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -no-feature-sql \
            -no-feature-printsupport -no-feature-concurrent -no-feature-xml -no-feature-tabletevent \
            -no-feature-vulkan -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
            -no-openssl -schannel \
            -- -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir" \
            -G Ninja) >"$cache/logs/qt-configure.log" 2>&1 ||
            die "configuring Qt failed; see $cache/logs/qt-configure.log"
        echo "$stamp" >"$build/.recipe"
    fi
    log "building Qt (about 1,250 steps; the first time takes most of an hour on 2 cores)"
    nice ninja -C "$build" -j "$jobs" >"$cache/logs/qt-build.log" 2>&1 ||
        die "building Qt failed; see $cache/logs/qt-build.log"
    ninja -C "$build" install >"$cache/logs/qt-install.log" 2>&1 ||
        die "installing Qt failed; see $cache/logs/qt-install.log"
    echo "$stamp" >"$prefix/.zelbo-complete"
}

refresh_lists
build_curl
build_qt
echo "$cache"
