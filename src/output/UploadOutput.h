#pragma once
// The run engine's Output: writes the upload file and mails it, reading the live settings at every call. With mailing
// on, an appended upload file stays undoable until the mail is accepted or UndoUploadFile takes it back.
// Knows nothing of the run itself; message boxes go through MessageSink.

#include "output/MailSender.h"
#include "output/UploadFileWriter.h"
#include "protocol/Output.h"

class MessageSink;
struct ProgramPaths;
struct Settings;

class UploadOutput : public Output
{
public:
    UploadOutput(const Settings& settings, const ProgramPaths& paths, MessageSink& messages, const QString& title);

    bool WriteUploadFile(const QString& uploadPath) override;
    bool SendByMail(const QString& uploadPath, QString& mailError) override;
    std::optional<FileError> UndoUploadFile() override;

    // Tests shorten the bounds; the program keeps the defaults.
    void setMailTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total);

private:
    const Settings& m_settings;
    const ProgramPaths& m_paths;
    UploadFileWriter m_writer;
    MailSender m_mailer;
};
