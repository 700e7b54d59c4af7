#pragma once
// The run's staging and log files on disk, written in code page 932 with CR LF line ends. The upload file writer reads
// the staging file back from stagingPath() once the cycle has closed it. Writes are unbuffered: every record is in the
// file for the writer, and every log line is there for a person after a crash. Both files are opened only as regular
// files.

#include "base/SystemError.h"

#include <QFile>
#include <QString>

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
    // One line + CR LF in code page 932, in the file before this returns. Virtual for tests that fail it.
    virtual std::optional<SystemError> writeStagingLine(const QString& line);
    // Best effort: a failing log never stops a transfer.
    void writeLogLine(const QString& line);
    // Closes whatever is open; harmless when nothing is.
    void closeAll();

private:
    QString m_backFilePath;
    QFile m_staging;
    QFile m_log;
};
