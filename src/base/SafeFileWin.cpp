#include "base/SafeFileCalls.h"

#include <QDir>

#include <cerrno>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

namespace {

SystemError lastSystemError()
{
    return SystemError::fromSystemCode(static_cast<int>(GetLastError()));
}

std::wstring nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

HANDLE osHandle(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

} // namespace

namespace SafeFileCalls {

// Windows has no FIFOs in folders, but names such as CON or COM1 open devices. A read-only file is refused by the
// open itself.
std::optional<SystemError> openDescriptor(const QString& path, unsigned flags, int& fd)
{
    fd = _wsopen(nativePath(path).c_str(), _O_BINARY | _O_NOINHERIT | accessFlags(flags), _SH_DENYNO,
                 _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        return SystemError::fromErrno(errno);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(osHandle(fd)) != FILE_TYPE_DISK || !GetFileInformationByHandle(osHandle(fd), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        _close(fd);
        fd = -1;
        return SystemError::fromErrno(EINVAL);
    }
    return std::nullopt;
}

std::optional<SystemError> syncDescriptor(int fd)
{
    if (!FlushFileBuffers(osHandle(fd))) {
        return lastSystemError();
    }
    return std::nullopt;
}

std::optional<SystemError> truncateTo(int fd, qint64 length)
{
    if (const errno_t error = _chsize_s(fd, length); error != 0) {
        return SystemError::fromErrno(error);
    }
    return std::nullopt;
}

std::optional<SystemError> seekTo(int fd, qint64 position)
{
    if (_lseeki64(fd, position, SEEK_SET) < 0) {
        return SystemError::fromErrno(errno);
    }
    return std::nullopt;
}

std::optional<SystemError> lengthOf(int fd, qint64& length)
{
    length = _filelengthi64(fd);
    if (length < 0) {
        return SystemError::fromErrno(errno);
    }
    return std::nullopt;
}

qint64 writeChunk(int fd, const char* data, qint64 size)
{
    return _write(fd, data, unsigned(size));
}

qint64 readChunk(int fd, char* data, qint64 size)
{
    return _read(fd, data, unsigned(size));
}

std::optional<SystemError> closeDescriptor(int fd)
{
    if (_close(fd) != 0) {
        return SystemError::fromErrno(errno);
    }
    return std::nullopt;
}

void removeFile(const QString& path)
{
    _wunlink(nativePath(path).c_str());
}

std::optional<SystemError> renameOver(const QString& from, const QString& to)
{
    if (!MoveFileExW(nativePath(from).c_str(), nativePath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return lastSystemError();
    }
    return std::nullopt;
}

// MOVEFILE_WRITE_THROUGH has put the renamed entry on disk; a new file's entry goes with its flushed data.
std::optional<SystemError> syncFolderOf(const QString&)
{
    return std::nullopt;
}

// A new file takes the folder's default security, as a file the program creates directly would.
void copyPermissions(int, int) {}

bool sameFile(int fd, const QString& path)
{
    const HANDLE other =
        CreateFileW(nativePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (other == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION opened{};
    BY_HANDLE_FILE_INFORMATION named{};
    const bool same = GetFileInformationByHandle(osHandle(fd), &opened) && GetFileInformationByHandle(other, &named) &&
                      opened.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
                      opened.nFileIndexHigh == named.nFileIndexHigh && opened.nFileIndexLow == named.nFileIndexLow;
    CloseHandle(other);
    return same;
}

} // namespace SafeFileCalls
