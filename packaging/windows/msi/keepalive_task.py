# Writes the keep-alive task's definition for the Task Scheduler (UTF-16LE with its byte order mark, as schtasks
# /create /xml reads it): zelbo_udp.exe --background at logon and every 10 minutes after, only in a logged-on user's
# session. A copy already running takes the start over and the new one ends, so the task only restarts a program that
# was closed or crashed. Per machine the task is every interactive user's (the Users group, S-1-5-32-545, which the
# Task Scheduler runs in each member's own session); per user it is the installing user's, by an interactive token,
# and starts on a 10-minute clock from the first logon on: a standard user may not register a task on every user's
# logon, and the user's name is not known when the package is built. The exe is named by the default install folder
# through an environment variable, which the Task Scheduler expands; the installer refuses KEEPALIVE=1 with another
# INSTALLFOLDER (msi_tables.py).
#   python3 keepalive_task.py user|machine OUT
import sys
from xml.sax.saxutils import escape

DESCRIPTION = {"machine": "ﾛｸﾞｵﾝ時と10分ごとに ZELBO_UDP をﾊﾞｯｸｸﾞﾗｳﾝﾄﾞで起動します (起動中なら何もしません)",
               "user": "10分ごとに ZELBO_UDP をﾊﾞｯｸｸﾞﾗｳﾝﾄﾞで起動します (起動中なら何もしません)"}
COMMAND = {"machine": r"%ProgramFiles%\ZELBO_UDP\zelbo_udp.exe",
           "user": r"%LOCALAPPDATA%\Programs\ZELBO_UDP\zelbo_udp.exe"}
REPETITION = """      <Repetition>
        <Interval>PT10M</Interval>
        <StopAtDurationEnd>false</StopAtDurationEnd>
      </Repetition>"""
TRIGGER = {"machine": f"""    <LogonTrigger>
      <Enabled>true</Enabled>
{REPETITION}
    </LogonTrigger>""",
           "user": f"""    <TimeTrigger>
      <Enabled>true</Enabled>
      <StartBoundary>2020-01-01T00:00:00</StartBoundary>
{REPETITION}
    </TimeTrigger>"""}
PRINCIPAL = {"machine": """    <Principal id="Users">
      <GroupId>S-1-5-32-545</GroupId>
      <RunLevel>LeastPrivilege</RunLevel>
    </Principal>""",
             "user": """    <Principal id="Users">
      <LogonType>InteractiveToken</LogonType>
      <RunLevel>LeastPrivilege</RunLevel>
    </Principal>"""}


def definition(scope):
    # No time limit: a copy the task started polls all day.
    return f"""<?xml version="1.0" encoding="UTF-16"?>
<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">
  <RegistrationInfo>
    <Author>ZELBO</Author>
    <Description>{escape(DESCRIPTION[scope])}</Description>
  </RegistrationInfo>
  <Triggers>
{TRIGGER[scope]}
  </Triggers>
  <Principals>
{PRINCIPAL[scope]}
  </Principals>
  <Settings>
    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>
    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>
    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>
    <StartWhenAvailable>true</StartWhenAvailable>
    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>
    <Enabled>true</Enabled>
  </Settings>
  <Actions Context="Users">
    <Exec>
      <Command>{escape(COMMAND[scope])}</Command>
      <Arguments>--background</Arguments>
    </Exec>
  </Actions>
</Task>
"""


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in COMMAND:
        sys.exit("usage: keepalive_task.py user|machine OUT")
    with open(sys.argv[2], "wb") as out:
        out.write(b"\xff\xfe" + definition(sys.argv[1]).replace("\n", "\r\n").encode("utf-16-le"))
