#!/usr/bin/env bash
# Installs the Debian packages the Windows build and its tests need; stops naming a package that cannot be had.
set -euo pipefail

packages=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
    wine wine64 xvfb xauth
    dpkg-dev xz-utils zip unzip cmake ninja-build icoutils wixl msitools xdotool osslsigncode openssl
    softhsm2 libengine-pkcs11-openssl
    qt6-base-dev qt6-base-dev-tools
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
        true
fi

# Name the package behind each tool that is still missing, rather than failing later in a compiler.
need() { # command, package
    command -v "$1" >/dev/null 2>&1 || { echo "windows: '$1' is missing: install the Debian package $2" >&2; exit 1; }
}
need x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
need x86_64-w64-mingw32-gcc-posix gcc-mingw-w64-x86-64-posix
need x86_64-w64-mingw32-windres binutils-mingw-w64-x86-64
need wine wine
[ -e /usr/lib/wine/wine64 ] || [ -e /usr/lib/wine/wine64-preloader ] || command -v wine64 >/dev/null 2>&1 ||
    { echo "windows: 64-bit Wine is missing: install the Debian package wine64" >&2; exit 1; }
need xvfb-run xvfb
need apt-get apt
need dpkg-source dpkg-dev
need zip zip
need icotool icoutils
need wixl wixl
need msibuild msitools
need ninja ninja-build
need xdotool xdotool
need osslsigncode osslsigncode
need openssl openssl
# The signing check's stand-in for a hardware token, and the engine osslsigncode reaches a PKCS#11 module through.
need softhsm2-util softhsm2
engines="$(openssl version -e | sed -n 's/^ENGINESDIR: "\(.*\)"/\1/p')"
[ -e /usr/lib/softhsm/libsofthsm2.so ] && [ -e "$engines/pkcs11.so" ] ||
    { echo "windows: SoftHSM or the PKCS#11 engine is missing: install softhsm2 libengine-pkcs11-openssl" >&2
        exit 1; }
[ -x /usr/lib/qt6/libexec/moc ] || { echo "windows: Qt's host tools are missing: install qt6-base-dev-tools" >&2; exit 1; }
