#!/usr/bin/env bash
# Usage: packaging/windows/checks/check-signing.sh STAGE_DIR MSI
# The signing path of the Windows build on every run, without a real certificate: copies of the exe, every DLL and
# the installer are signed by sign.sh with a throwaway self-signed code-signing certificate made here, each must
# verify against that certificate, and a copy changed after signing must not. The exe and the installer are signed
# once more through PKCS#11, the key on a SoftHSM token made here as a hardware token would hold it. No time stamp
# (no network): a release build, which requires one, is seen refused without it, as are keys given half or twice.
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

# A key on a PKCS#11 token: SoftHSM's module stands in for a hardware token's.
module=/usr/lib/softhsm/libsofthsm2.so
mkdir "$work/tokens" "$work/pkcs11"
printf 'directories.tokendir = %s\nobjectstore.backend = file\n' "$work/tokens" >"$work/softhsm2.conf"
export SOFTHSM2_CONF="$work/softhsm2.conf"
openssl rand -hex 8 >"$work/pin"
softhsm2-util --init-token --free --label zelbo-signing --pin "$(cat "$work/pin")" --so-pin "$(openssl rand -hex 8)" \
    >/dev/null
softhsm2-util --import "$work/key.pem" --token zelbo-signing --label signer --id 01 --pin "$(cat "$work/pin")" \
    >/dev/null
cp "$stage/zelbo_udp.exe" "$msi" "$work/pkcs11/"
pkcs11_files=("$work/pkcs11/zelbo_udp.exe" "$work/pkcs11/$(basename "$msi")")
sign_env=(BUILD_WIN_DIR="$(cd "$stage/.." && pwd)" ZELBO_SIGN_TIMESTAMP_URL='' ZELBO_SIGN_PFX='')
pkcs11_env=(ZELBO_SIGN_PKCS11_MODULE="$module"
    ZELBO_SIGN_PKCS11_KEY='pkcs11:token=zelbo-signing;object=signer;type=private'
    ZELBO_SIGN_CERTS="$work/cert.pem" ZELBO_SIGN_PASSWORD_FILE="$work/pin")
env "${sign_env[@]}" "${pkcs11_env[@]}" bash "$here/../sign.sh" "${pkcs11_files[@]}" >/dev/null
for file in "${pkcs11_files[@]}"; do
    verify "$file" || fail "$(basename "$file") signed through PKCS#11 does not verify: $(cat "$work/verify.out")"
done

# Refused before anything is signed: a release without a time stamp server or without a key, two keys, a module
# without its key URI or certificate.
cp "$stage/zelbo_udp.exe" "$work/unsigned.exe"
pfx_env=(ZELBO_SIGN_PFX="$work/cert.pfx" ZELBO_SIGN_PASSWORD_FILE="$work/password")
refused() { # expected words of the refusal, environment...
    local words=$1
    shift
    if env "${sign_env[@]}" "$@" bash "$here/../sign.sh" "$work/unsigned.exe" >"$work/refusal.out" 2>&1; then
        fail "sign.sh signed with $*"
    fi
    grep -q -F "$words" "$work/refusal.out" || fail "sign.sh refused $* saying: $(cat "$work/refusal.out")"
    cmp -s "$stage/zelbo_udp.exe" "$work/unsigned.exe" || fail "sign.sh changed the file it refused to sign"
}
refused "set ZELBO_SIGN_TIMESTAMP_URL" ZELBO_RELEASE=1 "${pfx_env[@]}"
refused "set ZELBO_SIGN_TIMESTAMP_URL" ZELBO_RELEASE=1 "${pkcs11_env[@]}"
refused "is signed" ZELBO_RELEASE=1 ZELBO_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/
refused "not both" "${pfx_env[@]}" ZELBO_SIGN_PKCS11_MODULE="$module"
refused "pkcs11: URI" ZELBO_SIGN_PKCS11_MODULE="$module" ZELBO_SIGN_CERTS="$work/cert.pem"
refused "ZELBO_SIGN_CERTS" ZELBO_SIGN_PKCS11_MODULE="$module" ZELBO_SIGN_PKCS11_KEY='pkcs11:object=signer'
echo "check-signing: ${#files[@]} files signed and verified, the exe and the installer also through PKCS#11; changed" \
    "copies of the exe and the installer refused; a release without a time stamp or key, and half or double keys" \
    "refused"
