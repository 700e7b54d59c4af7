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
    m_held.clear();
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
    // Held until the end of the file or of the cycle: one write then rather than one per record. A crash meanwhile
    // loses nothing, as the terminal keeps every record until the cycle's final "ACK".
    m_held += Cp932::encode(line);
    m_held.append("\r\n", 2);
    return std::nullopt;
}

std::optional<SystemError> DiskRunFiles::flushStaging()
{
    if (m_held.isEmpty()) {
        return std::nullopt;
    }
    if (!m_staging.isOpen()) {
        return SystemError::fromErrno(EBADF);
    }
    errno = 0;
    const qint64 written = m_staging.write(m_held);
    const int saved = errno;
    const bool complete = written == m_held.size();
    m_held.clear();
    return complete ? std::nullopt : std::optional<SystemError>(lastError(m_staging, saved));
}

void DiskRunFiles::writeLogLine(const QString& line)
{
    if (m_log.isOpen()) {
        const QByteArray bytes = lineBytes(line);
        m_log.write(bytes);
    }
}

void DiskRunFiles::writeLogLines(const QStringList& lines)
{
    if (!m_log.isOpen() || lines.isEmpty()) {
        return;
    }
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += lineBytes(line);
    }
    m_log.write(bytes);
}

void DiskRunFiles::closeAll()
{
    // A failed cycle's records stay in the staging file, as far as the disk takes them.
    (void)flushStaging();
    m_staging.close();
    m_log.close();
}
