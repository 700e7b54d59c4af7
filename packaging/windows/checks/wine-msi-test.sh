#!/usr/bin/env bash
# Usage: wine-msi-test.sh BUILD_WIN_DIR TERMINAL_SIM
# The installer under Wine, run per user and quietly: msiexec /qn installs the program and its shortcuts, the
# installed exe creates its settings file beside itself and fetches records from the Linux terminal_sim, a higher
# version upgrades in place keeping the settings file, Back.txt and the save folder byte for byte, the same version
# or an older one is refused, so is any version on a Windows build below 17763, and an uninstall leaves only the
# files the program wrote. Back.txt and History.csv are among them: the last records received and the history of the
# cycles, which the installer never owned. Wine asks for no elevation anyway, so the package's own flag for that is checked instead.
# Presets given to an upgrade land in the defaults file, which the next upgrade keeps; the package refuses
# ALLUSERS=1. The per-machine package then installs into Program Files with presets that point at terminal_sim, whose
# records the installed exe fetches from its first start without a box, and upgrades and uninstalls the same way.
# Along the way: the defaults file is UTF-16LE and keeps Japanese presets; the keep-alive task is registered with
# STARTATLOGON=1, kept by upgrades and deleted by the uninstall, and refused with another INSTALLFOLDER; only the
# per-machine package installs zelbo_udp.machine and the event source, which its uninstall removes.
# Needs WINEPREFIX (a prefix nothing else has installed into) and a display (xvfb-run).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
sim="$2"
work="$(mktemp -d /tmp/zelbo-msi-test.XXXXXX)"
current_version='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
cleanup() {
    if [ -n "${sim_pid:-}" ]; then kill "$sim_pid" 2>/dev/null || true; fi
    if [ -n "${windows_build:-}" ]; then
        wine reg add "$current_version" /v CurrentBuildNumber /d "$windows_build" /f >/dev/null 2>&1 || true
    fi
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "wine-msi-test: FAILED: $*" >&2; exit 1; }
# Shortcuts would otherwise also become menu entries of the Linux desktop.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe="
winpath() { printf 'Z:%s' "${1//\//\\}"; }

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
first="$build/zelbo_udp-$version-win64.msi"
[ -f "$first" ] || fail "$first is missing: run make windows first"
# The same files under two higher versions, and the first of them once more as another package.
higher="${version%.*}.$((${version##*.} + 1))"
highest="${version%.*}.$((${version##*.} + 2))"
mkdir "$work/again"
upgrade="$(bash "$here/../msi/windows-msi.sh" "$build" "$higher" "$work")"
again="$(bash "$here/../msi/windows-msi.sh" "$build" "$higher" "$work/again")"
last="$(bash "$here/../msi/windows-msi.sh" "$build" "$highest" "$work")"

homes=()
for dir in "$WINEPREFIX"/drive_c/users/*; do
    [ "$(basename "$dir")" = Public ] || homes+=("$dir")
done
[ ${#homes[@]} -eq 1 ] || fail "no single user folder in $WINEPREFIX/drive_c/users"
home="${homes[0]}"
app="$home/AppData/Local/Programs/ZELBO_UDP"
menu="$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
# Wine's name for the Startup folder.
startup="$menu/StartUp/ZELBO_UDP.lnk"
save="$home/Documents/ZELBO"
machine_app="$WINEPREFIX/drive_c/Program Files/ZELBO_UDP"
# The per-machine install keeps each user's files in the user's own folder, even where Program Files is writable.
machine_data="$home/AppData/Local/ZELBO_UDP"
# Where Wine's Task Scheduler keeps a registered task's definition. Wine never runs a task and keeps only part of
# the definition (no triggers, principal or command: check_task.py checks those in the package), so what is seen
# here is that the installer registered the package's definition under the right name and the uninstall deleted it.
# The per-user task carries the user's name.
tasks="$WINEPREFIX/drive_c/windows/system32/tasks"
user_task="$tasks/ZELBO_UDP-$(basename "$home")"
machine_task="$tasks/ZELBO_UDP"
task_registered() { # task file: registered from the package's definition
    grep -q -F '<Author>ZELBO</Author>' "$1" 2>/dev/null && grep -q -F 'ZELBO_UDP をﾊﾞｯｸｸﾞﾗｳﾝﾄﾞで起動' "$1"
}

msiexec() { # expected status, arguments
    local expected=$1 status=0
    shift
    wine msiexec "$@" /qn >"$work/msiexec.out" 2>&1 || status=$?
    # 1603 (fatal error) arrives as its low byte.
    [ "$status" -eq "$expected" ] ||
        fail "msiexec $* ended with $status, expected $expected: $(cat "$work/msiexec.out")"
}
product_code() { msiinfo export "$1" Property | sed -n 's/^ProductCode\t//p' | tr -d '\r'; }
product_key() { # msi: the uninstall entry Wine keeps for it
    printf 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s' "$(product_code "$1")"
}
check_entry() { # msi, version: name, version, publisher in "Apps & features", and the icon it shows
    local entry
    entry="$(wine reg query "$(product_key "$1")" 2>&1 | tr -d '\r')" || fail "no uninstall entry: $entry"
    for value in "DisplayName +REG_SZ +ZELBO_UDP" "DisplayVersion +REG_SZ +$2" "Publisher +REG_SZ +ZELBO"; do
        grep -q -E "^ +$value\$" <<<"$entry" || fail "uninstall entry lacks $value: $entry"
    done
    cmp -s "$build/app/zelbo_udp.ico" \
        "$(find "$WINEPREFIX/drive_c" -path "*/$(product_code "$1")/zelbo_udp.ico" -print -quit)" ||
        fail "the product icon was not published"
}
installed_files_match() { # [folder]: every file of the zip folder installed unchanged, and no other beside the
    # program's own (its status file among them) and the installer's own
    diff <(cd "$build/zelbo_udp-win64" && find . -type f -exec sha256sum {} + | sort -k2) \
        <(cd "${1:-$app}" && find . -type f ! -path ./zelbo_udp.ini ! -path ./Back.txt ! -path './History*.csv' \
            ! -path ./status.json \
            ! -path ./zelbo_udp.defaults.ini ! -path ./zelbo_udp.machine ! -path ./zelbo_udp.keepalive.xml \
            -exec sha256sum {} + | sort -k2) \
        >"$work/diff.out" 2>&1
}
defaults_match() { # folder, NAME=value...: the defaults file holds these lines and no other, in the installer's order,
    # in UTF-16LE after its byte order mark
    local folder=$1
    shift
    { printf '\xff\xfe' && printf '%s\r\n' '[ZELBO_UDP]' "$@" | iconv -f UTF-8 -t UTF-16LE; } |
        cmp -s - "$folder/zelbo_udp.defaults.ini"
}

# Word count bit 3 tells Windows that no elevation is needed, so it shows no UAC prompt.
words="$(msiinfo suminfo "$first" | sed -n 's/^Source: \([0-9]*\).*/\1/p')"
[ $((words & 8)) -ne 0 ] || fail "the package asks for elevation (word count ${words:-missing})"

start=$(date +%s)
# The package reads the Windows build where Windows keeps it, and Wine keeps there the build of the version it plays
# (7601 by default): the boundary is set there instead, 17762 refused and 17763 kept for the rest of the test.
echo "wine-msi-test: refused on Windows build 17762"
windows_build="$(wine reg query "$current_version" /v CurrentBuildNumber | sed -n 's/.*REG_SZ *//p' | tr -d '\r')"
[ -n "$windows_build" ] || fail "Wine keeps no CurrentBuildNumber"
set_build() { wine reg add "$current_version" /v CurrentBuildNumber /d "$1" /f >/dev/null 2>&1; }
set_build 17762
msiexec 67 /i "$(winpath "$first")"
[ ! -e "$app" ] || fail "the refused install created $app"
set_build 17763

echo "wine-msi-test: the per-user package refused for all users (ALLUSERS=1)"
# Wine keeps the user's Start menu for an install for all users; Windows' own folder for that is set in its place.
shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
wine reg add "$shell_folders" /v Programs /t REG_EXPAND_SZ /d '%ProgramData%\Microsoft\Windows\Start Menu\Programs' \
    /f >/dev/null 2>&1
msiexec 67 /i "$(winpath "$first")" ALLUSERS=1
wine reg delete "$shell_folders" /v Programs /f >/dev/null 2>&1
[ ! -e "$app" ] && [ ! -e "$machine_app" ] || fail "the refused install created the program folder"
wine reg query "$(product_key "$first")" >/dev/null 2>&1 && fail "the refused install registered the package"

echo "wine-msi-test: installing $(basename "$first")"
msiexec 0 /i "$(winpath "$first")"
installed_files_match || fail "installed files differ from the zip folder: $(cat "$work/diff.out")"
[ -f "$menu/ZELBO_UDP.lnk" ] || fail "no Start menu shortcut in $menu"
[ ! -e "$startup" ] || fail "a Startup shortcut without STARTATLOGON=1"
[ ! -e "$app/zelbo_udp.defaults.ini" ] || fail "a defaults file without presets"
[ ! -e "$app/zelbo_udp.machine" ] || fail "the per-user package installed the per-machine marker"
[ ! -e "$user_task" ] || fail "a keep-alive task without STARTATLOGON=1 or KEEPALIVE=1"
check_entry "$first" "$version"

# The first start, from the Start menu, says in a "File Read" box that it writes the default settings, and writes
# them once the box is answered (no automatic start, so no traffic). Xvfb has no window manager: focus the box first.
[ ! -e "$app/zelbo_udp.ini" ] || fail "a settings file before the first start"
wine start /unix "$menu/ZELBO_UDP.lnk" >/dev/null 2>&1
for _ in $(seq 300); do
    [ -s "$app/zelbo_udp.ini" ] && break
    xdotool search --name '^File Read$' windowfocus --sync key Return >/dev/null 2>&1 || true
    sleep 0.1
done
[ -s "$app/zelbo_udp.ini" ] || fail "the installed exe did not create its settings file beside itself"
wineserver -k
RECORDS=300 bash "$here/wine-transfer-test.sh" --in-place "$save" "$app" "$sim"
[ -f "$app/Back.txt" ] || fail "no Back.txt beside the installed exe after a transfer"
keep() { (cd "$app" && sha256sum zelbo_udp.ini Back.txt History.csv) && (cd "$save" && sha256sum -- *); }
keep >"$work/kept"

echo "wine-msi-test: upgrading to $higher with STARTATLOGON=1 and presets"
# A changed program file must be replaced, not merely left in place.
printf 'x' >>"$app/zelbo_udp.exe"
# Japanese values, which only a Unicode defaults file keeps where the system code page is not 932 (as in this prefix).
presets=(REMOTEHOST=127.0.0.2 REMOTEPORT=6101 LOCALPORT=6100 'SAVEFOLDER=C:\ZELBO データ' AUTOSTART=1 MAILSUB=棚卸データ)
msiexec 0 /i "$(winpath "$upgrade")" STARTATLOGON=1 "${presets[@]}"
installed_files_match || fail "the upgrade left other files than the zip folder's: $(cat "$work/diff.out")"
defaults_match "$app" "${presets[@]}" || fail "the defaults file holds: $(xxd "$app/zelbo_udp.defaults.ini")"
keep | cmp -s - "$work/kept" || fail "the upgrade changed the settings file, Back.txt or the save folder"
[ -f "$startup" ] || fail "no Startup shortcut with STARTATLOGON=1"
task_registered "$user_task" ||
    fail "no keep-alive task for the user with STARTATLOGON=1: $(ls "$tasks")"
check_entry "$upgrade" "$higher"
wine reg query "$(product_key "$first")" >/dev/null 2>&1 && fail "the old version's uninstall entry stayed"

echo "wine-msi-test: installing $version and another $higher over $higher (both refused)"
msiexec 67 /i "$(winpath "$first")"
msiexec 67 /i "$(winpath "$again")"
installed_files_match || fail "a refused install changed files: $(cat "$work/diff.out")"
wine reg query "$(product_key "$again")" >/dev/null 2>&1 && fail "the refused package registered itself"

echo "wine-msi-test: upgrading to $highest, which keeps the start at logon"
msiexec 0 /i "$(winpath "$last")"
installed_files_match || fail "the second upgrade left other files than the zip folder's: $(cat "$work/diff.out")"
keep | cmp -s - "$work/kept" || fail "the second upgrade changed the settings file, Back.txt or the save folder"
[ -f "$startup" ] || fail "the second upgrade dropped the Startup shortcut"
[ -f "$user_task" ] || fail "the second upgrade dropped the keep-alive task"
defaults_match "$app" "${presets[@]}" || fail "the second upgrade, given no presets, changed the defaults file"
check_entry "$last" "$highest"

echo "wine-msi-test: uninstalling"
msiexec 0 /x "$(winpath "$last")"
left="$(cd "$app" && find . -mindepth 1 | sort | tr '\n' ' ')"
[ "$left" = "./Back.txt ./History.csv ./status.json ./zelbo_udp.ini " ] ||
    fail "after the uninstall the program folder holds: $left"
[ -e "$menu/ZELBO_UDP.lnk" ] || [ -e "$startup" ] && fail "the uninstall left a shortcut"
keep | cmp -s - "$work/kept" || fail "the uninstall changed the settings file, Back.txt or the save folder"
wine reg query 'HKCU\Software\ZELBO' >/dev/null 2>&1 && fail "the uninstall left HKCU\\Software\\ZELBO"
[ ! -e "$user_task" ] || fail "the uninstall left the keep-alive task"

# A PC without the per-user install: its leftover settings would otherwise be the first start's, over the presets.
rm -rf "$app"

# For all users: installed with presets that point at terminal_sim, the program's first start from the Start menu
# asks nothing and polls at once.
machine="$build/zelbo_udp-$version-win64-machine.msi"
machine_upgrade="$(bash "$here/../msi/windows-msi.sh" --machine "$build" "$higher" "$work")"
machine_save="$work/machine-save"
# Before terminal_sim starts its wait: the task names the exe in the default folder, so the keep-alive refuses
# another one.
msiexec 67 /i "$(winpath "$machine")" STARTATLOGON=1 'INSTALLFOLDER=C:\ZELBO elsewhere\'
[ ! -e "$WINEPREFIX/drive_c/ZELBO elsewhere" ] && [ ! -e "$machine_task" ] ||
    fail "the keep-alive with another INSTALLFOLDER was not refused"
mkdir "$machine_save"
/usr/bin/python3 "$here/make_records.py" "$work/records.txt" 100
# shellcheck source=../../../scripts/terminal-sim.sh
. "$here/../../../scripts/terminal-sim.sh"
start_terminal_sim "$sim" "$work/sim.out" --file "$work/records.txt" --name MACHINE --cycles 1 --exit-after-idle 60 \
    --quiet
[ -n "$sim_port" ] || fail "terminal_sim did not start: $(cat "$work/sim.out")"
local_port="$(/usr/bin/python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
echo "wine-msi-test: per machine: installing $(basename "$machine") with presets and STARTATLOGON=1"
presets=(REMOTEHOST=127.0.0.1 "REMOTEPORT=$sim_port" "LOCALPORT=$local_port" "SAVEFOLDER=$(winpath "$machine_save")"
    AUTOSTART=1)
msiexec 0 /i "$(winpath "$machine")" "${presets[@]}" STARTATLOGON=1
installed_files_match "$machine_app" || fail "installed files differ from the zip folder: $(cat "$work/diff.out")"
defaults_match "$machine_app" "${presets[@]}" ||
    fail "the defaults file holds: $(xxd "$machine_app/zelbo_udp.defaults.ini")"
# Windows gives an install for all users the all users' menu folders; Wine 8 gives it the installing user's.
machine_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
[ -f "$machine_menu/ZELBO_UDP.lnk" ] || machine_menu="$menu"
[ -f "$machine_menu/ZELBO_UDP.lnk" ] && [ -f "$machine_menu/StartUp/ZELBO_UDP.lnk" ] ||
    fail "no Start menu and Startup shortcut for all users"
check_entry "$machine" "$version"
wine reg query 'HKCU\Software\ZELBO' >/dev/null 2>&1 && fail "the per-machine package wrote to HKCU"
[ -f "$machine_app/zelbo_udp.machine" ] && [ ! -s "$machine_app/zelbo_udp.machine" ] ||
    fail "no empty zelbo_udp.machine beside the exe"
task_registered "$machine_task" ||
    fail "no keep-alive task for every user with STARTATLOGON=1: $(ls "$tasks")"
event_source='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\ZELBO_UDP'
source_values="$(wine reg query "$event_source" 2>&1 | tr -d '\r')" || fail "no event source: $source_values"
grep -q -E '^ +EventMessageFile +REG_EXPAND_SZ +C:\\Program Files\\ZELBO_UDP\\zelbo_udp\.exe$' <<<"$source_values" &&
    grep -q -E '^ +TypesSupported +REG_DWORD +0x7$' <<<"$source_values" ||
    fail "the event source holds: $source_values"

wine start /unix "$machine_menu/ZELBO_UDP.lnk" >/dev/null 2>&1
timeout 120 tail --pid="$sim_pid" -f /dev/null || fail "no transfer within 120 s: $(tail -n 3 "$work/sim.out")"
sim_pid=""
grep -q '^RESULT ACK records=100 ' "$work/sim.out" || fail "terminal_sim: $(grep RESULT "$work/sim.out")"
cmp -s "$work/records.txt" "$machine_save/MACHINE.txt" || fail "the upload file differs from the terminal's records"
wineserver -k
[ -s "$machine_data/zelbo_udp.ini" ] && [ ! -e "$machine_app/zelbo_udp.ini" ] ||
    fail "the per-machine copy did not keep its settings in the user's folder"
machine_keep() {
    (cd "$machine_data" && sha256sum zelbo_udp.ini Back.txt History.csv) && sha256sum "$machine_save"/*
}
machine_keep >"$work/machine-kept"

echo "wine-msi-test: per machine: upgrading to $higher"
msiexec 0 /i "$(winpath "$machine_upgrade")"
installed_files_match "$machine_app" ||
    fail "the upgrade left other files than the zip folder's: $(cat "$work/diff.out")"
machine_keep | cmp -s - "$work/machine-kept" || fail "the upgrade changed the settings file, Back.txt or the save folder"
defaults_match "$machine_app" "${presets[@]}" || fail "the upgrade, given no presets, changed the defaults file"
[ -f "$machine_menu/StartUp/ZELBO_UDP.lnk" ] || fail "the upgrade dropped the Startup shortcut"
[ -f "$machine_task" ] || fail "the upgrade dropped the keep-alive task"
check_entry "$machine_upgrade" "$higher"
wine reg query "$(product_key "$machine")" >/dev/null 2>&1 && fail "the old version's uninstall entry stayed"

echo "wine-msi-test: per machine: uninstalling"
msiexec 0 /x "$(winpath "$machine_upgrade")"
# Wine lets the user write under Program Files, yet the program kept nothing there.
[ ! -e "$machine_app" ] || fail "after the uninstall Program Files holds: $(cd "$machine_app" && find . -mindepth 1)"
[ -e "$machine_menu/ZELBO_UDP.lnk" ] || [ -e "$machine_menu/StartUp/ZELBO_UDP.lnk" ] &&
    fail "the uninstall left a shortcut"
wine reg query 'HKLM\Software\ZELBO' >/dev/null 2>&1 && fail "the uninstall left HKLM\\Software\\ZELBO"
wine reg query "$event_source" >/dev/null 2>&1 && fail "the uninstall left the event source"
[ ! -e "$machine_task" ] || fail "the uninstall left the keep-alive task"
wine reg query "$(product_key "$machine_upgrade")" >/dev/null 2>&1 && fail "the uninstall left its uninstall entry"
echo "wine-msi-test: install, start, transfer, upgrade, refusals and uninstall, per user and per machine, in" \
    "$(($(date +%s) - start)) s"
