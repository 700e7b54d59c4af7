#include "output/MailSender.h"

#include "config/MailPasswordStore.h"
#include "config/Settings.h"
#include "output/CurlMailJob.h"
#include "output/MailHeaders.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QUrl>
#include <QUuid>

#include <curl/curl.h>

#include <chrono>
#include <exception>
#include <string>
#include <thread>

namespace {

// RFC 6761: names under "invalid" never resolve, so they are refused without asking any name server.
bool isReservedInvalidHost(const QString& url)
{
    QString host = QUrl(url).host();
    if (host.endsWith(QLatin1Char('.'))) {
        host.chop(1);
    }
    return host.compare(QLatin1String("invalid"), Qt::CaseInsensitive) == 0 ||
           host.endsWith(QLatin1String(".invalid"), Qt::CaseInsensitive);
}

} // namespace

MailSender::Mail MailSender::testMail(const Settings& settings)
{
    return {settings.MailAddress,
            settings.FromMailAddress,
            QStringLiteral("[ﾃｽﾄ送信] ") + settings.MailSub,
            QStringLiteral("ZELBO_UDPからのﾃｽﾄ送信です。このﾒｰﾙに返信する必要はありません。"),
            QString(),
            settings.MailServer,
            settings.MailUser,
            std::nullopt};
}

MailSender::Failure MailSender::failureOf(const QString& mailError)
{
    bool ok = false;
    const int code = mailError.section(u' ', 0, 0).toInt(&ok);
    if (!ok) {
        return Failure::Other;
    }
    switch (code) {
    case CURLE_LOGIN_DENIED:
    case CURLE_USE_SSL_FAILED:
        return Failure::SignIn;
    case CURLE_SEND_ERROR:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_REMOTE_ACCESS_DENIED:
        return Failure::Refused;
    default:
        return Failure::Other;
    }
}

void MailSender::setTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total)
{
    m_connectTimeout = connect;
    m_totalTimeout = total;
}

bool MailSender::send(const Mail& mail, QString& mailError, QString* reply) const
{
    const auto report = [&mailError](CURLcode code, const std::string& description) {
        mailError =
            QString::number(int(code)) + QLatin1Char(' ') + QString::fromUtf8(description) + QStringLiteral("「SMTP」");
        return false;
    };

    if (const CURLcode init = curlGlobalInit(); init != CURLE_OK) {
        return report(init, curl_easy_strerror(init));
    }

    CurlMailJob job;
    job.url = MailHeaders::serverUrl(mail.server).toStdString();
    if (isReservedInvalidHost(QString::fromStdString(job.url))) {
        return report(CURLE_COULDNT_RESOLVE_HOST, std::string(curl_easy_strerror(CURLE_COULDNT_RESOLVE_HOST)) + ": " +
                                                      QUrl(QString::fromStdString(job.url)).host().toStdString());
    }
    job.from = mail.from.trimmed().toStdString();
    job.to = mail.to.trimmed().toStdString();
    job.body = mail.body.toStdString();
    job.attachmentPath = mail.attachmentPath;
    job.attachmentType = "text/plain; charset=Shift_JIS";
    job.disposition = ("Content-Disposition: attachment;\r\n " +
                       MailHeaders::fileNameParameter(QFileInfo(mail.attachmentPath).fileName()))
                          .toStdString();
    const QByteArray subject = MailHeaders::encodeHeaderText(mail.subject);
    job.headers = {
        "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toStdString(),
        "From: " + job.from,
        "To: " + job.to,
        (subject.isEmpty() ? QByteArray("Subject:") : "Subject: " + subject).toStdString(),
        ("Message-ID: <" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + "@" +
         MailHeaders::messageIdDomain(mail.from) + ">")
            .toStdString(),
    };
    job.caFile = QFile::encodeName(m_caFile).toStdString();
    if (!mail.user.trimmed().isEmpty()) {
        job.user = mail.user.trimmed().toStdString();
        QString failure;
        const std::optional<QString> password = mail.password ? mail.password : storedPassword(mail, failure);
        if (!password) {
            return report(CURLE_LOGIN_DENIED, failure.toStdString());
        }
        job.password = password->toStdString();
    }
    job.connectMs = long(m_connectTimeout.count());
    job.totalMs = long(m_totalTimeout.count());

    CurlMailOutcome outcome;
    const auto run = [&job, &outcome]() noexcept {
        try {
            outcome = performMailJob(job);
        } catch (const std::exception& error) {
            outcome = {CURLE_OUT_OF_MEMORY, error.what(), {}};
        }
    };

    if (QCoreApplication::instance() == nullptr) {
        run();
    } else {
        QEventLoop loop;
        std::thread worker;
        try {
            worker = std::thread([&run, &loop] {
                run();
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            });
        } catch (const std::exception& error) {
            return report(CURLE_FAILED_INIT, error.what());
        }
        // The window keeps handling input and timers while the mail is on its way.
        loop.exec();
        worker.join();
    }

    if (reply != nullptr) {
        *reply = QString::fromStdString(outcome.reply);
    }
    if (outcome.code == CURLE_USE_SSL_FAILED && !job.user.empty()) {
        return report(outcome.code,
                      "ｻｰﾊﾞｰがTLS(STARTTLS)に対応していないため、ﾕｰｻﾞｰ名とﾊﾟｽﾜｰﾄﾞを送らずに中止しました (" +
                          outcome.description + ")");
    }
    if (outcome.code != CURLE_OK) {
        return report(outcome.code, outcome.description);
    }
    return true;
}

std::optional<QString> MailSender::storedPassword(const Mail& mail, QString& failure) const
{
    const MailPasswordStore::Result stored =
        m_passwords != nullptr ? m_passwords->read(mail.server, mail.user.trimmed()) : MailPasswordStore::Result{};
    switch (stored.outcome) {
    case MailPasswordStore::Outcome::Done:
        return stored.password;
    case MailPasswordStore::Outcome::NotFound:
        failure = QStringLiteral("ﾒｰﾙのﾊﾟｽﾜｰﾄﾞが保存されていません。設定で入力してください : ") +
                  MailHeaders::passwordKey(mail.server, mail.user.trimmed());
        return std::nullopt;
    case MailPasswordStore::Outcome::Unavailable:
    case MailPasswordStore::Outcome::Failed:
        failure = QStringLiteral("ﾒｰﾙのﾊﾟｽﾜｰﾄﾞを読めません : ") + stored.error;
        return std::nullopt;
    default:
        failure = QStringLiteral("内部ｴﾗｰ: storedPassword");
        return std::nullopt;
    }
}
