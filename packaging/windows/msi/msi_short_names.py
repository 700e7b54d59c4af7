# wixl writes no short names: prints one msibuild UPDATE statement a line that gives each file, folder and shortcut
# name that is no 8.3 name one, unique in its folder, as SHORT|long.
#   python3 msi_short_names.py MSI >shortnames.sql
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
