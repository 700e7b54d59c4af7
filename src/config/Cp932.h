#pragma once
// The one place where text becomes code page 932 bytes and back (glibc iconv "CP932").
// Every file and datagram goes through here; nothing else converts implicitly.

#include <QByteArray>
#include <QString>
#include <QStringView>

class Cp932
{
public:
    // Characters that code page 932 cannot hold become "?" (one byte), as the original ANSI file routines did.
    static QByteArray encode(QStringView text);
    // Bytes that are not valid code page 932 become U+FFFD, one per byte, so no input is ever dropped silently.
    static QString decode(const QByteArray& bytes);
    static QString decode(const char* data, qsizetype size);
    // Bytes one character takes in code page 932: 1 for ASCII and half-width katakana, 2 for double-byte.
    static int charByteCount(char32_t ucs);
    static qsizetype byteCount(QStringView text);
};
