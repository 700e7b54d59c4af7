#include "base/FolderHelpers.h"

#include <QDir>
#include <QStandardPaths>

QString GetSpecialFolderPath(std::int32_t folderId)
{
    if (folderId != PersonalFolderId) {
        return QString();
    }
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (path.isEmpty() || !QDir(path).exists()) {
        return QString();
    }
    return QDir::toNativeSeparators(path);
}
