#!/bin/sh
# Runs a test (its path and arguments) with a /dev of its own, where it may bind the socket syslog(3) writes to,
# /dev/log, without touching the system's: a private mount namespace (in a user namespace for anyone but root, where
# the system allows one) with a tmpfs on /dev that holds only the usual character devices. Where no namespace can be
# made the test runs as it is, without ZELBO_PRIVATE_DEV, and skips what needs it.
set -eu
user=""
if [ "$(id -u)" -ne 0 ]; then
    user="--map-root-user"
fi
# $user is left unquoted on purpose: empty, it is no argument at all.
if ! unshare --mount $user --propagation private true 2>/dev/null; then
    exec "$@"
fi
exec unshare --mount $user --propagation private sh -c '
    set -eu
    real="$(mktemp -d)"
    mount --rbind /dev "$real"
    mount -t tmpfs -o mode=755 zelbo-dev /dev
    for device in null zero full random urandom tty; do
        if [ -e "$real/$device" ]; then
            touch "/dev/$device"
            mount --bind "$real/$device" "/dev/$device"
        fi
    done
    umount -l "$real"
    rmdir "$real"
    ZELBO_PRIVATE_DEV=1 exec "$@"
' sh "$@"
