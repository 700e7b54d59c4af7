#!/usr/bin/env bash
# Usage: packaging/windows/sign.sh DESCRIPTION FILE...
# Signs Windows programs, DLLs and installers in place with Authenticode (osslsigncode, SHA-256): the certificate and
# key come from the PKCS#12 file ZELBO_SIGN_PFX, its password from the file ZELBO_SIGN_PASSWORD_FILE (never from the
# command line, which other users' ps shows), and the signature is time-stamped by the RFC 3161 server
# ZELBO_SIGN_TIMESTAMP_URL when one is set, so it stays valid after the certificate expires. DESCRIPTION is the name
# Windows shows for a signed installer.
set -euo pipefail

die() { echo "win-sign: $*" >&2; exit 1; }
description="${1:?usage: $0 DESCRIPTION FILE...}"
shift
pfx="${ZELBO_SIGN_PFX:-}"
password="${ZELBO_SIGN_PASSWORD_FILE:-}"
[ -n "$pfx" ] || die "ZELBO_SIGN_PFX names no certificate"
[ -r "$pfx" ] || die "cannot read the certificate $pfx"
{ [ -n "$password" ] && [ -r "$password" ]; } ||
    die "ZELBO_SIGN_PASSWORD_FILE must name a readable file holding the password of $pfx"
command -v osslsigncode >/dev/null || die "osslsigncode is missing: install the Debian package osslsigncode"

timestamp=()
[ -z "${ZELBO_SIGN_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$ZELBO_SIGN_TIMESTAMP_URL")

log="$(mktemp /tmp/zelbo-sign.XXXXXX)"
trap 'rm -f "$log"' EXIT
for file in "$@"; do
    # osslsigncode writes a new file; the signed one replaces the original only once it is complete.
    rm -f "$file.signed"
    osslsigncode sign -pkcs12 "$pfx" -readpass "$password" -h sha256 -n "$description" "${timestamp[@]}" \
        -in "$file" -out "$file.signed" >"$log" 2>&1 ||
        { cat "$log" >&2; rm -f "$file.signed"; die "signing $file failed"; }
    chmod --reference="$file" "$file.signed"
    mv "$file.signed" "$file"
done
