#pragma once
// The mail password as IT's script hands it to --store-mail-password: the first line of standard input. Input that
// would be stored as another password than the one meant is refused rather than stored. Pure; Qt Core only.

#include <QByteArray>
#include <QString>

struct MailPasswordInput
{
    enum class Refusal
    {
        None,
        Empty,
        // UTF-16 (its byte order mark first), as Windows PowerShell 5.1's > and Out-File write: every other byte 0.
        Utf16,
        Nul,
        // A blank at either end, as "echo secret > file" leaves one before the line end.
        Blanks,
    };

    QString password;
    Refusal refusal = Refusal::None;

    // The line without its line end: UTF-8 (a leading byte order mark dropped), else what a Japanese Windows console
    // writes, code page 932. With keepBlanks, blanks at either end belong to the password.
    static MailPasswordInput fromLine(QByteArray line, bool keepBlanks);
};
