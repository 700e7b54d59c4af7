#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need; does nothing when all are present.
# With the argument "fuzz" also clang with its sanitizer and libFuzzer runtimes (for `make fuzz`): the newest clang
# installed, else Debian's default one. With "fuzz-cxx" it installs nothing and prints that clang's C++ compiler.
set -euo pipefail

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

newest_clang() { # the highest N of an installed clang++-N
    compgen -G '/usr/bin/clang++-[0-9]*' | sed -n 's|^/usr/bin/clang++-\([0-9]*\)$|\1|p' | sort -n | tail -n1 || true
}
default_clang() { # the N of clang-N that Debian's clang package stands for
    apt-cache depends clang 2>/dev/null | sed -n 's/^ *Depends: clang-\([0-9]*\)$/\1/p' | head -n1 || true
}

if [ "${1:-}" = fuzz-cxx ]; then
    version="$(newest_clang)"
    [ -n "$version" ] || { echo "install-deps: no clang++-N installed: run scripts/install-deps.sh fuzz" >&2; exit 1; }
    echo "clang++-$version"
    exit 0
fi

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl1-mesa-dev
    libcurl4-openssl-dev
    # QtKeychain loads libsecret at run time (no package dependency says so); the tests keep passwords in a
    # gnome-keyring-daemon of their own on a private session bus (dbus-run-session).
    qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus-daemon
    python3 python3-aiosmtpd
    fonts-ipafont-gothic fonts-noto-cjk
    xvfb xauth
)
if [ "${1:-}" = fuzz ]; then
    version="$(newest_clang)"
    [ -n "$version" ] || version="$(default_clang)"
    if [ -z "$version" ]; then
        # A machine that never read the package lists knows no default yet.
        $sudo apt-get update -qq || true
        version="$(default_clang)"
    fi
    [ -n "$version" ] || { echo "install-deps: no clang found: install the Debian package clang" >&2; exit 1; }
    packages+=("clang-$version" "libclang-rt-$version-dev")
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
