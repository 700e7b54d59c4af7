#pragma once
// Mails one file as an attachment through libcurl's SMTP client; the header texts come from MailHeaders. The blocking
// send runs on a worker thread that shares nothing with the caller, while the caller's event loop keeps running until
// the result is back. No widgets.

#include <QString>

#include <chrono>

class MailSender
{
public:
    static constexpr std::chrono::milliseconds DefaultConnectTimeout{10000};
    static constexpr std::chrono::milliseconds DefaultTotalTimeout{60000};

    struct Mail
    {
        QString to;
        QString from;
        QString subject;
        QString body;
        QString attachmentPath;
        QString server;
    };

    // The total bound covers resolving, connecting, the whole SMTP dialogue, the upload of the attachment and closing
    // the connection: a silent server holds a send for at most that long.
    void setTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total);

    // Returns once the send has finished: true when the server accepted the message. Otherwise mailError becomes the
    // error number, one blank, the description and the source name; on success it is left as it was.
    bool send(const Mail& mail, QString& mailError) const;

private:
    std::chrono::milliseconds m_connectTimeout = DefaultConnectTimeout;
    std::chrono::milliseconds m_totalTimeout = DefaultTotalTimeout;
};
