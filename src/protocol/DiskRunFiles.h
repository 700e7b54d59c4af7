#pragma once
// The run's staging and log files on disk, written in code page 932 with CR LF line ends.
// Writes are unbuffered: the writer reopens the staging file by path once the run has closed it. Both are opened only
// as regular files.

#include "protocol/RunFiles.h"

#include <QFile>
#include <QString>

class DiskRunFiles : public RunFiles
{
public:
    explicit DiskRunFiles(const QString& backFilePath);

    std::optional<SystemError> OpenStaging() override;
    std::optional<SystemError> OpenLog(const QString& logPath) override;
    std::optional<SystemError> WriteStagingLine(const QString& line) override;
    void WriteLogLine(const QString& line) override;
    void CloseAll() override;

private:
    QString m_backFilePath;
    QFile m_staging;
    QFile m_log;
};
