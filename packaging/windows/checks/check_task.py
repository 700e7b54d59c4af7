# Checks a keep-alive task definition against the structure of the Task Scheduler schema (version 1.2, namespace
# http://schemas.microsoft.com/windows/2004/02/mit/task), as far as this task uses it: Debian has no copy of the
# schema, so the rules are written out here from its documentation (which children each element may hold, which
# are required, in which order where the schema gives a sequence, the enumerations and types of the values used),
# then what the installer promises: zelbo_udp.exe --background at logon (per machine) and every 10 minutes, only in
# a logged-on user's session, every interactive user's task per machine and the installing user's per user.
#   python3 check_task.py user|machine TASK_XML
import re, sys
import xml.etree.ElementTree as ET

scope, path = sys.argv[1:3]
NS = "{http://schemas.microsoft.com/windows/2004/02/mit/task}"
problems = []

raw = open(path, "rb").read()
if not raw.startswith(b"\xff\xfe"):
    problems.append("not UTF-16LE with its byte order mark, as schtasks /xml reads it")
text = raw.decode("utf-16")
if not text.startswith('<?xml version="1.0" encoding="UTF-16"?>'):
    problems.append("the XML declaration does not say UTF-16")
root = ET.fromstring(text.encode("utf-8").replace(b'encoding="UTF-16"', b'encoding="UTF-8"'))

BOOLEAN = {"true", "false"}
DURATION = re.compile(r"^P(?!$)(\d+Y)?(\d+M)?(\d+D)?(T(?=\d)(\d+H)?(\d+M)?(\d+S)?)?$")
DATETIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d$")
TRIGGER_BASE = ["Enabled", "StartBoundary", "EndBoundary", "Repetition", "ExecutionTimeLimit"]
# element: (children allowed, children required, order as a sequence or None for xs:all)
SCHEMA = {
    "Task": ({"RegistrationInfo", "Triggers", "Settings", "Data", "Principals", "Actions"}, {"Actions"}, None),
    "RegistrationInfo": ({"URI", "SecurityDescriptor", "Source", "Date", "Author", "Version", "Description",
                          "Documentation"}, set(), None),
    "Triggers": ({"BootTrigger", "RegistrationTrigger", "IdleTrigger", "TimeTrigger", "EventTrigger", "LogonTrigger",
                  "SessionStateChangeTrigger", "CalendarTrigger"}, set(), None),
    "LogonTrigger": (set(TRIGGER_BASE) | {"UserId", "Delay"}, set(), TRIGGER_BASE + ["UserId", "Delay"]),
    "TimeTrigger": (set(TRIGGER_BASE) | {"RandomDelay"}, {"StartBoundary"}, TRIGGER_BASE + ["RandomDelay"]),
    "Repetition": ({"Interval", "Duration", "StopAtDurationEnd"}, {"Interval"}, None),
    "Principals": ({"Principal"}, {"Principal"}, None),
    "Principal": ({"UserId", "LogonType", "GroupId", "DisplayName", "RunLevel", "ProcessTokenSidType",
                   "RequiredPrivileges"}, set(), None),
    "Settings": ({"AllowStartOnDemand", "RestartOnFailure", "MultipleInstancesPolicy", "DisallowStartIfOnBatteries",
                  "StopIfGoingOnBatteries", "AllowHardTerminate", "StartWhenAvailable", "NetworkProfileName",
                  "RunOnlyIfNetworkAvailable", "WakeToRun", "Enabled", "Hidden", "DeleteExpiredTaskAfter",
                  "IdleSettings", "NetworkSettings", "ExecutionTimeLimit", "Priority", "RunOnlyIfIdle",
                  "UseUnifiedSchedulingEngine", "DisallowStartOnRemoteAppSession"}, set(), None),
    "Actions": ({"Exec", "ComHandler", "SendEmail", "ShowMessage"}, set(), None),
    "Exec": ({"Command", "Arguments", "WorkingDirectory"}, {"Command"}, ["Command", "Arguments", "WorkingDirectory"]),
}
VALUES = {
    "Enabled": BOOLEAN, "StopAtDurationEnd": BOOLEAN, "DisallowStartIfOnBatteries": BOOLEAN,
    "StopIfGoingOnBatteries": BOOLEAN, "StartWhenAvailable": BOOLEAN, "AllowStartOnDemand": BOOLEAN,
    "MultipleInstancesPolicy": {"Parallel", "Queue", "IgnoreNew", "StopExisting"},
    "LogonType": {"S4U", "Password", "InteractiveToken", "InteractiveTokenOrPassword"},
    "RunLevel": {"LeastPrivilege", "HighestAvailable"},
}


def local(element):
    if not element.tag.startswith(NS):
        problems.append(f"{element.tag} is outside the Task Scheduler namespace")
    return element.tag[len(NS):]


def walk(element):
    name = local(element)
    children = [local(child) for child in element]
    if name in SCHEMA:
        allowed, required, order = SCHEMA[name]
        if set(children) - allowed:
            problems.append(f"{name} holds {sorted(set(children) - allowed)}, which the schema does not allow there")
        if required - set(children):
            problems.append(f"{name} lacks {sorted(required - set(children))}")
        if len(children) != len(set(children)) and name not in ("Triggers", "Actions"):
            problems.append(f"{name} holds a child twice: {children}")
        if order and children != sorted(children, key=lambda c: order.index(c) if c in order else -1):
            problems.append(f"{name}'s children {children} are not in the schema's order {order}")
    elif len(element) == 0:
        value = (element.text or "").strip()
        if name in VALUES and value not in VALUES[name]:
            problems.append(f"{name} is '{value}', not one of {sorted(VALUES[name])}")
        if name in ("Interval", "Duration", "ExecutionTimeLimit") and not DURATION.match(value):
            problems.append(f"{name} '{value}' is no duration")
        if name in ("StartBoundary", "EndBoundary") and not DATETIME.match(value):
            problems.append(f"{name} '{value}' is no date and time")
        if not value and name in ("Command", "UserId", "GroupId"):
            problems.append(f"{name} is empty")
    for child in element:
        walk(child)


if local(root) != "Task" or root.get("version") != "1.2":
    problems.append(f"the root is {root.tag} version {root.get('version')}, not a Task of version 1.2")
walk(root)


def find(path):
    return root.findall("/".join(NS + step for step in path.split("/")))


principals = find("Principals/Principal")
context = (find("Actions") or [None])[0]
if len(principals) != 1 or context is None or context.get("Context") != principals[0].get("id"):
    problems.append("the actions' Context names no Principal id")
principal = {local(child): (child.text or "").strip() for child in principals[0]} if principals else {}
if scope == "machine":
    # Every interactive user: the Users group runs in each logged-on member's session.
    if principal.get("GroupId") != "S-1-5-32-545" or "UserId" in principal or "LogonType" in principal:
        problems.append(f"per machine the principal is not the Users group alone: {principal}")
    triggers = find("Triggers/LogonTrigger")
    if len(triggers) != 1 or triggers[0].find(NS + "UserId") is not None:
        problems.append("per machine there is not one logon trigger for every user")
else:
    if principal.get("LogonType") != "InteractiveToken" or "UserId" in principal or "GroupId" in principal:
        problems.append(f"per user the principal is not the registering user's interactive token: {principal}")
    triggers = find("Triggers/TimeTrigger")
    if len(triggers) != 1:
        problems.append("per user there is not one time trigger")
if len(find("Triggers/*")) != 1 or not triggers or \
        [(r.findtext(NS + "Interval"), r.findtext(NS + "Duration")) for r in triggers[0].findall(NS + "Repetition")] \
        != [("PT10M", None)]:
    problems.append("the trigger does not repeat every 10 minutes without end")
if principal.get("RunLevel") != "LeastPrivilege":
    problems.append("the task asks for more than the user's own rights")
settings = {local(child): (child.text or "").strip() for child in (find("Settings") or [[]])[0]}
# A copy the task started polls all day: no time limit, and no second copy while it runs.
if settings.get("ExecutionTimeLimit") != "PT0S" or settings.get("MultipleInstancesPolicy") != "IgnoreNew":
    problems.append(f"the settings would stop the program or start it twice: {settings}")
execs = find("Actions/Exec")
command = [(e.findtext(NS + "Command"), e.findtext(NS + "Arguments")) for e in execs]
folder = r"%ProgramFiles%\ZELBO_UDP" if scope == "machine" else r"%LOCALAPPDATA%\Programs\ZELBO_UDP"
if command != [(folder + r"\zelbo_udp.exe", "--background")]:
    problems.append(f"the task runs {command}, not {folder}\\zelbo_udp.exe --background")

if problems:
    sys.exit(f"check-task: {path}:\n  " + "\n  ".join(problems))
print(f"check-task: {path}: Task Scheduler schema structure, {scope} principal, trigger, settings, command: ok")
