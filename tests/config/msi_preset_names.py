# The installer's preset properties (PRESETS of msi_presets.py) are the settings table's names, no more and no fewer:
# a property the program does not know is refused at the first start, and a setting without one cannot be preset.
#   python3 msi_preset_names.py SETTINGS_TABLE MSI_PRESETS_PY
import ast, subprocess, sys

tool, script = sys.argv[1:3]
lines = subprocess.run([tool], check=True, capture_output=True, text=True, encoding="utf-8").stdout.splitlines()
column = lines[0].split("\t").index("name")
table = {line.split("\t")[column] for line in lines[1:]}

# Read without running it: the script's own code runs only with a command.
with open(script, encoding="utf-8") as source:
    tree = ast.parse(source.read())
presets = next(ast.literal_eval(node.value) for node in tree.body
               if isinstance(node, ast.Assign) and any(getattr(t, "id", None) == "PRESETS" for t in node.targets))

failures = []
if len(presets) != len(set(presets)):
    failures.append(f"PRESETS names one property twice: {sorted(presets)}")
if set(presets) - table:
    failures.append(f"PRESETS has properties no setting is named by: {sorted(set(presets) - table)}")
if table - set(presets):
    failures.append(f"settings missing from PRESETS: {sorted(table - set(presets))}")
for failure in failures:
    print(f"{script}: {failure}", file=sys.stderr)
sys.exit(1 if failures else 0)
