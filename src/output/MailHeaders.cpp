#include "output/MailHeaders.h"

#include <QByteArrayView>
#include <QList>
#include <QUrl>

#include <algorithm>

namespace {

// Printable ASCII fits a header unchanged; longer texts are encoded so that no line gets near the 998-byte limit.
constexpr qsizetype PlainHeaderMaxChars = 200;
// 45 bytes become 60 base64 characters, keeping each encoded-word within the 75 characters RFC 2047 allows.
constexpr qsizetype EncodedWordMaxBytes = 45;

bool isPlainHeaderChar(QChar c)
{
    return c.unicode() >= 0x20 && c.unicode() <= 0x7E;
}

} // namespace

namespace MailHeaders {

QString serverUrl(const QString& mailServer)
{
    QString server = mailServer.trimmed();
    // Sign-in data in the text is never used: the user comes from the settings, the password from the system's store.
    const qsizetype schemeEnd = server.indexOf(QLatin1String("://"));
    const qsizetype hostStart = schemeEnd < 0 ? 0 : schemeEnd + 3;
    const qsizetype pathStart = server.indexOf(u'/', hostStart);
    const qsizetype at = server.lastIndexOf(u'@', pathStart < 0 ? -1 : pathStart);
    if (at >= hostStart) {
        server.remove(hostStart, at + 1 - hostStart);
    }
    if (server.startsWith(QLatin1String("smtp://"), Qt::CaseInsensitive) ||
        server.startsWith(QLatin1String("smtps://"), Qt::CaseInsensitive)) {
        return server;
    }
    const QString scheme = QStringLiteral("smtp://");
    const QString defaultPort = QStringLiteral(":25");
    if (server.startsWith(QLatin1Char('['))) {
        return scheme + server + (server.endsWith(QLatin1Char(']')) ? defaultPort : QString());
    }
    switch (server.count(QLatin1Char(':'))) {
    case 0:
        return scheme + server + defaultPort;
    case 1:
        return scheme + server;
    default:
        // A bare IPv6 address: its colons are not a port separator.
        return scheme + QLatin1Char('[') + server + QLatin1Char(']') + defaultPort;
    }
}

QString passwordKey(const QString& mailServer, const QString& user)
{
    QString url = serverUrl(mailServer);
    const qsizetype hostStart = url.indexOf(QLatin1String("://")) + 3;
    url.insert(hostStart, QString::fromLatin1(QUrl::toPercentEncoding(user)) + QLatin1Char('@'));
    return url;
}

QByteArray encodeHeaderText(const QString& text)
{
    const bool plain = text.size() <= PlainHeaderMaxChars && !text.contains(QLatin1String("=?")) &&
                       std::all_of(text.cbegin(), text.cend(), isPlainHeaderChar);
    if (plain) {
        return text.toLatin1();
    }
    QByteArray encoded;
    QByteArray chunk;
    const auto emitWord = [&]() {
        if (!encoded.isEmpty()) {
            encoded += "\r\n ";
        }
        encoded += "=?UTF-8?B?" + chunk.toBase64() + "?=";
        chunk.clear();
    };
    // Words are cut between characters, never inside one, so each decodes on its own.
    for (const char32_t ucs : text.toUcs4()) {
        const QByteArray bytes = QString::fromUcs4(&ucs, 1).toUtf8();
        if (chunk.size() + bytes.size() > EncodedWordMaxBytes) {
            emitWord();
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty()) {
        emitWord();
    }
    return encoded;
}

QByteArray fileNameParameter(const QString& fileName)
{
    const bool plain = std::all_of(fileName.cbegin(), fileName.cend(), [](QChar c) {
        return isPlainHeaderChar(c) && c != QLatin1Char('"') && c != QLatin1Char('\\');
    });
    if (plain) {
        return "filename=\"" + fileName.toLatin1() + "\"";
    }
    QByteArray parameter = "filename*=UTF-8''";
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (const char byte : fileName.toUtf8()) {
        const auto c = static_cast<unsigned char>(byte);
        const bool attributeChar = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                   QByteArrayView("!#$&+-.^_`|~").contains(char(c));
        if (attributeChar) {
            parameter += char(c);
        } else {
            parameter += '%';
            parameter += Hex[c >> 4];
            parameter += Hex[c & 0x0F];
        }
    }
    return parameter;
}

QByteArray messageIdDomain(const QString& from)
{
    const qsizetype at = from.lastIndexOf(QLatin1Char('@'));
    const QString domain = at >= 0 ? from.mid(at + 1).trimmed() : QString();
    for (const QChar c : domain) {
        if (!isPlainHeaderChar(c) || c == QLatin1Char('>') || c == QLatin1Char(' ')) {
            return "localhost";
        }
    }
    return domain.isEmpty() ? QByteArray("localhost") : domain.toLatin1();
}

} // namespace MailHeaders
