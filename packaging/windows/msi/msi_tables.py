# Everything the package wixl wrote still lacks, as the statements of one msibuild pass, one a line: what wixl 0.101
# drops or cannot say (the refusal texts, the Startup shortcut's condition, a folder removal, the secure properties),
# the presets' rows (msi_presets.py) and 8.3 short names, which wixl never writes. The rows each statement changes
# are read from the package first: an UPDATE that matched no row would pass msibuild unnoticed, so a missing one
# stops the build here.
#   python3 msi_tables.py MSI >tables.sql
import subprocess, sys

# Imported from the source tree, which keeps no bytecode.
sys.dont_write_bytecode = True
import msi_presets

package = sys.argv[1]

# What Windows shows when a launch condition refuses, by the Message zelbo_udp.wxs gives the condition. The package's
# code page is 932 when they are stored (windows-msi.sh), so they are stored as Windows reads them.
REFUSALS = {
    "SAMEORNEWERVERSIONFOUND": "同じか新しいバージョンがすでにインストールされています。"
                               "古いバージョンに戻すときは、先にアンインストールしてください。",
    "CURRENTBUILDNUMBER": "このプログラムには Windows 10 バージョン 1809 (ビルド 17763) 以降が必要です。",
    "PERUSER": "このパッケージはユーザーごとのインストール用です。"
               "全ユーザー向けには zelbo_udp-[ProductVersion]-win64-machine.msi を使ってください。",
}


def rows(table):
    text = subprocess.run(["msiinfo", "export", package, table], check=True, capture_output=True,
                          text=True).stdout
    return [line.split("\t") for line in text.replace("\r", "").split("\n")[3:] if line]


def sql_text(text):
    # MSI SQL has no way to write a quote inside a string.
    if "'" in text:
        sys.exit(f"windows-msi: a quote in {text}")
    return f"'{text}'"


def refusals():
    for condition, message in rows("LaunchCondition"):
        if message not in REFUSALS:
            sys.exit(f"windows-msi: no refusal text for the launch condition {condition} (Message {message})")
        print(f"UPDATE `LaunchCondition` SET `Description` = {sql_text(REFUSALS[message])} "
              f"WHERE `Condition` = {sql_text(condition)}")


def conditions_and_folders():
    components = {row[0] for row in rows("Component")}
    if "StartupShortcut" not in components:
        sys.exit("windows-msi: zelbo_udp.wxs has no component StartupShortcut to install with STARTATLOGON=1")
    print("UPDATE `Component` SET `Condition` = 'STARTATLOGON = \"1\"' WHERE `Component` = 'StartupShortcut'")
    # Per user, Programs under the local application data is created when missing, so it is removed when left empty;
    # wixl's RemoveFolder names only its own component's folder.
    if "UserProgramsFolder" in {row[0] for row in rows("Directory")}:
        print("INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `DirProperty`, `InstallMode`) "
              "VALUES ('RemoveUserProgramsFolder', 'MainExecutable', 'UserProgramsFolder', 2)")


# What Windows shows when KEEPALIVE=1 meets another INSTALLFOLDER: the task names the exe in the default folder.
KEEPALIVE_FOLDER_REFUSAL = ("KEEPALIVE=1 は既定のインストール先でのみ使えます。"
                            "INSTALLFOLDER を指定するときは KEEPALIVE=0 を付けてください。")


def keep_alive():
    # KEEPALIVE left open follows STARTATLOGON, after AppSearch (50) and the command line's own value (51).
    components = {row[0] for row in rows("Component")}
    if "KeepAliveTask" not in components:
        sys.exit("windows-msi: zelbo_udp.wxs has no component KeepAliveTask to install with KEEPALIVE=1")
    files = {row[1]: row[0] for row in rows("File")}
    machine = {row[0]: row[1] for row in rows("Property")}.get("ALLUSERS") == "1"
    # KEEPALIVECHOICE, what was given now or before, is what the registry keeps for the next upgrade.
    for action, name, value, condition, sequence in (
            ("KeepAliveChoice", "KEEPALIVECHOICE", "[KEEPALIVE]", "", 53),
            ("KeepAliveOn", "KEEPALIVE", "1", 'NOT KEEPALIVE AND STARTATLOGON = "1"', 54),
            ("KeepAliveOff", "KEEPALIVE", "0", "NOT KEEPALIVE", 55)):
        print("INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
              f"VALUES ('{action}', 51, '{name}', '{value}')")
        for table in ("InstallUISequence", "InstallExecuteSequence"):
            print(f"INSERT INTO `{table}` (`Action`, `Condition`, `Sequence`) "
                  f"VALUES ('{action}', {sql_text(condition)}, {sequence})")
    print("UPDATE `Component` SET `Condition` = 'KEEPALIVE = \"1\"' WHERE `Component` = 'KeepAliveTask'")
    # The task names the exe in the default folder (keepalive_task.py), so another folder refuses the task, once
    # the folders are resolved (CostFinalize, 1000). Type 19: the install ends with this text.
    default = "[ProgramFiles64Folder]" if machine else "[LocalAppDataFolder]Programs\\"
    print("INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
          f"VALUES ('NoteKeepAliveFolder', 51, 'KEEPALIVEFOLDER', '{default}ZELBO_UDP\\')")
    print("INSERT INTO `CustomAction` (`Action`, `Type`, `Target`) "
          f"VALUES ('RefuseKeepAliveFolder', 19, {sql_text(KEEPALIVE_FOLDER_REFUSAL)})")
    for table in ("InstallUISequence", "InstallExecuteSequence"):
        print(f"INSERT INTO `{table}` (`Action`, `Sequence`) VALUES ('NoteKeepAliveFolder', 1001)")
        print(f"INSERT INTO `{table}` (`Action`, `Condition`, `Sequence`) VALUES ('RefuseKeepAliveFolder', "
              "'KEEPALIVE = \"1\" AND NOT REMOVE AND INSTALLFOLDER ~<> KEEPALIVEFOLDER', 1002)")
    # schtasks.exe registers the task from the installed file and deletes it; deferred (1024), per machine as the
    # system (2048, no impersonation), per user as the user, whose name tells the task apart from other users'.
    # Type 34: an exe by its command line, run in a folder. The delete ignores its status (64): a task someone
    # already removed must not stop an uninstall.
    name = "ZELBO_UDP" if machine else "ZELBO_UDP-[LogonUser]"
    mode = 1024 + (2048 if machine else 0)
    schtasks = '"[System64Folder]schtasks.exe"'
    for action, kind, command, state, sequence in (
            ("RegisterKeepAliveTask", 34 + mode,
             f'{schtasks} /create /tn "{name}" /xml "[#{files["KeepAliveTask"]}]" /f', "$KeepAliveTask = 3", 6500),
            ("DeleteKeepAliveTask", 34 + mode + 64, f'{schtasks} /delete /tn "{name}" /f', "$KeepAliveTask = 2",
             3450)):
        print("INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
              f"VALUES ('{action}', {kind}, 'INSTALLFOLDER', {sql_text(command)})")
        print("INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) "
              f"VALUES ('{action}', {sql_text(state)}, {sequence})")


def expandable_values():
    # wixl writes Type="expandable" as a plain string; Windows Installer makes a REG_EXPAND_SZ of a value that starts
    # with #%. The event source's message file is one, as Event Viewer expects.
    for row in rows("Registry"):
        if row[3] == "EventMessageFile" and not row[4].startswith("#%"):
            print(f"UPDATE `Registry` SET `Value` = {sql_text('#%' + row[4])} WHERE `Registry` = {sql_text(row[0])}")


def secure_properties():
    # The upgrade properties wixl lists, the Startup choice and every preset must reach the installing side as typed,
    # also where that runs elevated or managed.
    listed = {row[0]: row[1] for row in rows("Property")}.get("SecureCustomProperties")
    if not listed:
        sys.exit("windows-msi: wixl listed no SecureCustomProperties")
    secure = ";".join([listed, "STARTATLOGON", "KEEPALIVE"] + msi_presets.PRESETS)
    print(f"UPDATE `Property` SET `Value` = {sql_text(secure)} WHERE `Property` = 'SecureCustomProperties'")


SHORT_NAME_CHARACTERS = set("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!#$%&()-@^_`{}~")


def is_short(name):
    base, _, ext = name.partition(".")
    return 1 <= len(base) <= 8 and len(ext) <= 3 and all(c in SHORT_NAME_CHARACTERS for c in (base + ext).upper())


def shorten(name, used):
    stem, _, ext = name.rpartition(".") if "." in name else (name, "", "")
    stem = "".join(c for c in stem.upper() if c in SHORT_NAME_CHARACTERS)
    ext = "".join(c for c in ext.upper() if c in SHORT_NAME_CHARACTERS)[:3]
    for n in range(1, 10000):
        short = f"{stem[:8 - len(str(n)) - 1]}~{n}" + (f".{ext}" if ext else "")
        if short not in used:
            return short
    sys.exit(f"windows-msi: no short name for {name}")


def short_names():
    # Each file, folder and shortcut name that is no 8.3 name gets one, unique in its folder, as SHORT|long: an
    # install where the volume wants short names uses them, and package validation requires them.
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
    # msi_presets.py names the defaults file as its IniFile rows do.
    fixed = {("File", "DefaultsFile")}
    for table, key, column, folder, name in names:
        if "|" in name or is_short(name) or (table, key) in fixed:
            continue
        short = shorten(name, used[folder])
        used[folder].add(short)
        print(f"UPDATE `{table}` SET `{column}` = {sql_text(short + '|' + name)} WHERE `{table}` = {sql_text(key)}")


refusals()
conditions_and_folders()
keep_alive()
expandable_values()
msi_presets.sql(package)
secure_properties()
short_names()
