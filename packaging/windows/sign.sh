#!/usr/bin/env bash
# Usage: packaging/windows/sign.sh [FILE...] (the second job of make windows; package.sh signs its MSIs with it)
# Signs Windows programs, DLLs and installers in place with Authenticode (osslsigncode, SHA-256): the files given, or
# without any, the exe and every DLL of the zip folder BUILD_WIN_DIR/zelbo_udp-win64, after build.sh has stripped
# them (stripping would break a signature) and before package.sh packs them. The certificate and key come from the
# PKCS#12 file ZELBO_SIGN_PFX, its password from the file ZELBO_SIGN_PASSWORD_FILE (never from the command line, which
# other users' ps shows), and the signature is time-stamped by the RFC 3161 server ZELBO_SIGN_TIMESTAMP_URL when one
# is set, so it stays valid after the certificate expires. Without ZELBO_SIGN_PFX nothing is signed, and it says so.
set -euo pipefail

die() { echo "sign: $*" >&2; exit 1; }
files=()
for file in "$@"; do
    files+=("$(realpath -e "$file")")
done
cd "$(dirname "$0")/../.."
build="${BUILD_WIN_DIR:-build-win}"
what="${*##*/}"
if [ ${#files[@]} -eq 0 ]; then
    mapfile -t files < <(find "$build/zelbo_udp-win64" -type f \( -iname '*.exe' -o -iname '*.dll' \) | sort)
    [ ${#files[@]} -gt 0 ] || die "no exe in $build/zelbo_udp-win64: run packaging/windows/build.sh first"
    what="the exe and the DLLs of $build/zelbo_udp-win64"
fi
if [ -z "${ZELBO_SIGN_PFX:-}" ]; then
    echo "windows: ZELBO_SIGN_PFX is not set: $what stay unsigned" >&2
    exit 0
fi
pfx="$ZELBO_SIGN_PFX"
password="${ZELBO_SIGN_PASSWORD_FILE:-}"
[ -r "$pfx" ] || die "cannot read the certificate $pfx"
{ [ -n "$password" ] && [ -r "$password" ]; } ||
    die "ZELBO_SIGN_PASSWORD_FILE must name a readable file holding the password of $pfx"
command -v osslsigncode >/dev/null || die "osslsigncode is missing: install the Debian package osslsigncode"
# The name Windows shows for a signed installer.
product="$(sed -n 's/.*ProductName = "\(.*\)".*/\1/p' "$build/packaging/product.wxi" 2>/dev/null || true)"
[ -n "$product" ] || die "$build/packaging/product.wxi names no product: configure $build again"

timestamp=()
[ -z "${ZELBO_SIGN_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$ZELBO_SIGN_TIMESTAMP_URL")

log="$(mktemp /tmp/zelbo-sign.XXXXXX)"
trap 'rm -f "$log"' EXIT
for file in "${files[@]}"; do
    # osslsigncode writes a new file; the signed one replaces the original only once it is complete.
    rm -f "$file.signed"
    osslsigncode sign -pkcs12 "$pfx" -readpass "$password" -h sha256 -n "$product" "${timestamp[@]}" \
        -in "$file" -out "$file.signed" >"$log" 2>&1 ||
        { cat "$log" >&2; rm -f "$file.signed"; die "signing $file failed"; }
    chmod --reference="$file" "$file.signed"
    mv "$file.signed" "$file"
done
echo "windows: signed ${#files[@]} files"
