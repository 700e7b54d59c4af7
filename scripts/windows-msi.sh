#!/usr/bin/env bash
# Usage: scripts/windows-msi.sh BUILD_WIN_DIR [VERSION [OUT_DIR]]
# Builds the per-user installer zelbo_udp-VERSION-win64.msi from the zip folder BUILD_WIN_DIR/zelbo_udp-win64 with
# wixl and msibuild (msitools). VERSION defaults to the CMake project version; the test passes a higher one to get
# an upgrade without rebuilding. Prints the path of the package.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:?usage: $0 BUILD_WIN_DIR [VERSION [OUT_DIR]]}" && pwd)"
version="${2:-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")}"
out="$(cd "${3:-$build}" && pwd)"
stage=zelbo_udp-win64

die() { echo "windows-msi: $*" >&2; exit 1; }
[ -d "$build/$stage" ] || die "$build/$stage is missing: run scripts/windows.sh first"
[ -f "$build/packaging/product.wxi" ] || die "$build/packaging/product.wxi is missing: configure $build again"
# Windows Installer orders versions by their first three fields, each within its own range.
if ! [[ "$version" =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] || [ "${BASH_REMATCH[1]}" -gt 255 ] ||
    [ "${BASH_REMATCH[2]}" -gt 255 ] || [ "${BASH_REMATCH[3]}" -gt 65535 ]; then
    die "version '$version' is not major.minor.patch within 255.255.65535, which an installer can order"
fi

work="$(mktemp -d /tmp/zelbo-msi.XXXXXX)"
trap 'rm -rf "$work"' EXIT

# One component per file of the zip folder but the exe, which the main source names for its shortcuts, each with an
# HKCU value named after the file as its key path. Every folder is removed at uninstall once empty.
/usr/bin/python3 - "$build/$stage" >"$work/files.wxs" <<'PY'
import os, re, sys
from xml.sax.saxutils import quoteattr

root = sys.argv[1]
ids, refs = set(), []

def ident(prefix, path):
    name = prefix + re.sub(r"[^A-Za-z0-9_.]", "_", path)
    if name in ids or len(name) > 72:
        sys.exit(f"windows-msi: no unique installer id for {path}")
    ids.add(name)
    return name

def folder(rel, indent):
    entries = sorted(os.listdir(os.path.join(root, rel)))
    files = [e for e in entries if os.path.isfile(os.path.join(root, rel, e)) and (rel or e != "zelbo_udp.exe")]
    for i, name in enumerate(files):
        path = f"{rel}/{name}" if rel else name
        cid = ident("c_", path)
        refs.append(cid)
        print(f'{indent}<Component Id="{cid}" Guid="*" Win64="yes">')
        print(f'{indent}  <File Id="{ident("f_", path)}" Source={quoteattr("$(var.StageDir)/" + path)} KeyPath="no"/>')
        print(f'{indent}  <RegistryValue Root="HKCU" Key="Software\\$(var.Manufacturer)\\$(var.ProductName)"'
              f' Name={quoteattr(path.replace("/", chr(92)))} Type="integer" Value="1" KeyPath="yes"/>')
        if rel and i == 0:
            print(f'{indent}  <RemoveFolder Id="{ident("r_", path)}" On="uninstall"/>')
        print(f"{indent}</Component>")
    for name in entries:
        path = f"{rel}/{name}" if rel else name
        if os.path.isdir(os.path.join(root, path)) and os.listdir(os.path.join(root, path)):
            print(f'{indent}<Directory Id="{ident("d_", path)}" Name={quoteattr(name)}>')
            folder(path, indent + "  ")
            print(f"{indent}</Directory>")

print('<?xml version="1.0" encoding="utf-8"?>')
print('<?include product.wxi ?>')
print('<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">')
print('  <Fragment>')
print('    <DirectoryRef Id="INSTALLFOLDER">')
folder("", "      ")
print('    </DirectoryRef>')
print('    <ComponentGroup Id="StagedFiles">')
for cid in refs:
    print(f'      <ComponentRef Id="{cid}"/>')
print('    </ComponentGroup>')
print('  </Fragment>')
print('</Wix>')
PY

msi="$out/zelbo_udp-$version-win64.msi"
rm -f "$msi"
# wixl takes source paths relative to where it runs: the build folder.
(cd "$build" && wixl -a x64 -I "$build/packaging" -D ProductVersion="$version" -D StageDir="$stage" \
    -o "$work/package.msi" "$here/packaging/windows/zelbo_udp.wxs" "$work/files.wxs") ||
    die "wixl failed"
printf '\r\n\r\n932\t_ForceCodepage\r\n' >"$work/_ForceCodepage.idt"
msibuild "$work/package.msi" -i "$work/_ForceCodepage.idt"
while IFS= read -r statement; do
    case "$statement" in '' | --*) continue ;; esac
    msibuild "$work/package.msi" -q "$statement" || die "msibuild failed on: $statement"
done <"$here/packaging/windows/tables.sql"
# An UPDATE that matches no row succeeds too: check that they took.
if [ "$(msiinfo export "$work/package.msi" LaunchCondition | grep -c '。')" -ne 2 ] ||
    ! grep -q '^StartupShortcut.*STARTATLOGON' <<<"$(msiinfo export "$work/package.msi" Component)" ||
    ! grep -q $'^SecureCustomProperties\t.*STARTATLOGON' <<<"$(msiinfo export "$work/package.msi" Property)"; then
    die "tables.sql no longer matches packaging/windows/zelbo_udp.wxs"
fi

# wixl writes the summary's template as x64;1033 whatever the product's language: give it the package's own.
summary() { msiinfo suminfo "$work/package.msi" | sed -n "s/^$1: //p"; }
language="$(msiinfo export "$work/package.msi" Property | sed -n 's/^ProductLanguage\t//p' | tr -d '\r')"
msibuild "$work/package.msi" -s "$(summary Subject)" "$(summary Author)" "x64;$language" \
    "$(summary 'Revision number (UUID)')"

# wixl has no short names; a file, folder or shortcut name that is no 8.3 name gets one, unique in its folder, as
# SHORT|long (an install where the volume wants short names uses them; validation requires them).
/usr/bin/python3 - "$work/package.msi" >"$work/shortnames.sql" <<'PY'
import subprocess, sys

package = sys.argv[1]
legal = set("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!#$%&()-@^_`{}~")

def rows(table):
    text = subprocess.run(["msiinfo", "export", package, table], check=True, capture_output=True,
                          text=True).stdout
    return [line.split("\t") for line in text.replace("\r", "").split("\n")[3:] if line]

def is_short(name):
    base, _, ext = name.partition(".")
    return 1 <= len(base) <= 8 and len(ext) <= 3 and all(c in legal for c in (base + ext).upper())

def shorten(name, used):
    stem, _, ext = name.rpartition(".") if "." in name else (name, "", "")
    stem = "".join(c for c in stem.upper() if c in legal)
    ext = "".join(c for c in ext.upper() if c in legal)[:3]
    for n in range(1, 10000):
        short = f"{stem[:8 - len(str(n)) - 1]}~{n}" + (f".{ext}" if ext else "")
        if short not in used:
            return short
    sys.exit(f"windows-msi: no short name for {name}")

directories = {row[0]: row for row in rows("Directory")}
component_dirs = {row[0]: row[2] for row in rows("Component")}
# (table, key, column, folder the name lives in, name); the root's SourceDir is no name on disk.
names = [("Directory", d, "DefaultDir", parent, default) for d, parent, default in directories.values()
         if parent and default != "."]
names += [("File", row[0], "FileName", component_dirs[row[1]], row[2]) for row in rows("File")]
names += [("Shortcut", row[0], "Name", row[1], row[2]) for row in rows("Shortcut")]
used = {}
for _, _, _, folder, name in names:
    used.setdefault(folder, set()).add(name.split("|")[0].upper())
for table, key, column, folder, name in names:
    if "|" in name or is_short(name):
        continue
    if "'" in name + key:
        sys.exit(f"windows-msi: a quote in {name}")
    short = shorten(name, used[folder])
    used[folder].add(short)
    print(f"UPDATE `{table}` SET `{column}` = '{short}|{name}' WHERE `{table}` = '{key}'")
PY
while IFS= read -r statement; do
    msibuild "$work/package.msi" -q "$statement" || die "msibuild failed on: $statement"
done <"$work/shortnames.sql"
mv "$work/package.msi" "$msi"
echo "$msi"
