#include "config/MailPasswordInput.h"

#include "base/Cp932.h"

MailPasswordInput MailPasswordInput::fromLine(QByteArray line, bool keepBlanks)
{
    while (line.endsWith('\n') || line.endsWith('\r')) {
        line.chop(1);
    }
    if (line.startsWith("\xFF\xFE") || line.startsWith("\xFE\xFF")) {
        return {{}, Refusal::Utf16};
    }
    if (line.contains('\0')) {
        return {{}, Refusal::Nul};
    }
    // Notepad's and PowerShell's "UTF-8" may begin with it; no password does.
    if (line.startsWith("\xEF\xBB\xBF")) {
        line.remove(0, 3);
    }
    QString password = QString::fromUtf8(line);
    if (password.contains(QChar::ReplacementCharacter)) {
        password = Cp932::decodeShown(line);
    }
    if (password.isEmpty()) {
        return {{}, Refusal::Empty};
    }
    if (!keepBlanks && (password.front().isSpace() || password.back().isSpace())) {
        return {{}, Refusal::Blanks};
    }
    return {password, Refusal::None};
}
