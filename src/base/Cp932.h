#pragma once
// The one place where text becomes code page 932 bytes and back, from the project's own table (Cp932Table.inc), so
// every platform converts alike. Every file and datagram goes through here; nothing else converts implicitly.
// Two ways back to text: bytes kept (decode: records, checksums, staging and upload files) and text as shown
// (decodeShown/shown: file names, status texts, settings values, mail headers).

#include <QByteArray>
#include <QString>
#include <QStringView>

class Cp932
{
public:
    // Characters that code page 932 cannot hold become "?" (one byte), as Windows' ANSI file routines write them.
    static QByteArray encode(QStringView text);
    // Every byte sequence decodes, one character per code, and encode() gives back exactly those bytes. A character
    // with several codes decodes from the one the Windows encoder writes; its other codes, undefined codes and a
    // lead byte without a trail byte decode to private-use characters (U+E758 up), so no byte is lost or replaced.
    static QString decode(const QByteArray& bytes);
    static QString decode(const char* data, qsizetype size);
    // True when text comes back unchanged from its bytes. Any other text would be stored as different characters
    // (or "?") and read back as another folder, host or address.
    static bool roundTrips(const QString& text);
    // What Windows shows for the bytes: a duplicate code reads as its character (0xEEE0 and 0xFBFC are both 髙), and
    // bytes that are no character (undefined codes, a lone lead byte, 0x80, 0xA0, 0xFD-0xFF) as "・", Windows' own
    // stand-in. For people and the file system only: encode() of it may give other bytes.
    static QString decodeShown(const QByteArray& bytes);
    // The same for text decode() made, such as a field of a datagram.
    static QString shown(QString decoded);
    // Bytes one character takes in code page 932: 2 for a double-byte code, otherwise 1 (ASCII, half-width
    // katakana, the other single bytes, a lone lead byte, and the "?" of an unencodable character).
    static int charByteCount(char32_t ucs);
    static qsizetype byteCount(QStringView text);
};
