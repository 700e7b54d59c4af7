#include "base/SafeFileCalls.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFileCalls {

namespace {

// The access and creation bits of open().
int accessFlags(unsigned flags)
{
    int mode = 0;
    if ((flags & OpenWrite) == 0) {
        mode |= O_RDONLY;
    } else {
        mode |= (flags & OpenRead) != 0 ? O_RDWR : O_WRONLY;
    }
    if ((flags & OpenCreate) != 0) {
        mode |= O_CREAT;
    }
    if ((flags & OpenCreateNew) != 0) {
        mode |= O_CREAT | O_EXCL;
    }
    if ((flags & OpenAppend) != 0) {
        mode |= O_APPEND;
    }
    return mode;
}

} // namespace

bool fileNotFound(const SystemError& error)
{
    return error.number == ENOENT;
}

bool fileExists(const SystemError& error)
{
    return error.number == EEXIST;
}

// O_NONBLOCK keeps the open itself from waiting for a FIFO's other end; it is cleared once the file is known to be
// regular.
std::optional<SystemError> openDescriptor(const QString& path, unsigned flags, int& fd)
{
    fd = ::open(QFile::encodeName(path).constData(), O_CLOEXEC | O_NOCTTY | O_NONBLOCK | accessFlags(flags), 0666);
    if (fd < 0) {
        return SystemError::fromErrno(errno);
    }
    std::optional<SystemError> refused;
    struct stat info = {};
    if (::fstat(fd, &info) != 0) {
        refused = SystemError::fromErrno(errno);
    } else if (S_ISDIR(info.st_mode)) {
        refused = SystemError::fromErrno(EISDIR);
    } else if (!S_ISREG(info.st_mode)) {
        refused = SystemError::fromErrno(EINVAL);
    } else if ((flags & (OpenWrite | OpenCreateNew)) == OpenWrite && (info.st_mode & 0222) == 0) {
        // An administrator may write any file; one that nobody may write is meant to stay as it is.
        refused = SystemError::fromErrno(EACCES);
    } else if (const int status = ::fcntl(fd, F_GETFL); status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        refused = SystemError::fromErrno(errno);
    }
    if (refused) {
        ::close(fd);
        fd = -1;
    }
    return refused;
}

std::optional<SystemError> syncDescriptor(int fd)
{
    if (::fsync(fd) != 0) {
        return SystemError::fromErrno(errno);
    }
    return std::nullopt;
}

std::optional<SystemError> truncateTo(int fd, qint64 length)
{
    int result = 0;
    do {
        result = ::ftruncate(fd, off_t(length));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        return SystemError::fromErrno(errno);
    }
    return std::nullopt;
}

std::optional<SystemError> seekTo(int fd, qint64 position)
{
    if (::lseek(fd, off_t(position), SEEK_SET) < 0) {
        return SystemError::fromErrno(errno);
    }
    return std::nullopt;
}

std::optional<SystemError> lengthOf(int fd, qint64& length)
{
    struct stat info = {};
    if (::fstat(fd, &info) != 0) {
        return SystemError::fromErrno(errno);
    }
    length = qint64(info.st_size);
    return std::nullopt;
}

qint64 writeChunk(int fd, const char* data, qint64 size)
{
    return qint64(::write(fd, data, std::size_t(size)));
}

qint64 readChunk(int fd, char* data, qint64 size)
{
    return qint64(::read(fd, data, std::size_t(size)));
}

std::optional<SystemError> closeDescriptor(int fd)
{
    if (::close(fd) != 0) {
        return SystemError::fromErrno(errno);
    }
    return std::nullopt;
}

void removeFile(const QString& path)
{
    ::unlink(QFile::encodeName(path).constData());
}

std::optional<SystemError> renameOver(const QString& from, const QString& to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        return SystemError::fromErrno(errno);
    }
    return std::nullopt;
}

// A new or renamed directory entry survives a power cut only once its folder is synced too. A folder we may not open
// cannot be synced by us, and some file systems cannot sync folders at all (EINVAL).
std::optional<SystemError> syncFolderOf(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<SystemError> error;
    if (::fsync(fd) != 0 && errno != EINVAL) {
        error = SystemError::fromErrno(errno);
    }
    ::close(fd);
    return error;
}

// The replacement keeps the old file's permission bits; without this it would get the process's defaults.
void copyPermissions(int from, int to)
{
    struct stat info = {};
    if (::fstat(from, &info) == 0) {
        ::fchmod(to, info.st_mode & 07777);
    }
}

bool sameFile(int fd, const QString& path)
{
    struct stat opened = {};
    struct stat named = {};
    if (::fstat(fd, &opened) != 0 || ::stat(QFile::encodeName(path).constData(), &named) != 0) {
        return false;
    }
    return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

} // namespace SafeFileCalls
