#include "base/NameValueFile.h"

#include "base/Cp932.h"

#include <QStringConverter>

namespace {

QString decodeText(const QByteArray& bytes)
{
    // What Windows PowerShell 5.1 writes with Out-File and >; the decoder drops the byte order mark.
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf16(QStringDecoder::Utf16LE);
        return utf16.decode(bytes);
    }
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF")) {
        body.remove(0, 3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(QByteArrayView(body));
    return utf8.hasError() ? Cp932::decodeShown(body) : text;
}

} // namespace

QMap<QString, QString> readNameValueFile(const QByteArray& bytes)
{
    QMap<QString, QString> given;
    for (QString line : decodeText(bytes).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#') || line.startsWith(u'[')) {
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0) {
            given.insert(line, QString());
            continue;
        }
        given.insert(line.left(equals).trimmed().toUpper(), line.mid(equals + 1).trimmed());
    }
    return given;
}
