# The guides keep up with the program: every setting IT can preset or set by policy is in both IT guides, every text
# the program shows in its status box, boxes and tray is in the office staff's guide, every event ID is in both IT
# guides, and every picture a guide shows exists. Names and texts are read from the program itself, never a copy.
#   python3 guide_coverage.py SETTINGS_TABLE SOURCE_DIR
import pathlib, re, subprocess, sys

tool, source = sys.argv[1], pathlib.Path(sys.argv[2])
user_guide = source / "docs/ja/user-guide.md"
it_guides = [source / "docs/ja/it-guide.md", source / "docs/en/it-guide.md"]

# The sources whose texts the office staff can see: status lines, boxes, the tray, the windows' own captions.
SHOWN_TEXT_SOURCES = [
    "src/protocol/RunTexts.cpp", "src/protocol/UploadRun.cpp", "src/protocol/CommControl.cpp",
    "src/protocol/CycleAccount.cpp", "src/config/SettingsCheck.cpp", "src/config/SettingsFile.cpp",
    "src/config/RefusalRules.cpp", "src/config/MailSignInRules.cpp", "src/config/Presets.cpp",
    "src/output/UploadOutput.cpp", "src/output/UploadFileWriter.cpp", "src/output/MailSender.cpp",
    "src/output/CycleRecorder.cpp", "src/output/CycleHistory.cpp", "src/output/StatusFile.cpp",
    "src/output/SystemPasswordStore.cpp", "src/ui/MainWindow.cpp", "src/ui/MainWindowControls.cpp",
    "src/ui/TrayIcon.cpp", "src/ui/MailSignIn.cpp", "src/ui/frmSetting.cpp", "src/ui/frmFolder.cpp",
    "src/ui/frmAbout.cpp", "src/ui/FatalErrorBox.cpp", "app/ProgramMain.cpp", "app/SingleCopy.cpp",
    "src/config/Policies.cpp", "app/PolicyWatch.cpp", "src/output/SystemPasswordStoreWin.cpp",
]
JAPANESE = re.compile(r"[\u3040-\u30ff\u4e00-\u9fff\uff01-\uff9f]")
PLACEHOLDER = re.compile(r"%\d")
failures = []


def read(path):
    try:
        return path.read_text(encoding="utf-8")
    except OSError as error:
        failures.append(f"{path}: cannot be read: {error}")
        return ""


def string_literals(code):
    """The C++ string literals of code outside comments, adjacent literals joined as the compiler joins them."""
    literals, i, n = [], 0, len(code)
    joinable = False  # only blanks since the last literal ended
    while i < n:
        c = code[i]
        if code.startswith("//", i):
            i = code.find("\n", i)
            i = n if i < 0 else i
        elif code.startswith("/*", i):
            i = code.find("*/", i + 2)
            i = n if i < 0 else i + 2
        elif c in "\"'":
            j, text = i + 1, []
            while j < n and code[j] != c:
                if code[j] == "\\" and j + 1 < n:
                    j += 1
                    text.append({"n": "\n", "r": "\r", "t": "\t"}.get(code[j], code[j]))
                else:
                    text.append(code[j])
                j += 1
            if c == '"':
                if joinable and literals:
                    literals[-1] += "".join(text)
                else:
                    literals.append("".join(text))
            joinable = c == '"'
            i = j + 1
            continue
        elif not c.isspace():
            joinable = False
        i += 1
    return literals


def shown_pieces(literal):
    """The parts of a literal a guide can quote as they stand: its lines, cut at %1-style placeholders, without the
    blanks and separators the code puts around a value. A bare internal error names code, not words: its label."""
    if literal.startswith("内部ｴﾗｰ"):
        return ["内部ｴﾗｰ"]
    pieces = []
    for line in re.split(r"[\r\n]+", literal):
        for part in PLACEHOLDER.split(line):
            part = part.strip(" \t:<>-\"")
            if len(part) >= 2 and JAPANESE.search(part):
                pieces.append(part)
    return pieces


# Settings: their NAMEs, from the settings table tool.
lines = subprocess.run([tool], check=True, capture_output=True, text=True, encoding="utf-8").stdout.splitlines()
column = lines[0].split("\t").index("name")
names = [line.split("\t")[column] for line in lines[1:]]
if len(names) < 20:
    failures.append(f"{tool} listed {len(names)} settings: the table or its header changed")
for guide in it_guides:
    text = read(guide)
    for name in names:
        if not re.search(rf"(?<![A-Z_]){re.escape(name)}(?![A-Z_])", text):
            failures.append(f"{guide}: setting {name} (a preset and policy name) is not described")

# Texts the program shows: each one whole in the office staff's guide. Markdown tables escape "|" as "\|".
guide_text = read(user_guide).replace("\\|", "|")
for relative in SHOWN_TEXT_SOURCES:
    path = source / relative
    pieces = [piece for literal in string_literals(read(path)) for piece in shown_pieces(literal)]
    if path.exists() and not pieces:
        failures.append(f"{path}: no Japanese text found: the list above or the extraction is out of date")
    for piece in dict.fromkeys(pieces):
        if piece not in guide_text:
            failures.append(f"{user_guide}: missing the text {piece!r} that {relative} shows")

# Event IDs: the one list is the message file beside SystemEvent.h (from the event log's branch; until it arrives
# there is nothing to check).
if (source / "src/base/SystemEvent.h").exists():
    ids = re.findall(r"^MessageId=(\d+)\s*$", read(source / "src/base/SystemEvents.mc"), re.MULTILINE)
    if not ids:
        failures.append("src/base/SystemEvents.mc: no MessageId found: the event list moved or changed its form")
    for guide in it_guides:
        text = read(guide)
        for event in ids:
            if not re.search(rf"^\|\s*{event}\s*\|", text, re.MULTILINE):
                failures.append(f"{guide}: event ID {event} has no row in the event table")

# Pictures: every image a guide (or the README) shows exists beside it.
for guide in sorted((source / "docs").rglob("*.md")) + [source / "README.md"]:
    for target in re.findall(r"!\[[^\]]*\]\(([^)\s]+)", read(guide)):
        if "://" not in target and not (guide.parent / target).is_file():
            failures.append(f"{guide}: shows {target}, which does not exist")

for failure in failures:
    print(failure, file=sys.stderr)
sys.exit(1 if failures else 0)
