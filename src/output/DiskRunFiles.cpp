#include "output/DiskRunFiles.h"

#include "base/Cp932.h"
#include "base/SafeFile.h"

#include <cerrno>

namespace {

// errno as left by the failing call; where the platform sets none, a code that matches Qt's error class.
SystemError lastError(const QFile& file, int savedErrno)
{
    SystemError error;
    if (savedErrno != 0) {
        error.number = savedErrno;
    } else {
        switch (file.error()) {
        case QFileDevice::PermissionsError:
            error.number = EACCES;
            break;
        case QFileDevice::ResourceError:
            error.number = ENOSPC;
            break;
        case QFileDevice::OpenError:
            error.number = ENOENT;
            break;
        default:
            error.number = EIO;
            break;
        }
    }
    // A short write is not an error to Qt; the errno of the call that stopped it is (with the C library's text: on
    // Windows Qt's own texts are for the system's codes, which number faults differently).
    error.description =
        file.error() != QFileDevice::NoError ? file.errorString() : SystemError::fromErrno(error.number).description;
    return error;
}

// A FIFO or device in place of a file would block the open, and with it the whole window.
std::optional<SystemError> openTruncated(QFile& file, const QString& path, QIODevice::OpenMode extra)
{
    if (const auto error = SafeFile::openRegular(file, path, QIODevice::WriteOnly | QIODevice::Truncate | extra)) {
        return error;
    }
    return std::nullopt;
}

QByteArray lineBytes(const QString& line)
{
    QByteArray bytes = Cp932::encode(line);
    bytes.append("\r\n", 2);
    return bytes;
}

} // namespace

DiskRunFiles::DiskRunFiles(const QString& backFilePath) : m_backFilePath(backFilePath) {}

std::optional<SystemError> DiskRunFiles::openStaging()
{
    return openTruncated(m_staging, m_backFilePath, QIODevice::Unbuffered);
}

std::optional<SystemError> DiskRunFiles::openLog(const QString& logPath)
{
    // Unbuffered: the log of a cycle that ended in a kill is the one a person needs.
    return openTruncated(m_log, logPath, QIODevice::Unbuffered);
}

std::optional<SystemError> DiskRunFiles::writeStagingLine(const QString& line)
{
    if (!m_staging.isOpen()) {
        return SystemError::fromErrno(EBADF);
    }
    const QByteArray bytes = lineBytes(line);
    errno = 0;
    // Unbuffered: the bytes are in the file when write returns, so the writer sees every record.
    if (m_staging.write(bytes) != bytes.size()) {
        const int saved = errno;
        return lastError(m_staging, saved);
    }
    return std::nullopt;
}

void DiskRunFiles::writeLogLine(const QString& line)
{
    if (m_log.isOpen()) {
        const QByteArray bytes = lineBytes(line);
        m_log.write(bytes);
    }
}

void DiskRunFiles::closeAll()
{
    m_staging.close();
    m_log.close();
}
