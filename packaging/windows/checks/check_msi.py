# Reads an installer's tables back with msiinfo and checks what package validation (ICE) and Windows act on; the
# list is in check-msi.sh, which calls this.
#   python3 check_msi.py MSI
import os, re, subprocess, sys, tempfile

msi = sys.argv[1]
problems = []

def run(command, *args):
    return subprocess.run(["msiinfo", command, msi, *args], check=True, capture_output=True, text=True).stdout

def rows(table):
    return [line.split("\t") for line in run("export", table).replace("\r", "").split("\n")[3:] if line]

properties = {row[0]: row[1] for row in rows("Property")}
summary = dict(line.split(": ", 1) for line in run("suminfo").splitlines() if ": " in line)

language = properties.get("ProductLanguage")
if language != "1041":
    problems.append(f"ProductLanguage is {language}, not 1041")
if summary.get("Template") != f"x64;{language}":
    problems.append(f"summary template {summary.get('Template')} does not name x64 and the product language")

# The user's profile: its standard folders and everything below them. Installed for all users, the menu folders are
# the all users' ones, and a value in HKCU would land in the installing account's hive (the system account's, under
# a deployment tool) and outlive an uninstall by another administrator.
profile_roots = {"LocalAppDataFolder", "AppDataFolder", "ProgramMenuFolder", "StartMenuFolder", "StartupFolder",
                 "DesktopFolder", "PersonalFolder"}
registry = {row[0]: row for row in rows("Registry")}
if properties.get("ALLUSERS") == "1":
    profile_roots = set()
    problems += [f"per-machine package writes {row[2]}\\{row[3]} to HKCU" for row in registry.values() if row[1] == "1"]
directories = {row[0]: row for row in rows("Directory")}

def in_profile(directory):
    while directory:
        if directory in profile_roots:
            return True
        directory = directories[directory][1]
    return False

for component, _, directory, attributes, _, key in rows("Component"):
    if not in_profile(directory):
        continue
    if not int(attributes) & 4 or key not in registry or registry[key][1] != "1":
        problems.append(f"component {component} in the user's profile has no HKCU value as its key path (ICE38)")

removed = {row[3] for row in rows("RemoveFile") if not row[2]}
for directory, parent, default in directories.values():
    if default != "." and parent and in_profile(directory) and directory not in removed:
        problems.append(f"folder {directory} in the user's profile is not removed at uninstall (ICE64)")

legal = set("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!#$%&'()-@^_`{}~")

def valid_short(name):
    base, _, ext = name.partition(".")
    return 1 <= len(base) <= 8 and len(ext) <= 3 and all(c in legal for c in (base + ext).upper())

component_dirs = {row[0]: row[2] for row in rows("Component")}
names = [(f"folder {d}", parent, default) for d, parent, default in directories.values() if parent and default != "."]
names += [(f"file {row[0]}", component_dirs[row[1]], row[2]) for row in rows("File")]
names += [(f"shortcut {row[0]}", row[1], row[2]) for row in rows("Shortcut")]
shorts = {}
for what, folder, name in names:
    short = name.split("|")[0]
    if not valid_short(short):
        problems.append(f"{what}: '{name}' has no valid short name (ICE03)")
    key = (folder, short.upper(), what.split()[0] == "shortcut")
    if key in shorts:
        problems.append(f"{what}: short name {short} also names {shorts[key]}")
    shorts[key] = what

# The licences of the DLLs go where the DLLs go.
notices = [row[1] for row in rows("File") if row[2].split("|")[-1] == "THIRD-PARTY-NOTICES.txt"]
if [component_dirs[c] for c in notices] != ["INSTALLFOLDER"]:
    problems.append("THIRD-PARTY-NOTICES.txt is not installed once, beside the program")

locators = {row[0]: row for row in rows("RegLocator")}
searches = {row[0]: row[1] for row in rows("AppSearch")}
build = searches.get("CURRENTBUILDNUMBER")
locator = locators.get(build)
if not locator or locator[1:4] != ["2", r"SOFTWARE\Microsoft\Windows NT\CurrentVersion", "CurrentBuildNumber"] \
        or not int(locator[4]) & 16:
    problems.append("CURRENTBUILDNUMBER is not read from HKLM's 64-bit CurrentBuildNumber")
conditions = {row[0]: row[1] for row in rows("LaunchCondition")}
text = conditions.get("Installed OR CURRENTBUILDNUMBER >= 17763", "")
if not re.search(r"[\u3040-\u30ff]", text) or "17763" not in text:
    problems.append(f"no launch condition refusing builds below 17763 with a Japanese text (found: {conditions})")
# wixl keeps a condition's Message as its text; msi_tables.py gives every one the text Windows shows.
problems += [f"launch condition {condition} refuses with '{text}', no Japanese text"
             for condition, text in conditions.items() if not re.search(r"[\u3040-\u30ff]", text)]
startup = [row[4] for row in rows("Component") if row[0] == "StartupShortcut"]
if startup != ['STARTATLOGON = "1"']:
    problems.append(f"the Startup shortcut is not installed only with STARTATLOGON=1 (condition: {startup})")

# Every preset (STATUSFOLDER too) is written into the defaults file, which is installed first as an empty UTF-16LE
# file whenever one is given, so the values go in as Unicode.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "msi"))
import msi_presets
ini_keys = [row[4] for row in rows("IniFile")]
if ini_keys != msi_presets.PRESETS:
    problems.append(f"the defaults file is written from {ini_keys}, not every preset {msi_presets.PRESETS}")
defaults_file = [row for row in rows("File") if row[0] == "DefaultsFile"]
defaults_component = [row for row in rows("Component") if defaults_file and row[0] == defaults_file[0][1]]
if not defaults_file or defaults_file[0][2] != msi_presets.DEFAULTS_FILE or \
        set(defaults_component[0][4].split(" OR ")) != set(msi_presets.PRESETS):
    problems.append("no empty defaults file named as the IniFile rows name it, installed whenever a preset is given")
else:
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["msiextract", "-C", folder, msi], check=True, capture_output=True)
        found = [os.path.join(d, f) for d, _, fs in os.walk(folder) for f in fs if f == "zelbo_udp.defaults.ini"]
        content = open(found[0], "rb").read() if len(found) == 1 else None
        if content != b"\xff\xfe":
            problems.append(f"the installed defaults file holds {content!r}, not the UTF-16LE byte order mark alone")
sequence = {row[0]: int(row[2]) for row in rows("InstallExecuteSequence")}
if not sequence.get("InstallFiles", 9999) < sequence.get("WriteIniValues", 0):
    problems.append("WriteIniValues does not come after InstallFiles")

# Started at logon the program goes to the notification area.
arguments = [row[5] for row in rows("Shortcut") if row[0] == "StartupShortcut"]
if arguments != ["--background"]:
    problems.append(f"the Startup shortcut runs zelbo_udp.exe with {arguments}, not --background")
# Per machine only: the marker beside the exe that sends each user's files to that user's profile, and the event
# source (HKLM, REG_EXPAND_SZ message file, error, warning and information), both removed with their components.
machine = properties.get("ALLUSERS") == "1"
marker = [(component_dirs[row[1]], row[2].split("|")[-1], row[3]) for row in rows("File")
          if row[2].split("|")[-1] == "zelbo_udp.machine"]
if marker != ([("INSTALLFOLDER", "zelbo_udp.machine", "0")] if machine else []):
    problems.append(f"zelbo_udp.machine is installed as {marker} ({'per machine' if machine else 'per user'})")
source = r"SYSTEM\CurrentControlSet\Services\EventLog\Application\ZELBO_UDP"
event = sorted((row[1], row[3], row[4]) for row in registry.values() if row[2] == source)
wanted_event = [("2", "EventMessageFile", "#%[INSTALLFOLDER]zelbo_udp.exe"), ("2", "TypesSupported", "#7")]
if event != (wanted_event if machine else []):
    problems.append(f"the event source {source} is registered as {event}")

# The keep-alive task: its definition installs only with KEEPALIVE=1, which follows STARTATLOGON unless given;
# schtasks registers it once the file is there and deletes it before the files go, deferred, per machine as the
# system, per user as the user, the delete never failing an uninstall.
actions = {row[0]: row for row in rows("CustomAction")}
execute = {row[0]: row for row in rows("InstallExecuteSequence")}
task = [row for row in rows("Component") if row[0] == "KeepAliveTask"]
task_files = [row[2].split("|")[-1] for row in rows("File") if task and row[1] == "KeepAliveTask"]
if not task or task[0][4] != 'KEEPALIVE = "1"' or task_files != ["zelbo_udp.keepalive.xml"]:
    problems.append("the keep-alive task's definition is not installed (only) with KEEPALIVE=1")
if [execute.get(a, [None, None])[1] for a in ("KeepAliveOn", "KeepAliveOff")] != \
        ['NOT KEEPALIVE AND STARTATLOGON = "1"', "NOT KEEPALIVE"] or \
        [actions.get(a, [None] * 4)[3] for a in ("KeepAliveOn", "KeepAliveOff")] != ["1", "0"]:
    problems.append("KEEPALIVE does not follow STARTATLOGON when not given")
mode = 1024 | (2048 if machine else 0)
expected_tasks = {"RegisterKeepAliveTask": ("/create", mode, "$KeepAliveTask = 3", "InstallFiles", 1),
                  "DeleteKeepAliveTask": ("/delete", mode | 64, "$KeepAliveTask = 2", "RemoveFiles", -1)}
for action, (verb, flags, condition, around, side) in expected_tasks.items():
    row, step = actions.get(action), execute.get(action)
    if not row or int(row[1]) & 63 != 34 or int(row[1]) & ~63 != flags or "schtasks.exe" not in row[3] or \
            verb not in row[3] or not step or step[1] != condition or \
            (int(step[2]) - int(execute[around][2])) * side <= 0 or int(step[2]) >= int(execute["InstallFinalize"][2]):
        problems.append(f"{action} does not run schtasks {verb} as it should: {row} {step}")

secure = set(properties.get("SecureCustomProperties", "").split(";"))
# STARTATLOGON, KEEPALIVE, the upgrade properties and every preset the defaults file is written from.
wanted = {"STARTATLOGON", "KEEPALIVE"} | {row[6] for row in rows("Upgrade")} | {row[4] for row in rows("IniFile")}
if not wanted <= secure:
    problems.append(f"SecureCustomProperties lacks {sorted(wanted - secure)}")

if problems:
    sys.exit("check-msi: " + msi + ":\n  " + "\n  ".join(problems))
print(f"check-msi: {msi}: language, per-user key paths, folder removal, short names, notices, refusal texts, "
      f"build condition, Startup shortcut condition, Unicode defaults file, "
      f"--background at logon, marker and event source per machine only, keep-alive task, secure properties: ok")
