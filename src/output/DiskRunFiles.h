#pragma once
// The run's staging and log files on disk, written in code page 932 with CR LF line ends. Lives beside the upload
// file writer, which reads the staging file back from stagingPath() once the run has closed it; writes are unbuffered
// for that reason. Both files are opened only as regular files.

#include "protocol/RunFiles.h"

#include <QFile>
#include <QString>

class DiskRunFiles : public RunFiles
{
public:
    explicit DiskRunFiles(const QString& backFilePath);

    const QString& stagingPath() const { return m_backFilePath; }

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
