#pragma once
// Mails one file as an attachment through libcurl's SMTP client; the header texts come from MailHeaders. The blocking
// send runs on a worker thread that shares nothing with the caller, while the caller's event loop keeps running until
// the result is back. No widgets.

#include <QString>

#include <chrono>
#include <optional>

class MailPasswordStore;
struct Settings;

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
        QString attachmentPath; // empty: no attachment
        QString server;
        // Not empty: sign in, over TLS only, with this password or else the one stored for server and user.
        QString user;
        std::optional<QString> password;
    };

    // What a failed send's mailError says of it. Refused: the server answered no to the sender, a recipient or the
    // message (also a connection lost in the middle of sending, which curl reports alike). SignIn: the server refused
    // the sign-in, no password is stored for it, or the server offers no TLS to sign in over. Other: no server, a
    // time-out, a broken connection, which pass by themselves or last as any failure does.
    enum class Failure
    {
        Refused,
        SignIn,
        Other,
    };
    static Failure failureOf(const QString& mailError);

    // The settings dialog's test message: the settings' addresses, server and user, the subject marked as a test, a
    // short body and no attachment.
    static Mail testMail(const Settings& settings);

    // The total bound covers resolving, connecting, the whole SMTP dialogue, the upload of the attachment and closing
    // the connection: a silent server holds a send for at most that long.
    void setTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total);
    // Where stored passwords are read; without one a mail with a user fails before connecting.
    void setPasswordStore(MailPasswordStore* store) { m_passwords = store; }
    // Certificates to trust instead of the system's (a test server's own).
    void setCaFile(const QString& path) { m_caFile = path; }

    // Returns once the send has finished: true when the server accepted the message. Otherwise mailError becomes the
    // error number, one blank, the description and the source name; on success it is left as it was. reply, when
    // given, receives the server's last answer before QUIT.
    bool send(const Mail& mail, QString& mailError, QString* reply = nullptr) const;

private:
    // The stored password of mail's server and user; otherwise failure says why.
    std::optional<QString> storedPassword(const Mail& mail, QString& failure) const;

    std::chrono::milliseconds m_connectTimeout = DefaultConnectTimeout;
    std::chrono::milliseconds m_totalTimeout = DefaultTotalTimeout;
    MailPasswordStore* m_passwords = nullptr;
    QString m_caFile;
};
