#include "ui/TrayTexts.h"

#include <QRegularExpression>

namespace {

const QChar Ellipsis = u'…';
// What a shortened path keeps at least: "D:\" and some of its last folder name.
constexpr qsizetype MinPathLength = 12;

struct Span
{
    qsizetype start = -1;
    qsizetype end = -1;
};

Span findPath(const QString& text)
{
    static const QRegularExpression pathStart(QStringLiteral(R"((?:^|(?<=\s))(?:[A-Za-z]:[\\/]|\\\\|/))"));
    const QRegularExpressionMatch match = pathStart.match(text);
    if (!match.hasMatch()) {
        return {};
    }
    const qsizetype start = match.capturedStart();
    qsizetype lineEnd = text.indexOf(u'\n', start);
    if (lineEnd < 0) {
        lineEnd = text.size();
    }
    // A folder name may hold blanks: the path runs on to the end of the line's last word that holds a separator.
    qsizetype lastSeparator = start;
    for (qsizetype i = start; i < lineEnd; ++i) {
        if (text[i] == u'\\' || text[i] == u'/') {
            lastSeparator = i;
        }
    }
    qsizetype end = lastSeparator;
    while (end < lineEnd && !text[end].isSpace()) {
        ++end;
    }
    return {start, end};
}

// At most count units from the front (or the back) of text, never half of a surrogate pair.
QString front(const QString& text, qsizetype count)
{
    if (count > 0 && count < text.size() && text[count - 1].isHighSurrogate()) {
        --count;
    }
    return text.left(count);
}

QString back(const QString& text, qsizetype count)
{
    if (count > 0 && count < text.size() && text[text.size() - count].isLowSurrogate()) {
        --count;
    }
    return text.right(count);
}

} // namespace

QString fitTrayText(const QString& text, qsizetype limit)
{
    if (text.size() <= limit) {
        return text;
    }
    QString fitted = text;
    const Span path = findPath(text);
    const qsizetype pathLength = path.end - path.start;
    if (path.start >= 0 && pathLength > MinPathLength) {
        const qsizetype keep = qMax(MinPathLength, pathLength - (text.size() - limit)) - 1;
        const QString whole = text.mid(path.start, pathLength);
        // The root says which drive or server, the last folders which folder; the middle is the least telling.
        const qsizetype head = keep / 3;
        fitted.replace(path.start, pathLength, front(whole, head) + Ellipsis + back(whole, keep - head));
    }
    if (fitted.size() <= limit) {
        return fitted;
    }
    return front(fitted, limit - 1) + Ellipsis;
}
