# The policy templates the build wrote are well-formed XML, name every setting of the settings table (and
# LOCKSETTINGS) as a policy of both classes under the program's key in the ADMX and in each ADML, and every string,
# presentation and element they refer to exists.
#   python3 policy_templates.py SETTINGS_TABLE POLICY_DIR
import os, re, subprocess, sys
import xml.etree.ElementTree as ET

tool, folder = sys.argv[1:3]
lines = subprocess.run([tool], check=True, capture_output=True, text=True, encoding="utf-8").stdout.splitlines()
column = lines[0].split("\t").index("name")
names = {line.split("\t")[column] for line in lines[1:]} | {"LOCKSETTINGS"}
NS = "{http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions}"
KEY = r"SOFTWARE\Policies\ZELBO\ZELBO_UDP"

def elements(policy):
    found = policy.find(NS + "elements")
    return list(found) if found is not None else []


failures = []
admx = ET.parse(os.path.join(folder, "ZELBO_UDP.admx")).getroot()
policies = {policy.get("name"): policy for policy in admx.iter(NS + "policy")}
if set(policies) != names:
    failures.append(f"ADMX policies {sorted(policies)} are not the settings {sorted(names)}")
for name, policy in policies.items():
    values = {e.get("valueName") for e in elements(policy)} | {policy.get("valueName")}
    if policy.get("class") != "Both" or policy.get("key") != KEY or name not in values:
        failures.append(f"ADMX policy {name} does not set {name} under {KEY} for machines and users")
references = re.findall(r"\$\((string|presentation)\.([^)]+)\)", ET.tostring(admx, encoding="unicode"))

for language in ("en-US", "ja-JP"):
    adml = ET.parse(os.path.join(folder, language, "ZELBO_UDP.adml")).getroot()
    strings = {s.get("id"): s.text or "" for s in adml.iter(NS + "string")}
    presentations = {p.get("id"): p for p in adml.iter(NS + "presentation")}
    tables = {"string": strings, "presentation": presentations}
    for kind, ref in references:
        if ref not in tables[kind]:
            failures.append(f"{language}: no {kind} {ref}")
    for name in names:
        if name not in strings.get(name, ""):
            failures.append(f"{language}: the policy {name} is not shown under its name")
    for name, policy in policies.items():
        ids = {e.get("id") for e in elements(policy)}
        shown = presentations.get(name)
        refs = {child.get("refId") for child in shown} if shown is not None else set()
        if refs != ids:
            failures.append(f"{language}: the presentation of {name} shows {sorted(refs)}, not {sorted(ids)}")

for failure in failures:
    print(f"policy templates: {failure}", file=sys.stderr)
sys.exit(1 if failures else 0)
