#!/usr/bin/env bash
# Usage: packaging/windows/sign.sh [FILE...] (the second job of make windows; package.sh signs its MSIs with it)
# Signs Windows programs, DLLs and installers in place with Authenticode (osslsigncode, SHA-256): the files given, or
# without any, the exe and every DLL of the zip folder BUILD_WIN_DIR/zelbo_udp-win64, after build.sh has stripped
# them (stripping would break a signature) and before package.sh packs them. The key is one of:
#   ZELBO_SIGN_PFX             a PKCS#12 file with certificate and key (an internal CA's, say)
#   ZELBO_SIGN_PKCS11_MODULE   a PKCS#11 module (.so) reaching a token or HSM, with ZELBO_SIGN_PKCS11_KEY, the key's
#                              pkcs11: URI, and ZELBO_SIGN_CERTS, the certificate (and chain) file to embed
# A password or token PIN comes from the file ZELBO_SIGN_PASSWORD_FILE (never from the command line, which other
# users' ps shows): required with a PFX, optional with a module (a PIN in the URI or a token without one).
# ZELBO_SIGN_TIMESTAMP_URL names an RFC 3161 server that time-stamps each signature, so it stays valid after the
# certificate expires. Without a key nothing is signed, and it says so. A release build (ZELBO_RELEASE=1) fails
# without a key or without a time stamp server: a release's signature must outlive its certificate.
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
pfx="${ZELBO_SIGN_PFX:-}"
module="${ZELBO_SIGN_PKCS11_MODULE:-}"
password="${ZELBO_SIGN_PASSWORD_FILE:-}"
release="${ZELBO_RELEASE:-}"
[ -z "$release" ] || [ "$release" = 1 ] || [ "$release" = 0 ] || die "ZELBO_RELEASE is '$release', not 1 or 0"
[ "$release" != 1 ] || [ -n "$pfx" ] || [ -n "$module" ] ||
    die "a release (ZELBO_RELEASE=1) is signed: set ZELBO_SIGN_PFX or ZELBO_SIGN_PKCS11_MODULE"
[ "$release" != 1 ] || [ -n "${ZELBO_SIGN_TIMESTAMP_URL:-}" ] ||
    die "a release (ZELBO_RELEASE=1) is time-stamped: set ZELBO_SIGN_TIMESTAMP_URL"
if [ -z "$pfx" ] && [ -z "$module" ]; then
    echo "windows: neither ZELBO_SIGN_PFX nor ZELBO_SIGN_PKCS11_MODULE is set: $what stay unsigned" >&2
    exit 0
fi
[ -z "$pfx" ] || [ -z "$module" ] || die "set ZELBO_SIGN_PFX or ZELBO_SIGN_PKCS11_MODULE, not both"
if [ -n "$pfx" ]; then
    [ -r "$pfx" ] || die "cannot read the certificate $pfx"
    { [ -n "$password" ] && [ -r "$password" ]; } ||
        die "ZELBO_SIGN_PASSWORD_FILE must name a readable file holding the password of $pfx"
    key=(-pkcs12 "$pfx" -readpass "$password")
else
    [ -r "$module" ] || die "cannot read the PKCS#11 module $module"
    [[ "${ZELBO_SIGN_PKCS11_KEY:-}" == pkcs11:* ]] ||
        die "ZELBO_SIGN_PKCS11_KEY must name the key on the token as a pkcs11: URI"
    [ -r "${ZELBO_SIGN_CERTS:-}" ] ||
        die "ZELBO_SIGN_CERTS must name a readable file with the key's certificate (and its chain)"
    [ -z "$password" ] || [ -r "$password" ] || die "cannot read the token PIN file $password"
    key=(-pkcs11module "$module" -key "$ZELBO_SIGN_PKCS11_KEY" -certs "$ZELBO_SIGN_CERTS")
    [ -z "$password" ] || key+=(-readpass "$password")
fi
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
    osslsigncode sign "${key[@]}" -h sha256 -n "$product" "${timestamp[@]}" \
        -in "$file" -out "$file.signed" >"$log" 2>&1 ||
        { cat "$log" >&2; rm -f "$file.signed"; die "signing $file failed"; }
    chmod --reference="$file" "$file.signed"
    mv "$file.signed" "$file"
done
echo "windows: signed ${#files[@]} files"
