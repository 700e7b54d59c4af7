#include "base/LongPath.h"

#include <QDir>

namespace {

// The rest of a path below its root, cleaned as a rooted path so that ".." cannot climb above the drive or share.
QString cleanBelowRoot(const QString& rest)
{
    QString cleaned = QDir::cleanPath(u'/' + QString(rest).replace(u'\\', u'/'));
    while (cleaned == QLatin1String("/..") || cleaned.startsWith(QLatin1String("/../"))) {
        cleaned.remove(0, 3);
    }
    return cleaned.isEmpty() ? QStringLiteral("\\") : cleaned.replace(u'/', u'\\');
}

bool isSeparator(QChar c)
{
    return c == u'\\' || c == u'/';
}

} // namespace

QString win32LongPath(const QString& absolutePath)
{
    const QString path = QString(absolutePath).replace(u'/', u'\\');
    if (path.startsWith(QLatin1String("\\\\?\\")) || path.startsWith(QLatin1String("\\\\.\\"))) {
        return absolutePath;
    }
    if (path.size() >= 3 && path[0].isLetter() && path[0].unicode() < 128 && path[1] == u':' && isSeparator(path[2])) {
        return QStringLiteral("\\\\?\\") + path.left(2) + cleanBelowRoot(path.mid(3));
    }
    if (path.startsWith(QLatin1String("\\\\"))) {
        // \\server\share\rest: the server and share stay as they are; an incomplete one is no path to prefix.
        const qsizetype serverEnd = path.indexOf(u'\\', 2);
        const qsizetype shareEnd = serverEnd > 2 ? path.indexOf(u'\\', serverEnd + 1) : -1;
        const QString root = shareEnd > 0 ? path.left(shareEnd) : path;
        if (serverEnd <= 2 || root.size() == serverEnd + 1) {
            return path;
        }
        const QString rest = shareEnd > 0 ? path.mid(shareEnd + 1) : QString();
        QString cleaned = cleanBelowRoot(rest);
        if (cleaned == QStringLiteral("\\")) {
            cleaned.clear();
        }
        return QStringLiteral("\\\\?\\UNC\\") + root.mid(2) + cleaned;
    }
    return absolutePath;
}
