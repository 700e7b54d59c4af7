#include "base/Cp932.h"

#include <cstdint>
#include <vector>

namespace {

#include "base/Cp932Table.inc"

// U+0000 is ASCII and never looked up, so 0 is free to mean "no code".
constexpr std::uint16_t NoCode = 0;

constexpr bool isLeadByte(unsigned b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr bool isTrailByte(unsigned b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

constexpr int doubleByteIndex(unsigned lead, unsigned trail)
{
    const int row = lead <= 0x9F ? int(lead) - 0x81 : int(lead) - 0xE0 + (0x9F - 0x81 + 1);
    const int column = trail < 0x7F ? int(trail) - 0x40 : int(trail) - 0x41;
    return row * Cp932TrailCount + column;
}

// Code for each UTF-16 unit: the exact inverse of the decode tables, built once.
const std::uint16_t* encodeTable()
{
    static const std::vector<std::uint16_t> table = [] {
        std::vector<std::uint16_t> codes(0x10000, NoCode);
        for (unsigned b = 0x80; b <= 0xFF; ++b) {
            codes[Cp932SingleByte[b]] = static_cast<std::uint16_t>(b);
        }
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (isLeadByte(lead) && isTrailByte(trail)) {
                    codes[Cp932DoubleByte[doubleByteIndex(lead, trail)]] =
                        static_cast<std::uint16_t>(lead << 8 | trail);
                }
            }
        }
        return codes;
    }();
    return table.data();
}

std::uint16_t codeOf(char32_t ucs)
{
    return ucs <= 0xFFFF ? encodeTable()[ucs] : NoCode;
}

} // namespace

QByteArray Cp932::encode(QStringView text)
{
    const std::uint16_t* codes = encodeTable();
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    char* p = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            *p++ = static_cast<char>(c);
            continue;
        }
        const std::uint16_t code = codes[c];
        if (code == NoCode) {
            // A surrogate pair is one character and gets one "?".
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                ++i;
            }
            *p++ = '?';
        } else if (code > 0xFF) {
            *p++ = static_cast<char>(code >> 8);
            *p++ = static_cast<char>(code & 0xFF);
        } else {
            *p++ = static_cast<char>(code);
        }
    }
    out.truncate(p - out.constData());
    return out;
}

bool Cp932::roundTrips(const QString& text)
{
    return decode(encode(text)) == text;
}

QString Cp932::decode(const QByteArray& bytes)
{
    return decode(bytes.constData(), bytes.size());
}

QString Cp932::decode(const char* data, qsizetype size)
{
    QString out(size, Qt::Uninitialized);
    QChar* p = out.data();
    const auto* in = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < size) {
        const unsigned b = in[i++];
        if (isLeadByte(b) && i < size && isTrailByte(in[i])) {
            *p++ = QChar(Cp932DoubleByte[doubleByteIndex(b, in[i++])]);
        } else {
            *p++ = QChar(Cp932SingleByte[b]);
        }
    }
    out.truncate(p - out.constData());
    return out;
}

QString Cp932::decodeShown(const QByteArray& bytes)
{
    return shown(decode(bytes));
}

QString Cp932::shown(QString decoded)
{
    constexpr qsizetype shownCount = sizeof(Cp932Shown) / sizeof(Cp932Shown[0]);
    for (QChar& c : decoded) {
        const char16_t u = c.unicode();
        if (u >= Cp932PrivateBase && u - Cp932PrivateBase < shownCount) {
            c = QChar(Cp932Shown[u - Cp932PrivateBase]);
        } else if (u == Cp932SingleByte[0x80] || u == Cp932SingleByte[0xA0] ||
                   (u >= Cp932SingleByte[0xFD] && u <= Cp932SingleByte[0xFF])) {
            c = QChar(Cp932ShownStandIn);
        }
    }
    return decoded;
}

int Cp932::charByteCount(char32_t ucs)
{
    if (ucs < 0x80) {
        return 1;
    }
    return codeOf(ucs) > 0xFF ? 2 : 1;
}

qsizetype Cp932::byteCount(QStringView text)
{
    const std::uint16_t* codes = encodeTable();
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80 && codes[c] > 0xFF) {
            count += 2;
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        }
        ++count;
    }
    return count;
}
