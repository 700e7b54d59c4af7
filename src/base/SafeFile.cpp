#include "base/SafeFile.h"

#include "base/SafeFileCalls.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>

using namespace SafeFileCalls;

namespace {

constexpr qint64 ReadChunk = qint64(1) << 16;
constexpr int TemporaryNameAttempts = 8;

std::optional<SystemError> writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const qint64 done = writeChunk(fd, data, std::min(size, MaxChunk));
        if (done < 0 && errno == EINTR) {
            continue;
        }
        // A short count comes before the error: the next call reports it.
        if (done < 0) {
            return SystemError::fromErrno(errno);
        }
        if (done == 0) {
            return SystemError::fromErrno(EIO);
        }
        data += done;
        size -= done;
    }
    return std::nullopt;
}

std::optional<SystemError> readAll(int fd, QByteArray& bytes)
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
            const SystemError error = SystemError::fromErrno(errno);
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

std::optional<SystemError> createTemporary(const QString& path, QString& temporaryPath, int& fd)
{
    std::optional<SystemError> error;
    for (int attempt = 0; attempt < TemporaryNameAttempts; ++attempt) {
        const quint32 random = QRandomGenerator::global()->generate();
        temporaryPath = path + u'.' + QString::number(random, 16) + QStringLiteral(".tmp");
        error = openDescriptor(temporaryPath, OpenWrite | OpenCreateNew, fd);
        if (!error || !fileExists(*error)) {
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

std::optional<SystemError> SafeFile::open(Mode mode)
{
    rollback();
    m_target = targetOf(m_path);
    if (mode == Mode::Replace) {
        return openReplacement();
    }
    auto error = openDescriptor(m_target, OpenWrite | OpenAppend, m_fd);
    if (error && fileNotFound(*error)) {
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

std::optional<SystemError> SafeFile::openReplacement()
{
    removeStaleTemporaries(m_target);
    // The rename needs no permission on the old file: ask for it as a direct write would, so a read-only file stays.
    int old = -1;
    const auto notWritable = openDescriptor(m_target, OpenWrite, old);
    if (notWritable && !fileNotFound(*notWritable)) {
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

std::optional<SystemError> SafeFile::write(const char* data, qint64 size)
{
    if (m_state == State::Closed || m_state == State::Prepared) {
        return SystemError::fromErrno(EBADF);
    }
    if (auto error = writeAll(m_fd, data, size)) {
        rollback();
        return error;
    }
    m_written += size;
    return std::nullopt;
}

std::optional<SystemError> SafeFile::commit()
{
    if (m_state == State::Closed) {
        return SystemError::fromErrno(EBADF);
    }
    if (m_state == State::Prepared) {
        // On disk since prepare(): a failing close cannot take it back.
        closeDescriptor(m_fd);
        reset();
        return std::nullopt;
    }
    std::optional<SystemError> error;
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

std::optional<SystemError> SafeFile::prepare()
{
    if (m_state != State::Appending) {
        return SystemError::fromErrno(EBADF);
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

std::optional<SystemError> SafeFile::rollback()
{
    std::optional<SystemError> error;
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

std::optional<SystemError> SafeFile::cutBack()
{
    auto error = truncateTo(m_fd, m_oldLength);
    if (const auto notSynced = syncDescriptor(m_fd); !error) {
        error = notSynced;
    }
    closeDescriptor(m_fd);
    return error;
}

std::optional<SafeFile::WriteFailure> SafeFile::writeFile(const QString& path, QByteArrayView bytes, Mode mode)
{
    SafeFile file(path);
    if (auto error = file.open(mode)) {
        return WriteFailure{Step::Open, *error};
    }
    auto error = file.write(bytes.data(), bytes.size());
    if (!error) {
        error = file.commit();
    }
    if (error) {
        return WriteFailure{Step::Write, *error};
    }
    return std::nullopt;
}

std::optional<SystemError> SafeFile::openRegular(QFile& file, const QString& path, QIODevice::OpenMode mode)
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
        return SystemError{EIO, file.errorString()};
    }
    return std::nullopt;
}

bool SafeFile::isSameFile(const QFile& opened, const QString& path)
{
    return opened.isOpen() && sameFile(opened.handle(), path);
}

void SafeFile::removeStaleTemporaries(const QString& path)
{
    const QFileInfo info(path);
    const QDir folder = info.dir();
    // createTemporary's names: the file's own name, a dot, up to eight lowercase hex digits, ".tmp".
    static const QRegularExpression suffix(QStringLiteral("^\\.[0-9a-f]{1,8}\\.tmp$"));
    const QString name = info.fileName();
    // Filtered here rather than by a wildcard, which the name's own brackets would change.
    const QStringList candidates =
        folder.entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& candidate : candidates) {
        if (candidate.startsWith(name) && suffix.match(QStringView(candidate).mid(name.size())).hasMatch()) {
            removeFile(folder.filePath(candidate));
        }
    }
}

std::optional<SystemError> SafeFile::restoreLength(const QString& path, qint64 oldLength)
{
    int fd = -1;
    if (auto error = openDescriptor(path, OpenWrite, fd)) {
        return fileNotFound(*error) ? std::nullopt : error;
    }
    qint64 length = 0;
    auto error = lengthOf(fd, length);
    const qint64 wanted = std::max<qint64>(oldLength, 0);
    if (!error && length != wanted) {
        error = truncateTo(fd, wanted);
        if (!error) {
            error = syncDescriptor(fd);
        }
    }
    closeDescriptor(fd);
    if (!error && oldLength < 0) {
        // Emptied on disk first, so a file that cannot be removed holds nothing that was taken back.
        removeFile(path);
        error = syncFolderOf(path);
    }
    return error;
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
