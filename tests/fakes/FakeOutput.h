#pragma once
// The cycle's files for run tests: real staging and log files (DiskRunFiles, which a test may replace with a failing
// one), a recorded upload file and mail with scripted results. A test may give a writer function, for example one that
// copies the staging file, to look at the files at the moment the run hands them over.

#include "config/Settings.h"
#include "output/DiskRunFiles.h"
#include "protocol/Output.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class FakeOutput : public Output
{
public:
    FakeOutput(const Settings& settings, const QString& backPath)
        : files(std::make_unique<DiskRunFiles>(backPath)), m_settings(settings)
    {
    }

    RecoveryReport recoverCycle() override { return recovery; }
    std::optional<OpenFailure> beginCycle(const QString& logPath) override
    {
        if (!QFileInfo(logPath).dir().exists()) {
            return OpenFailure{CycleFile::SaveFolder, {2, QStringLiteral("No such file or directory")}};
        }
        if (auto error = files->openStaging()) {
            return OpenFailure{CycleFile::Staging, *error};
        }
        if (auto error = files->openLog(logPath)) {
            return OpenFailure{CycleFile::Log, *error};
        }
        return std::nullopt;
    }
    std::optional<SystemError> writeRecord(const QString& line) override { return files->writeStagingLine(line); }
    std::optional<SystemError> closeRecords() override { return files->flushStaging(); }
    void writeLogLine(const QString& line) override { files->writeLogLine(line); }
    Stored WriteUploadFile(const QString& uploadPath) override
    {
        files->closeAll();
        m_uploadPath = uploadPath;
        writeCalls.append(uploadPath);
        record(QStringLiteral("WriteUploadFile ") + uploadPath);
        if (!(writer ? writer(uploadPath) : writeResult)) {
            return Stored::Failed;
        }
        return alreadyStored ? Stored::AlreadyStored : Stored::Written;
    }
    Mail SendByMail(QString& mailError) override
    {
        if (m_settings.SendMail != 1) {
            return Mail::NotMailed;
        }
        if (alreadyStored && mailAlreadySent) {
            return Mail::AlreadySent;
        }
        mailCalls.append(m_uploadPath);
        record(QStringLiteral("SendByMail ") + m_uploadPath);
        if (!mailResult) {
            mailError = mailErrorText;
            return Mail::Failed;
        }
        return Mail::Sent;
    }
    // Only take-backs are recorded: keeping the files needs nothing of the output.
    std::optional<SystemError> settleCycle(bool acknowledged) override
    {
        if (acknowledged) {
            return std::nullopt;
        }
        record(QStringLiteral("settleCycle CAN"));
        return undoError;
    }
    void endCycle(bool) override { files->closeAll(); }
    QString recordCycle(const CycleSummary& summary) override
    {
        cycles.append(summary);
        return QString();
    }

    std::unique_ptr<DiskRunFiles> files;
    RecoveryReport recovery;
    bool writeResult = true;
    bool alreadyStored = false;
    bool mailAlreadySent = false;
    std::function<bool(const QString&)> writer;
    bool mailResult = true;
    QString mailErrorText = QStringLiteral("10061 接続できません。ZelboMail");
    std::optional<SystemError> undoError;

    QList<CycleSummary> cycles;
    QStringList writeCalls;
    QStringList mailCalls;
    QStringList* journal = nullptr;

private:
    void record(const QString& entry)
    {
        if (journal) {
            journal->append(entry);
        }
    }

    const Settings& m_settings;
    QString m_uploadPath;
};
