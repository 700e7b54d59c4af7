#!/bin/sh
# Runs a test on a session bus of its own with an unlocked gnome-keyring in a throwaway home, so that the Secret
# Service it stores passwords in is nobody's real one. Without the tools it runs the test as it is, which then skips.
set -eu
if ! command -v dbus-run-session >/dev/null 2>&1 || ! command -v gnome-keyring-daemon >/dev/null 2>&1; then
    exec "$@"
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
    XDG_CACHE_HOME="$home/cache"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# No display: the keyring must never ask anybody to unlock it.
unset DISPLAY WAYLAND_DISPLAY
dbus-run-session -- sh -c '
    eval "$(printf %s throwaway | gnome-keyring-daemon --unlock --components=secrets)"
    export GNOME_KEYRING_CONTROL ZELBO_PRIVATE_KEYRING=1
    "$@"' sh "$@"
