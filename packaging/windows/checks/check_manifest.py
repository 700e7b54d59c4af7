# Checks an application manifest's text for what Windows acts on; called by check-manifest.sh, which reads the text
# out of the exe.
#   python3 check_manifest.py EXE MANIFEST_TEXT
import sys
import xml.etree.ElementTree as ET

exe, text = sys.argv[1], sys.argv[2]
asm_v1 = "{urn:schemas-microsoft-com:asm.v1}"
asm_v3 = "{urn:schemas-microsoft-com:asm.v3}"
compat = "{urn:schemas-microsoft-com:compatibility.v1}"
ws2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
windows10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"

try:
    root = ET.fromstring(text)
except ET.ParseError as error:
    sys.exit(f"check-manifest: {exe}: the manifest is not well-formed XML: {error}")

def texts(path):
    return [(node.text or "").strip() for node in root.findall(path)]

problems = []
if root.tag != asm_v1 + "assembly" or root.get("manifestVersion") != "1.0":
    problems.append("root is not <assembly manifestVersion=\"1.0\"> in urn:schemas-microsoft-com:asm.v1")
levels = [node.get("level") for node in
          root.findall(f"{asm_v3}trustInfo/{asm_v3}security/{asm_v3}requestedPrivileges/{asm_v3}requestedExecutionLevel")]
if levels != ["asInvoker"]:
    problems.append(f"requestedExecutionLevel is {levels}, not asInvoker")
systems = [node.get("Id", "").lower() for node in root.findall(f"{compat}compatibility/{compat}application/{compat}supportedOS")]
if windows10 not in systems:
    problems.append(f"supportedOS {windows10} (Windows 10/11) is missing")
settings = f"{asm_v3}application/{asm_v3}windowsSettings/"
if texts(settings + ws2016 + "longPathAware") != ["true"]:
    problems.append("longPathAware is not true")
if texts(settings + ws2016 + "dpiAwareness") != ["PerMonitorV2"]:
    problems.append("dpiAwareness is not PerMonitorV2")
for problem in problems:
    print(f"check-manifest: {exe}: {problem}", file=sys.stderr)
if problems:
    sys.exit(1)
print(f"check-manifest: {exe}: asInvoker, Windows 10/11, longPathAware, PerMonitorV2")
