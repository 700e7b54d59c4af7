#include "base/CredentialBlob.h"

#include <QStringDecoder>

#include <optional>

namespace {

// Text a person can have typed as a password: no control character (NUL, tab, line ends, DEL, C1), no unpaired
// surrogate and no noncharacter a decoding fault or a byte-swapped BOM would leave.
bool isTypedText(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.category() == QChar::Other_Control || c == QChar::ReplacementCharacter || c.unicode() >= 0xFFFE) {
            return false;
        }
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            return false;
        }
    }
    return true;
}

std::optional<QString> typedTextAsUtf8(const QByteArray& blob)
{
    // Stateless: a sequence cut off at the end is a fault, not the start of more to come.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(blob);
    if (decoder.hasError() || !isTypedText(text)) {
        return std::nullopt;
    }
    return text;
}

std::optional<QString> typedTextAsUtf16Le(const QByteArray& blob)
{
    if (blob.size() % 2 != 0) {
        return std::nullopt;
    }
    QString text(blob.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        text[i] = QChar(char16_t(uchar(blob[2 * i]) | uchar(blob[2 * i + 1]) << 8));
    }
    if (!isTypedText(text)) {
        return std::nullopt;
    }
    return text;
}

} // namespace

QString CredentialBlob::toPassword(const QByteArray& blob)
{
    if (const auto utf8 = typedTextAsUtf8(blob)) {
        return *utf8;
    }
    if (const auto utf16 = typedTextAsUtf16Le(blob)) {
        return *utf16;
    }
    return QString::fromUtf8(blob);
}

QByteArray CredentialBlob::fromPassword(const QString& password)
{
    QByteArray utf16(password.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < password.size(); ++i) {
        utf16[2 * i] = char(password[i].unicode() & 0xFF);
        utf16[2 * i + 1] = char(password[i].unicode() >> 8);
    }
    if (toPassword(utf16) == password) {
        return utf16;
    }
    const QByteArray utf8 = password.toUtf8();
    return toPassword(utf8) == password ? utf8 : utf16;
}
