# Writes the WiX fragment for the zip folder's files to stdout: one component per file but the exe, which the main
# source names for its shortcuts, each with a registry value named after the file as its key path (in HKCU or HKLM,
# by the package's scope); every folder is removed at uninstall once empty. An empty folder is left out.
#   python3 msi_files.py STAGE_DIR >files.wxs
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
        print(f'{indent}  <RegistryValue Root="$(var.RegistryRoot)"'
              f' Key="Software\\$(var.Manufacturer)\\$(var.ProductName)"'
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
print('<?include scope.wxi ?>')
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
