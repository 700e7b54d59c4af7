#pragma once
// The run's staging and log files on disk, written in code page 932 with CR LF line ends. The upload file writer reads
// the staging file back from stagingPath() once the cycle has flushed and closed it. Records are held in memory until
// then; every log line goes straight to its file, there for a person after a crash. Both files are opened only as
// regular files.

#include "base/SystemError.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>

class DiskRunFiles
{
public:
    explicit DiskRunFiles(const QString& backFilePath);

    const QString& stagingPath() const { return m_backFilePath; }

    virtual ~DiskRunFiles() = default;

    // Creates or empties the staging file.
    std::optional<SystemError> openStaging();
    // Creates or empties the log file at logPath.
    std::optional<SystemError> openLog(const QString& logPath);
    // One line + CR LF in code page 932, held until flushStaging(). Virtual for tests that fail it.
    virtual std::optional<SystemError> writeStagingLine(const QString& line);
    // Writes the held lines to the staging file.
    std::optional<SystemError> flushStaging();
    // Best effort: a failing log never stops a transfer.
    void writeLogLine(const QString& line);
    // Several lines in one write.
    void writeLogLines(const QStringList& lines);
    // Flushes the held lines (best effort) and closes whatever is open; harmless when nothing is.
    void closeAll();

private:
    QString m_backFilePath;
    QFile m_staging;
    QFile m_log;
    QByteArray m_held;
};
