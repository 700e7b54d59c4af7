#include "base/SafeFileCalls.h"

#include "base/PlatformWin.h"

#include <algorithm>
#include <cerrno>
#include <initializer_list>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace {

// Another program may hold one of our files for a moment (a virus scanner, the search indexer or a synchronising
// client right after we wrote it) or for longer (Excel shares an open text file with readers only). A sharing or
// access-denied failure is tried again in growing steps for about a second, the way mature runtimes handle it, before
// it is reported; the run waits that long at most, on the UI thread.
constexpr DWORD FirstRetryMs = 10;
constexpr DWORD RetryTotalMs = 1000;

SystemError lastSystemError()
{
    return SystemError::fromSystemCode(static_cast<int>(GetLastError()));
}

HANDLE osHandle(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// Whether a failure on these paths may pass by itself. A read-only file or a folder is denied for good; so is a
// file that is not there (the folder's permissions forbid it). An existing plain file is denied while another
// program holds it without sharing, or while it waits to be deleted.
bool mayPass(DWORD code, std::initializer_list<const std::wstring*> paths)
{
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) {
        return true;
    }
    if (code != ERROR_ACCESS_DENIED) {
        return false;
    }
    bool plainFile = false;
    for (const std::wstring* path : paths) {
        const DWORD attributes = GetFileAttributesW(path->c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            continue;
        }
        if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
            return false;
        }
        plainFile = true;
    }
    return plainFile;
}

// Runs call (true on success, GetLastError set on failure) until it succeeds, fails for good or the time is up.
template <typename Call> bool retried(std::initializer_list<const std::wstring*> paths, Call call)
{
    DWORD waited = 0;
    DWORD step = FirstRetryMs;
    for (;;) {
        if (call()) {
            return true;
        }
        const DWORD code = GetLastError();
        if (waited >= RetryTotalMs || !mayPass(code, paths)) {
            SetLastError(code);
            return false;
        }
        const DWORD pause = std::min(step, RetryTotalMs - waited);
        Sleep(pause);
        waited += pause;
        step *= 2;
    }
}

// A rename over a file another program holds without delete sharing fails as "access denied". Asking for the right
// to delete it tells a held file (a sharing violation, which says so in the user's language) from a protected one.
DWORD renameFailure(const std::wstring& target)
{
    const DWORD code = GetLastError();
    if (code != ERROR_ACCESS_DENIED) {
        return code;
    }
    const HANDLE probe = CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        return code;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION ? ERROR_SHARING_VIOLATION : code;
}

} // namespace

namespace SafeFileCalls {

bool fileNotFound(const SystemError& error)
{
    return error.number == ERROR_FILE_NOT_FOUND;
}

bool fileExists(const SystemError& error)
{
    return error.number == ERROR_FILE_EXISTS || error.number == ERROR_ALREADY_EXISTS;
}

// Windows has no FIFOs in folders, but names such as CON or COM1 open devices. A read-only file is refused by the
// open itself. Others may read and write the file meanwhile, as with the C runtime's own opens.
std::optional<SystemError> openDescriptor(const QString& path, unsigned flags, int& fd)
{
    fd = -1;
    const std::wstring name = win32FilePath(path);
    DWORD access = GENERIC_READ;
    if ((flags & OpenWrite) != 0) {
        access = (flags & OpenRead) != 0 ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
    }
    DWORD disposition = OPEN_EXISTING;
    if ((flags & OpenCreateNew) != 0) {
        disposition = CREATE_NEW;
    } else if ((flags & OpenCreate) != 0) {
        disposition = OPEN_ALWAYS;
    }
    HANDLE handle = INVALID_HANDLE_VALUE;
    const bool opened = retried({&name}, [&] {
        handle = CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        return handle != INVALID_HANDLE_VALUE;
    });
    if (!opened) {
        return lastSystemError();
    }
    BY_HANDLE_FILE_INFORMATION info{};
    std::optional<SystemError> refused;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        refused = SystemError::fromSystemCode(ERROR_INVALID_NAME);
    } else if (!GetFileInformationByHandle(handle, &info)) {
        refused = lastSystemError();
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        refused = SystemError::fromSystemCode(ERROR_ACCESS_DENIED);
    }
    if (!refused) {
        int mode = _O_BINARY | _O_NOINHERIT;
        if ((flags & OpenWrite) == 0) {
            mode |= _O_RDONLY;
        }
        if ((flags & OpenAppend) != 0) {
            mode |= _O_APPEND;
        }
        fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), mode);
        if (fd < 0) {
            refused = SystemError::fromErrno(errno);
        }
    }
    if (refused) {
        CloseHandle(handle);
        fd = -1;
        return refused;
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
    const std::wstring name = win32FilePath(path);
    retried({&name}, [&] { return DeleteFileW(name.c_str()) != 0; });
}

std::optional<SystemError> renameOver(const QString& from, const QString& to)
{
    const std::wstring source = win32FilePath(from);
    const std::wstring target = win32FilePath(to);
    const bool renamed = retried({&target, &source}, [&] {
        return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    });
    if (!renamed) {
        return SystemError::fromSystemCode(static_cast<int>(renameFailure(target)));
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
        CreateFileW(win32FilePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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
