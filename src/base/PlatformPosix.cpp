#include "base/Platform.h"

#include "base/FolderHelpers.h"
#include "base/SaveVolumes.h"
#include "base/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>

#include <dirent.h>

SystemError SystemError::fromErrno(int number)
{
    return {number, qt_error_string(number)};
}

SystemError SystemError::fromSystemCode(int code)
{
    return fromErrno(code);
}

std::optional<SystemError> CheckFolder(const QString& folder)
{
    // Opening the folder is the test: it gives the platform's own error number and text for an unreadable place.
    DIR* handle = ::opendir(QFile::encodeName(folder).constData());
    if (handle == nullptr) {
        const int code = errno;
        return SystemError::fromSystemCode(code);
    }
    ::closedir(handle);
    return std::nullopt;
}

bool SetCurrentFolder(const QString& folder)
{
    return QDir::setCurrent(folder);
}

EditorStart StartSystemTextEditor(const QString&)
{
    return EditorStart::NoSystemEditor;
}

QStringList SystemVolumeRoots()
{
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        // Mounted files (bind mounts of single files) are not drives.
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir() &&
            IsSaveVolume(volume.fileSystemType(), volume.rootPath(), volume.isReadOnly())) {
            roots << volume.rootPath();
        }
    }
    return roots;
}

bool PreciseTimersRaiseTimerResolution()
{
    return false;
}

bool SystemIsVersion6OrLater()
{
    return !GetSpecialFolderPath(PersonalFolderId).isEmpty();
}

void IgnoreUdpPortUnreachable(qintptr) {}

int LastSocketErrorCode()
{
    return errno;
}

bool IsTransientNetworkError(int code)
{
    return code == ENETUNREACH || code == EHOSTUNREACH || code == ENETDOWN || code == ENOBUFS;
}

void keepSystemAwake(bool) {}

bool commitDataMeansSessionEnd()
{
    return false;
}
