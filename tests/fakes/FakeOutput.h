#pragma once
// Records the end-of-cycle calls with scripted results. A test may give a writer function, for example one that
// copies the staging file, to look at the files at the moment the run hands them over.

#include "protocol/Output.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class FakeOutput : public Output
{
public:
    bool WriteUploadFile(const QString& uploadPath) override
    {
        writeCalls.append(uploadPath);
        record(QStringLiteral("WriteUploadFile ") + uploadPath);
        return writer ? writer(uploadPath) : writeResult;
    }
    bool SendByMail(const QString& uploadPath, QString& mailError) override
    {
        mailCalls.append(uploadPath);
        record(QStringLiteral("SendByMail ") + uploadPath);
        if (!mailResult) {
            mailError = mailErrorText;
        }
        return mailResult;
    }
    std::optional<SystemError> UndoUploadFile() override
    {
        record(QStringLiteral("UndoUploadFile"));
        return undoError;
    }

    bool writeResult = true;
    std::function<bool(const QString&)> writer;
    bool mailResult = true;
    QString mailErrorText = QStringLiteral("10061 接続できません。ZelboMail");
    std::optional<SystemError> undoError;

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
};
