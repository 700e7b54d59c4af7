# Writes the Group Policy templates of the program from its settings table: ZELBO_UDP.admx, en-US/ZELBO_UDP.adml and
# ja-JP/ZELBO_UDP.adml, for a domain's central store (PolicyDefinitions) or Intune's import of an ADMX. One policy per
# setting, for machines and users alike, under SOFTWARE\Policies\ZELBO\ZELBO_UDP with the value named as the setting,
# and LOCKSETTINGS, which closes the settings dialog.
#   python3 make_policy_templates.py --out DIR --version X.Y.Z -- SETTINGS_TABLE_COMMAND...
import argparse
import os
import subprocess
import sys
from xml.sax.saxutils import escape

KEY = r"SOFTWARE\Policies\ZELBO\ZELBO_UDP"
NAMESPACE = "ZELBO.Policies.ZELBO_UDP"
PREFIX = "zelbo_udp"
SUPPORTED = "SUPPORTED_ZELBO_UDP"
LOCK = "LOCKSETTINGS"
SCHEMA = ('xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" '
          'xmlns="http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"')

# The texts around each setting; the setting's own NAME and caption come from the table.
TEXTS = {
    "en-US": {
        "ZELBO": "ZELBO",
        "ZELBO_UDP": "ZELBO_UDP",
        SUPPORTED: "ZELBO_UDP {version} and later",
        "description": "Policies of ZELBO_UDP: settings that win over each user's own.",
        "name": "{name} ({caption})",
        "lead": ("Sets {name}, the setting the settings dialog shows as \"{caption}\", for every user this policy "
                 "reaches.\n\n{kind}\n\nEnabled: the value given here is used instead of the user's own setting, and "
                 "its control in the settings dialog is greyed."),
        # A setting with no place in the settings line has no control in the dialog either.
        "lead_hidden": ("Sets {name} ({caption}), a setting the settings dialog does not show, for every user this "
                        "policy reaches.\n\n{kind}\n\nEnabled: the value given here is used instead of the user's "
                        "own setting (zelbo_udp.extra.ini or the presets)."),
        "explain": (
            "{lead} Not configured or Disabled: the user's own setting holds "
            "again; the settings file never takes a policy's value.\n\nA value the settings dialog would refuse is "
            "not used: the user's setting holds, and the program names the value in its status box and in the "
            "day's history.\n\nA computer policy wins over a user policy of the same setting. The program reads its "
            "policies at every start and every two minutes; a change found while it communicates takes effect with "
            "the next start of communication."),
        "text": "A text.",
        "variables": ("A text. %DOCUMENTS% is the user's own Documents folder and any other %NAME% the user's "
                      "environment variable, so one policy can name each user's own folder."),
        "number": "A whole number from {low} to {high}: the settings dialog's options counted from 0 (its first is 0).",
        "numbertext": "A number from {low} to {high} (1 ticks the box, 0 clears it).",
        "flags20": "20 digits 0 or 1, F1 first: 1 takes the field into the upload file.",
        "lock_name": "LOCKSETTINGS (close the settings dialog)",
        "lock_explain": (
            "Enabled: the button \"設定\" of the main window is greyed and the user cannot open the settings dialog. "
            "Not configured or Disabled: the user can open it; the settings other policies set are greyed in it."),
    },
    "ja-JP": {
        "ZELBO": "ZELBO",
        "ZELBO_UDP": "ZELBO_UDP",
        SUPPORTED: "ZELBO_UDP {version} 以降",
        "description": "ZELBO_UDP のﾎﾟﾘｼｰ: 各ﾕｰｻﾞｰの設定より優先される設定です。",
        "name": "{caption} ({name})",
        "lead": ("設定画面の「{caption}」({name}) を、このﾎﾟﾘｼｰが適用されるすべてのﾕｰｻﾞｰに設定します。\n\n{kind}\n\n"
                 "有効: ここで指定した値がﾕｰｻﾞｰの設定の代わりに使われ、設定画面の該当する項目は淡色表示になります。"),
        "lead_hidden": ("「{caption}」({name}) を、このﾎﾟﾘｼｰが適用されるすべてのﾕｰｻﾞｰに設定します。設定画面には表示"
                        "されない項目です。\n\n{kind}\n\n有効: ここで指定した値がﾕｰｻﾞｰの設定 (zelbo_udp.extra.ini "
                        "または初期設定) の代わりに使われます。"),
        "explain": (
            "{lead}"
            "未構成または無効: ﾕｰｻﾞｰ自身の設定に戻ります。ﾎﾟﾘｼｰの値が設定ﾌｧｲﾙに書き込まれることはありません。\n\n"
            "設定画面で受け付けられない値は使われません。ﾕｰｻﾞｰの設定がそのまま使われ、その値は最終ｽﾃｰﾀｽとその日の履歴に"
            "表示されます。\n\n同じ項目にｺﾝﾋﾟｭｰﾀｰのﾎﾟﾘｼｰとﾕｰｻﾞｰのﾎﾟﾘｼｰがある場合は、ｺﾝﾋﾟｭｰﾀｰのﾎﾟﾘｼｰが優先されます。"
            "ﾎﾟﾘｼｰは起動時と 2 分ごとに読み込まれます。通信中に変更された場合は、次回の通信ｽﾀｰﾄから反映されます。"),
        "text": "文字列。",
        "variables": ("文字列。%DOCUMENTS% はﾕｰｻﾞｰ自身のﾄﾞｷｭﾒﾝﾄ ﾌｫﾙﾀﾞ、それ以外の %NAME% はﾕｰｻﾞｰの環境変数です。"
                      "1 つのﾎﾟﾘｼｰで各ﾕｰｻﾞｰ自身のﾌｫﾙﾀﾞを指定できます。"),
        "number": "{low} から {high} までの整数 (設定画面の選択肢の番号。最初の選択肢が 0)。",
        "numbertext": "{low} から {high} までの数値 (1 でﾁｪｯｸあり、0 でﾁｪｯｸなし)。",
        "flags20": "0 または 1 の 20 桁 (先頭が F1)。1 のﾌｨｰﾙﾄﾞをｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙに取り込みます。",
        "lock_name": "設定画面を開けなくする (LOCKSETTINGS)",
        "lock_explain": (
            "有効: ﾒｲﾝ画面の「設定」ﾎﾞﾀﾝが淡色表示になり、ﾕｰｻﾞｰは設定画面を開けません。"
            "未構成または無効: 設定画面を開けます。ほかのﾎﾟﾘｼｰで指定した項目は設定画面で淡色表示になります。"),
    },
}


def read_table(command):
    """The settings table as the settings_table tool prints it: one dict per setting, by the header's names."""
    out = subprocess.run(command, check=True, capture_output=True).stdout.decode("utf-8")
    # A Windows build's tool, run under Wine, may end its lines with CR LF.
    lines = [line.rstrip("\r") for line in out.split("\n") if line.strip()]
    header = lines[0].split("\t")
    return [dict(zip(header, line.split("\t"))) for line in lines[1:]]


def element(row):
    """How a setting is entered: (element kind, kind text key). Small ranges and numbers as decimals, the rest text."""
    if row["kind"] == "number" and row["low"] != "" and int(row["low"]) >= 0:
        return "decimal", "number"
    if row["kind"] == "text" and row["low"] != "" and int(row["low"]) >= 0:
        return "decimal_text", "numbertext"
    if row["kind"] == "flags20":
        return "text", "flags20"
    return "text", "variables" if row.get("variables") == "1" else "text"


def admx(table, revision):
    policies = []
    for row in table:
        name = row["name"]
        kind, _ = element(row)
        if kind == "text":
            maxlength = ' maxLength="20"' if row["kind"] == "flags20" else ""
            field = f'<text id="{name}" valueName="{name}" required="true"{maxlength} />'
        else:
            text = ' storeAsText="true"' if kind == "decimal_text" else ""
            field = (f'<decimal id="{name}" valueName="{name}" required="true" minValue="{row["low"]}" '
                     f'maxValue="{row["high"]}"{text} />')
        policies.append(
            f'    <policy name="{name}" class="Both" displayName="$(string.{name})" '
            f'explainText="$(string.{name}_Explain)" presentation="$(presentation.{name})" key="{KEY}">\n'
            f'      <parentCategory ref="ZELBO_UDP" />\n'
            f'      <supportedOn ref="{SUPPORTED}" />\n'
            f'      <elements>\n        {field}\n      </elements>\n'
            f'    </policy>\n')
    policies.append(
        f'    <policy name="{LOCK}" class="Both" displayName="$(string.{LOCK})" '
        f'explainText="$(string.{LOCK}_Explain)" key="{KEY}" valueName="{LOCK}">\n'
        f'      <parentCategory ref="ZELBO_UDP" />\n'
        f'      <supportedOn ref="{SUPPORTED}" />\n'
        f'      <enabledValue><decimal value="1" /></enabledValue>\n'
        f'      <disabledValue><decimal value="0" /></disabledValue>\n'
        f'    </policy>\n')
    return (f'<?xml version="1.0" encoding="utf-8"?>\n'
            f'<policyDefinitions {SCHEMA} revision="{revision}" schemaVersion="1.0">\n'
            f'  <policyNamespaces>\n    <target prefix="{PREFIX}" namespace="{NAMESPACE}" />\n'
            f'  </policyNamespaces>\n'
            f'  <resources minRequiredRevision="{revision}" />\n'
            f'  <supportedOn>\n    <definitions>\n'
            f'      <definition name="{SUPPORTED}" displayName="$(string.{SUPPORTED})" />\n'
            f'    </definitions>\n  </supportedOn>\n'
            f'  <categories>\n    <category name="ZELBO" displayName="$(string.ZELBO)" />\n'
            f'    <category name="ZELBO_UDP" displayName="$(string.ZELBO_UDP)">\n'
            f'      <parentCategory ref="ZELBO" />\n    </category>\n  </categories>\n'
            f'  <policies>\n{"".join(policies)}  </policies>\n'
            f'</policyDefinitions>\n')


def adml(table, language, revision, version):
    texts = TEXTS[language]
    strings = [("ZELBO", texts["ZELBO"]), ("ZELBO_UDP", texts["ZELBO_UDP"]),
               (SUPPORTED, texts[SUPPORTED].format(version=version))]
    presentations = []
    for row in table:
        name, caption = row["name"], row["caption"]
        kind, kind_text = element(row)
        described = texts[kind_text].format(low=row["low"], high=row["high"])
        strings.append((name, texts["name"].format(name=name, caption=caption)))
        lead = texts["lead" if row["position"] else "lead_hidden"].format(name=name, caption=caption, kind=described)
        strings.append((f"{name}_Explain", texts["explain"].format(lead=lead)))
        label = escape(f"{caption} ({name})")
        if kind == "text":
            box = (f'<textBox refId="{name}"><label>{label}</label>'
                   f'<defaultValue>{escape(row["default"])}</defaultValue></textBox>')
        else:
            box = f'<decimalTextBox refId="{name}" defaultValue="{row["default"]}">{label}</decimalTextBox>'
        presentations.append(f'      <presentation id="{name}">\n        {box}\n      </presentation>\n')
    strings.append((LOCK, texts["lock_name"]))
    strings.append((f"{LOCK}_Explain", texts["lock_explain"]))
    table_xml = "".join(f'      <string id="{id}">{escape(text)}</string>\n' for id, text in strings)
    return (f'<?xml version="1.0" encoding="utf-8"?>\n'
            f'<policyDefinitionResources {SCHEMA} revision="{revision}" schemaVersion="1.0">\n'
            f'  <displayName>ZELBO_UDP</displayName>\n'
            f'  <description>{escape(texts["description"])}</description>\n'
            f'  <resources>\n    <stringTable>\n{table_xml}    </stringTable>\n'
            f'    <presentationTable>\n{"".join(presentations)}    </presentationTable>\n'
            f'  </resources>\n</policyDefinitionResources>\n')


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    # Replaced whole, so that a failed build never leaves half a template behind.
    with open(path + ".tmp", "w", encoding="utf-8", newline="\r\n") as out:
        out.write(text)
    os.replace(path + ".tmp", path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()
    table = read_table(args.command)
    if not table:
        sys.exit("make_policy_templates: the settings table is empty")
    revision = ".".join(args.version.split(".")[:2])
    write(os.path.join(args.out, "ZELBO_UDP.admx"), admx(table, revision))
    for language in TEXTS:
        write(os.path.join(args.out, language, "ZELBO_UDP.adml"), adml(table, language, revision, args.version))


if __name__ == "__main__":
    main()
