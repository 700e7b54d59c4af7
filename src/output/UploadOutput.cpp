#include "output/UploadOutput.h"

#include "config/ProgramPaths.h"
#include "config/Settings.h"

UploadOutput::UploadOutput(const Settings& settings, const ProgramPaths& paths, MessageSink& messages,
                           const QString& title)
    : m_settings(settings), m_paths(paths), m_writer(messages, title)
{
}

bool UploadOutput::WriteUploadFile(const QString& uploadPath)
{
    return m_writer.write(m_paths.BackFilePath, uploadPath, m_settings.OverWrite, m_settings.FieldSelect,
                          m_settings.SendMail == 1);
}

bool UploadOutput::SendByMail(const QString& uploadPath, QString& mailError)
{
    // The message body is always empty.
    const MailSender::Mail mail{
        m_settings.MailAddress, m_settings.FromMailAddress, m_settings.MailSub, QString(), uploadPath,
        m_settings.MailServer};
    if (!m_mailer.send(mail, mailError)) {
        return false;
    }
    m_writer.keepAppend();
    return true;
}

std::optional<FileError> UploadOutput::UndoUploadFile()
{
    if (const auto error = m_writer.undoAppend()) {
        return FileError{error->number, error->description};
    }
    return std::nullopt;
}

void UploadOutput::setMailTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total)
{
    m_mailer.setTimeouts(connect, total);
}
