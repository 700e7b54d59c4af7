#include "config/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <string.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using Error = SafeFile::Error;

constexpr unsigned OpenRead = 1;
constexpr unsigned OpenWrite = 2;
constexpr unsigned OpenCreate = 4;
constexpr unsigned OpenCreateNew = 8; // fails when the file exists
constexpr unsigned OpenAppend = 16;

// Within what one read or write call takes on every platform.
constexpr qint64 MaxChunk = qint64(1) << 30;
constexpr qint64 ReadChunk = qint64(1) << 16;
constexpr int TemporaryNameAttempts = 8;

// The access and creation bits, which both platforms' open calls take under the same names.
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

#ifdef Q_OS_WIN

Error errnoError(int number)
{
    return {number, QString::fromWCharArray(_wcserror(number)).trimmed()};
}

Error systemError(DWORD code)
{
    return {int(code), qt_error_string(int(code))};
}

std::wstring nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

HANDLE osHandle(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// Windows has no FIFOs in folders, but names such as CON or COM1 open devices. A read-only file is refused by the
// open itself.
std::optional<Error> openDescriptor(const QString& path, unsigned flags, int& fd)
{
    fd = _wsopen(nativePath(path).c_str(), _O_BINARY | _O_NOINHERIT | accessFlags(flags), _SH_DENYNO,
                 _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        return errnoError(errno);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(osHandle(fd)) != FILE_TYPE_DISK || !GetFileInformationByHandle(osHandle(fd), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        _close(fd);
        fd = -1;
        return errnoError(EINVAL);
    }
    return std::nullopt;
}

std::optional<Error> syncDescriptor(int fd)
{
    if (!FlushFileBuffers(osHandle(fd))) {
        return systemError(GetLastError());
    }
    return std::nullopt;
}

std::optional<Error> truncateTo(int fd, qint64 length)
{
    if (const errno_t error = _chsize_s(fd, length); error != 0) {
        return errnoError(error);
    }
    return std::nullopt;
}

std::optional<Error> seekTo(int fd, qint64 position)
{
    if (_lseeki64(fd, position, SEEK_SET) < 0) {
        return errnoError(errno);
    }
    return std::nullopt;
}

std::optional<Error> lengthOf(int fd, qint64& length)
{
    length = _filelengthi64(fd);
    if (length < 0) {
        return errnoError(errno);
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

std::optional<Error> closeDescriptor(int fd)
{
    if (_close(fd) != 0) {
        return errnoError(errno);
    }
    return std::nullopt;
}

void removeFile(const QString& path)
{
    _wunlink(nativePath(path).c_str());
}

std::optional<Error> renameOver(const QString& from, const QString& to)
{
    if (!MoveFileExW(nativePath(from).c_str(), nativePath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return systemError(GetLastError());
    }
    return std::nullopt;
}

// MOVEFILE_WRITE_THROUGH has put the renamed entry on disk; a new file's entry goes with its flushed data.
std::optional<Error> syncFolderOf(const QString&)
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

#else

Error errnoError(int number)
{
    return {number, qt_error_string(number)};
}

// O_NONBLOCK keeps the open itself from waiting for a FIFO's other end; it is cleared once the file is known to be
// regular.
std::optional<Error> openDescriptor(const QString& path, unsigned flags, int& fd)
{
    fd = ::open(QFile::encodeName(path).constData(), O_CLOEXEC | O_NOCTTY | O_NONBLOCK | accessFlags(flags), 0666);
    if (fd < 0) {
        return errnoError(errno);
    }
    std::optional<Error> refused;
    struct stat info = {};
    if (::fstat(fd, &info) != 0) {
        refused = errnoError(errno);
    } else if (S_ISDIR(info.st_mode)) {
        refused = errnoError(EISDIR);
    } else if (!S_ISREG(info.st_mode)) {
        refused = errnoError(EINVAL);
    } else if ((flags & (OpenWrite | OpenCreateNew)) == OpenWrite && (info.st_mode & 0222) == 0) {
        // An administrator may write any file; one that nobody may write is meant to stay as it is.
        refused = errnoError(EACCES);
    } else if (const int status = ::fcntl(fd, F_GETFL); status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        refused = errnoError(errno);
    }
    if (refused) {
        ::close(fd);
        fd = -1;
    }
    return refused;
}

std::optional<Error> syncDescriptor(int fd)
{
    if (::fsync(fd) != 0) {
        return errnoError(errno);
    }
    return std::nullopt;
}

std::optional<Error> truncateTo(int fd, qint64 length)
{
    int result = 0;
    do {
        result = ::ftruncate(fd, off_t(length));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        return errnoError(errno);
    }
    return std::nullopt;
}

std::optional<Error> seekTo(int fd, qint64 position)
{
    if (::lseek(fd, off_t(position), SEEK_SET) < 0) {
        return errnoError(errno);
    }
    return std::nullopt;
}

std::optional<Error> lengthOf(int fd, qint64& length)
{
    struct stat info = {};
    if (::fstat(fd, &info) != 0) {
        return errnoError(errno);
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

std::optional<Error> closeDescriptor(int fd)
{
    if (::close(fd) != 0) {
        return errnoError(errno);
    }
    return std::nullopt;
}

void removeFile(const QString& path)
{
    ::unlink(QFile::encodeName(path).constData());
}

std::optional<Error> renameOver(const QString& from, const QString& to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        return errnoError(errno);
    }
    return std::nullopt;
}

// A new or renamed directory entry survives a power cut only once its folder is synced too. A folder we may not open
// cannot be synced by us, and some file systems cannot sync folders at all (EINVAL).
std::optional<Error> syncFolderOf(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<Error> error;
    if (::fsync(fd) != 0 && errno != EINVAL) {
        error = errnoError(errno);
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

#endif

std::optional<Error> writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const qint64 done = writeChunk(fd, data, std::min(size, MaxChunk));
        if (done < 0 && errno == EINTR) {
            continue;
        }
        // A short count comes before the error: the next call reports it.
        if (done < 0) {
            return errnoError(errno);
        }
        if (done == 0) {
            return errnoError(EIO);
        }
        data += done;
        size -= done;
    }
    return std::nullopt;
}

std::optional<Error> readAll(int fd, QByteArray& bytes)
{
    bytes.clear();
    for (;;) {
        const qsizetype used = bytes.size();
        bytes.resize(used + ReadChunk);
        const qint64 got = readChunk(fd, bytes.data() + used, ReadChunk);
        if (got < 0 && errno == EINTR) {
            bytes.resize(used);
            continue;
        }
        if (got < 0) {
            const Error error = errnoError(errno);
            bytes.clear();
            return error;
        }
        bytes.resize(used + got);
        if (got == 0) {
            return std::nullopt;
        }
    }
}

// Replacing a symbolic link would cut it off from its file: the file it points to is the one written.
QString targetOf(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.canonicalFilePath();
        if (!target.isEmpty()) {
            return target;
        }
    }
    return path;
}

std::optional<Error> createTemporary(const QString& path, QString& temporaryPath, int& fd)
{
    std::optional<Error> error;
    for (int attempt = 0; attempt < TemporaryNameAttempts; ++attempt) {
        const quint32 random = QRandomGenerator::global()->generate();
        temporaryPath = path + u'.' + QString::number(random, 16) + QStringLiteral(".tmp");
        error = openDescriptor(temporaryPath, OpenWrite | OpenCreateNew, fd);
        if (!error || error->number != EEXIST) {
            return error;
        }
    }
    return error;
}

} // namespace

SafeFile::SafeFile(const QString& path) : m_path(path) {}

SafeFile::~SafeFile()
{
    rollback();
}

std::optional<SafeFile::Error> SafeFile::open(Mode mode)
{
    rollback();
    m_target = targetOf(m_path);
    if (mode == Mode::Replace) {
        return openReplacement();
    }
    auto error = openDescriptor(m_target, OpenWrite | OpenAppend, m_fd);
    if (error && error->number == ENOENT) {
        error = openDescriptor(m_target, OpenWrite | OpenAppend | OpenCreateNew, m_fd);
        m_created = !error;
    }
    if (!error) {
        error = lengthOf(m_fd, m_oldLength);
        if (error) {
            abandon();
        }
    }
    if (error) {
        reset();
        return error;
    }
    m_state = State::Appending;
    return std::nullopt;
}

std::optional<SafeFile::Error> SafeFile::openReplacement()
{
    // The rename needs no permission on the old file: ask for it as a direct write would, so a read-only file stays.
    int old = -1;
    const auto notWritable = openDescriptor(m_target, OpenWrite, old);
    if (notWritable && notWritable->number != ENOENT) {
        return notWritable;
    }
    const bool existed = !notWritable;
    const auto noTemporary = createTemporary(m_target, m_temporaryPath, m_fd);
    if (existed) {
        if (!noTemporary) {
            copyPermissions(old, m_fd);
        }
        closeDescriptor(old);
    }
    if (!noTemporary) {
        m_state = State::Temporary;
        return std::nullopt;
    }

    // The folder forbids new files: write over the old content, keeping it to put back on a failure.
    if (auto error = openDescriptor(m_target, OpenRead | OpenWrite | OpenCreate, m_fd)) {
        reset();
        return error;
    }
    m_created = !existed;
    auto error = readAll(m_fd, m_oldBytes);
    if (!error) {
        error = seekTo(m_fd, 0);
    }
    if (error) {
        abandon();
        reset();
        return error;
    }
    m_oldLength = m_oldBytes.size();
    m_state = State::InPlace;
    return std::nullopt;
}

std::optional<SafeFile::Error> SafeFile::write(const char* data, qint64 size)
{
    if (m_state == State::Closed || m_state == State::Prepared) {
        return errnoError(EBADF);
    }
    if (auto error = writeAll(m_fd, data, size)) {
        rollback();
        return error;
    }
    m_written += size;
    return std::nullopt;
}

std::optional<SafeFile::Error> SafeFile::commit()
{
    if (m_state == State::Closed) {
        return errnoError(EBADF);
    }
    if (m_state == State::Prepared) {
        // On disk since prepare(): a failing close cannot take it back.
        closeDescriptor(m_fd);
        reset();
        return std::nullopt;
    }
    std::optional<Error> error;
    if (m_state == State::Temporary) {
        error = syncDescriptor(m_fd);
        if (!error) {
            error = closeDescriptor(m_fd);
            m_fd = -1;
        }
        if (!error) {
            error = renameOver(m_temporaryPath, m_target);
        }
        if (error) {
            rollback();
            return error;
        }
        reset();
        return syncFolderOf(m_target);
    }
    if (m_state == State::InPlace) {
        error = truncateTo(m_fd, m_written);
    }
    if (!error) {
        error = syncDescriptor(m_fd);
    }
    if (error) {
        rollback();
        return error;
    }
    // Synced: a failing close cannot take back what is on disk.
    closeDescriptor(m_fd);
    const bool created = m_created;
    reset();
    return created ? syncFolderOf(m_target) : std::nullopt;
}

std::optional<SafeFile::Error> SafeFile::prepare()
{
    if (m_state != State::Appending) {
        return errnoError(EBADF);
    }
    auto error = syncDescriptor(m_fd);
    if (!error && m_created) {
        error = syncFolderOf(m_target);
    }
    if (error) {
        rollback();
        return error;
    }
    m_state = State::Prepared;
    return std::nullopt;
}

std::optional<SafeFile::Error> SafeFile::rollback()
{
    std::optional<Error> error;
    if (m_state == State::Temporary) {
        if (m_fd >= 0) {
            closeDescriptor(m_fd);
        }
        removeFile(m_temporaryPath);
    } else if (m_state == State::Prepared) {
        // Others may have read it meanwhile: a file open() created is emptied on disk before it is removed, so one
        // that cannot be removed holds nothing of this write either.
        error = cutBack();
        if (!error && m_created) {
            removeFile(m_target);
        }
    } else if (m_state != State::Closed && m_created) {
        abandon();
    } else if (m_state == State::InPlace) {
        if (!seekTo(m_fd, 0) && !writeAll(m_fd, m_oldBytes.constData(), m_oldBytes.size())) {
            truncateTo(m_fd, m_oldLength);
        }
        syncDescriptor(m_fd);
        closeDescriptor(m_fd);
    } else if (m_state == State::Appending) {
        error = cutBack();
    }
    reset();
    return error;
}

std::optional<SafeFile::Error> SafeFile::cutBack()
{
    auto error = truncateTo(m_fd, m_oldLength);
    if (const auto notSynced = syncDescriptor(m_fd); !error) {
        error = notSynced;
    }
    closeDescriptor(m_fd);
    return error;
}

std::optional<SafeFile::Error> SafeFile::openRegular(QFile& file, const QString& path, QIODevice::OpenMode mode)
{
    file.close();
    unsigned flags = 0;
    if (mode.testFlag(QIODevice::ReadOnly)) {
        flags |= OpenRead;
    }
    if (mode.testFlag(QIODevice::WriteOnly)) {
        flags |= OpenWrite | OpenCreate;
    }
    if (mode.testFlag(QIODevice::Append)) {
        flags |= OpenAppend;
    }
    int fd = -1;
    if (auto error = openDescriptor(path, flags, fd)) {
        return error;
    }
    // Emptied only now that it is known to be a regular file.
    if (mode.testFlag(QIODevice::Truncate)) {
        if (auto error = truncateTo(fd, 0)) {
            closeDescriptor(fd);
            return error;
        }
    }
    QIODevice::OpenMode fileMode = mode;
    fileMode.setFlag(QIODevice::Truncate, false);
    if (!file.open(fd, fileMode, QFileDevice::AutoCloseHandle)) {
        closeDescriptor(fd);
        return Error{EIO, file.errorString()};
    }
    return std::nullopt;
}

bool SafeFile::isSameFile(const QFile& opened, const QString& path)
{
    return opened.isOpen() && sameFile(opened.handle(), path);
}

void SafeFile::abandon()
{
    closeDescriptor(m_fd);
    m_fd = -1;
    if (m_created) {
        removeFile(m_target);
    }
}

void SafeFile::reset()
{
    m_fd = -1;
    m_state = State::Closed;
    m_created = false;
    m_oldLength = 0;
    m_oldBytes.clear();
    m_written = 0;
    m_temporaryPath.clear();
}
