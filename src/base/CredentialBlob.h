#pragma once
// The mail password as the bytes of a Windows Credential Manager entry. cmdkey and the control panel's editor keep a
// generic credential's password as UTF-16LE without a terminator; versions of this program before it kept UTF-8.
// Both are read. Pure text, no OS call, so the rule is the same and tested on every platform.

#include <QByteArray>
#include <QString>

class CredentialBlob
{
public:
    // The rule: bytes that are UTF-8 of text a person types (no control character, no NUL) are read as UTF-8, which
    // every blob this program wrote before is; else an even count of bytes that is UTF-16LE of such text is read as
    // UTF-16LE, which is every blob of cmdkey with an ASCII character in it (its zero byte is never UTF-8 of typed
    // text) and of most other passwords. The one text both ways: a password of only non-Latin characters whose
    // UTF-16LE bytes all fall in printable ASCII: "あいうえ" is "B0D0F0H0", read as that ASCII. Anything else is read
    // as UTF-8 with its faults replaced, as before.
    static QString toPassword(const QByteArray& blob);
    // UTF-16LE, as cmdkey writes it; UTF-8 for the few passwords toPassword would read wrong that way, so that what
    // is written always reads back as the same text.
    static QByteArray fromPassword(const QString& password);
};
