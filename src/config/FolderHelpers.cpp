#include "config/FolderHelpers.h"

#include <QDir>
#include <QStandardPaths>

namespace {
constexpr std::int32_t PersonalFolderId = 5;
}

QString GetSpecialFolderPath(std::int32_t owner, std::int32_t folderId)
{
    Q_UNUSED(owner);
    if (folderId != PersonalFolderId) {
        return QString();
    }
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (path.isEmpty() || !QDir(path).exists()) {
        return QString();
    }
    return QDir::toNativeSeparators(path);
}
