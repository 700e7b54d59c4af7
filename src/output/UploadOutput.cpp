#include "output/UploadOutput.h"

#include "config/Settings.h"
#include "output/DiskRunFiles.h"

UploadOutput::UploadOutput(const Settings& settings, const DiskRunFiles& staging, MessageSink& messages,
                           const QString& title)
    : m_settings(settings), m_staging(staging), m_writer(messages, title)
{
}

bool UploadOutput::WriteUploadFile(const QString& uploadPath)
{
    return m_writer.write(m_staging.stagingPath(), uploadPath, m_settings.OverWrite, m_settings.FieldSelect,
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

std::optional<SystemError> UploadOutput::UndoUploadFile()
{
    return m_writer.undoAppend();
}

void UploadOutput::setMailTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total)
{
    m_mailer.setTimeouts(connect, total);
}
