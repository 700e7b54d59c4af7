#!/usr/bin/env bash
# Reads the application manifest (RT_MANIFEST, id 1) back out of a Windows exe and checks what Windows acts on:
# it parses as XML, runs asInvoker, names Windows 10/11 as supported, is long-path aware and PerMonitorV2 DPI aware.
#   bash scripts/check-manifest.sh build-win/zelbo_udp-win64/zelbo_udp.exe
set -euo pipefail

exe="${1:?usage: check-manifest.sh EXE}"
command -v wrestool >/dev/null || { echo "check-manifest: wrestool is missing: install icoutils" >&2; exit 1; }
manifest="$(wrestool -x --raw -t 24 -n 1 "$exe")" || true
[ -n "$manifest" ] || { echo "check-manifest: $exe has no manifest (RT_MANIFEST 1)" >&2; exit 1; }

/usr/bin/python3 - "$exe" "$manifest" <<'PY'
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
PY
