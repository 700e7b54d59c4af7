#!/usr/bin/env bash
# Usage: packaging/windows/checks/check-signing.sh STAGE_DIR MSI
# The signing path of the Windows build on every run, without a real certificate: copies of the exe, every DLL and
# the installer are signed by sign.sh with a throwaway self-signed code-signing certificate made here, each must
# verify against that certificate, and a copy changed after signing must not. No time stamp (no network).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
stage="${1:?usage: $0 STAGE_DIR MSI}"
msi="${2:?usage: $0 STAGE_DIR MSI}"
fail() { echo "check-signing: FAILED: $*" >&2; exit 1; }
work="$(mktemp -d /tmp/zelbo-signing.XXXXXX)"
trap 'rm -rf "$work"' EXIT

openssl rand -hex 16 >"$work/password"
openssl req -x509 -newkey rsa:3072 -nodes -days 2 -subj "/CN=ZELBO_UDP throwaway signer" \
    -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning \
    -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout "file:$work/password" \
    -out "$work/cert.pfx"

mkdir "$work/files"
(cd "$stage" && find . -iname '*.exe' -o -iname '*.dll') | while read -r file; do
    mkdir -p "$work/files/$(dirname "$file")"
    cp "$stage/$file" "$work/files/$file"
done
cp "$msi" "$work/files/package.msi"
mapfile -t files < <(find "$work/files" -type f | sort)
[ ${#files[@]} -ge 3 ] || fail "no exe and DLLs in $stage"

# The build folder names the product, which sign.sh gives each signature.
BUILD_WIN_DIR="$(cd "$stage/.." && pwd)" ZELBO_SIGN_PFX="$work/cert.pfx" ZELBO_SIGN_PASSWORD_FILE="$work/password" \
    ZELBO_SIGN_TIMESTAMP_URL='' bash "$here/../sign.sh" "${files[@]}"
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.out" 2>&1; }
for file in "${files[@]}"; do
    verify "$file" || fail "${file#"$work/files/"} does not verify: $(cat "$work/verify.out")"
done

# One byte in the middle of the exe's code inverted, and a value of the installer's Property table changed.
exe="$work/files/zelbo_udp.exe"
offset=$(($(stat -c %s "$exe") / 2))
byte=$(od -An -tu1 -j "$offset" -N1 "$exe")
printf '%b' "\\x$(printf %02x $((byte ^ 255)))" | dd of="$exe" bs=1 seek="$offset" conv=notrunc status=none
verify "$exe" && fail "a changed zelbo_udp.exe still verifies"
msibuild "$work/files/package.msi" -q "UPDATE Property SET Value='0' WHERE Property='ARPNOMODIFY'"
verify "$work/files/package.msi" && fail "a changed installer still verifies"
echo "check-signing: ${#files[@]} files signed and verified; changed copies of the exe and the installer refused"
