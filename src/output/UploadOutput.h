#pragma once
// The run engine's Output: writes the upload file from the run's staging file and mails it, reading the live settings
// at every call. With mailing on, an appended upload file stays undoable until the mail is accepted or UndoUploadFile
// takes it back. Knows nothing of the run itself; message boxes go through MessageSink.

#include "output/MailSender.h"
#include "output/UploadFileWriter.h"
#include "protocol/Output.h"

class DiskRunFiles;
class MessageSink;
struct Settings;

class UploadOutput : public Output
{
public:
    // The staging file is the one staging writes: its path is given once, to DiskRunFiles.
    UploadOutput(const Settings& settings, const DiskRunFiles& staging, MessageSink& messages, const QString& title);

    bool WriteUploadFile(const QString& uploadPath) override;
    bool SendByMail(const QString& uploadPath, QString& mailError) override;
    std::optional<SystemError> UndoUploadFile() override;

    // Tests shorten the bounds; the program keeps the defaults.
    void setMailTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total);

private:
    const Settings& m_settings;
    const DiskRunFiles& m_staging;
    UploadFileWriter m_writer;
    MailSender m_mailer;
};
