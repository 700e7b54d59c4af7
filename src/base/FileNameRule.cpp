#include "base/FileNameRule.h"

#include <array>
#include <string_view>

namespace {

bool isRefused(char16_t u)
{
    constexpr std::u16string_view refused = u"/\\:*?\"<>|";
    return u < 0x20 || u == 0x7F || refused.find(u) != std::u16string_view::npos;
}

// The length of the device name the text opens with when Windows would open the text as that device: the part before
// the first dot, blanks at its end ignored. 0 when it is an ordinary name.
qsizetype deviceNameLength(QStringView name)
{
    QStringView stem = name.left(name.indexOf(u'.'));
    while (stem.endsWith(u' ')) {
        stem.chop(1);
    }
    static const std::array<QString, 4> plain = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                                 QStringLiteral("NUL")};
    for (const QString& device : plain) {
        if (stem.compare(device, Qt::CaseInsensitive) == 0) {
            return stem.size();
        }
    }
    // Windows also counts the superscript digits 1 to 3 as port numbers.
    const auto isPortDigit = [](QChar c) {
        return (c >= u'1' && c <= u'9') || c == u'\u00B9' || c == u'\u00B2' || c == u'\u00B3';
    };
    const bool port = stem.size() == 4 && isPortDigit(stem[3]) &&
                      (stem.left(3).compare(QStringLiteral("COM"), Qt::CaseInsensitive) == 0 ||
                       stem.left(3).compare(QStringLiteral("LPT"), Qt::CaseInsensitive) == 0);
    return port ? stem.size() : 0;
}

} // namespace

QString safeFileName(QStringView name)
{
    QString safe;
    safe.reserve(name.size() + 1);
    for (const QChar c : name) {
        safe.append(isRefused(c.unicode()) ? QChar(u'_') : c);
    }
    safe.replace(QStringLiteral(".."), QStringLiteral("__"));
    while (safe.endsWith(u'.') || safe.endsWith(u' ')) {
        safe.chop(1);
    }
    if (const qsizetype device = deviceNameLength(safe)) {
        safe.insert(device, u'_');
    }
    return safe;
}
