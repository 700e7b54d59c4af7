#!/usr/bin/env bash
# Reads the installer's tables back with msiinfo and checks what package validation (ICE) and Windows act on: the
# summary's language is the product's (1041); every component in the user's profile keeps an HKCU value as its key
# path and every folder created there is removed once empty; every file, folder and shortcut name has a valid 8.3
# short name; THIRD-PARTY-NOTICES.txt is installed beside the program; every launch condition refuses with a Japanese
# text, and one refuses Windows builds below 17763, reading the build from the registry; the Startup shortcut is
# installed only with STARTATLOGON=1; every preset (STATUSFOLDER too) is written into the defaults file, which is
# installed empty in UTF-16LE (FF FE) before the values go in; KEEPALIVE=1 (by default STARTATLOGON's value)
# installs the keep-alive task's definition, which schtasks registers and the uninstall deletes, and that definition
# keeps to the Task Scheduler schema (check_task.py); STARTATLOGON, KEEPALIVE, the upgrade properties and every preset
# are secure.
#   bash packaging/windows/checks/check-msi.sh build-win/zelbo_udp-1.0.0-win64.msi
set -euo pipefail

msi="${1:?usage: check-msi.sh MSI}"
command -v msiinfo >/dev/null || { echo "check-msi: msiinfo is missing: install msitools" >&2; exit 1; }

/usr/bin/python3 "$(dirname "$0")/check_msi.py" "$msi"
# The keep-alive task's definition as the package installs it.
work="$(mktemp -d /tmp/zelbo-check-msi.XXXXXX)"
trap 'rm -rf "$work"' EXIT
msiextract -C "$work" "$msi" >/dev/null
scope=user
msiinfo export "$msi" Property | tr -d '\r' | grep -q -x $'ALLUSERS\t1' && scope=machine
mapfile -t tasks < <(find "$work" -name zelbo_udp.keepalive.xml)
[ ${#tasks[@]} -eq 1 ] || { echo "check-msi: $msi installs ${#tasks[@]} zelbo_udp.keepalive.xml" >&2; exit 1; }
/usr/bin/python3 "$(dirname "$0")/check_task.py" "$scope" "${tasks[0]}"
