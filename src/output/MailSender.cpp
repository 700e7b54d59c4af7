#include "output/MailSender.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QUrl>
#include <QUuid>

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Printable ASCII fits a header unchanged; longer texts are encoded so that no line gets near the 998-byte limit.
constexpr qsizetype PlainHeaderMaxChars = 200;
// 45 bytes become 60 base64 characters, keeping each encoded-word within the 75 characters RFC 2047 allows.
constexpr qsizetype EncodedWordMaxBytes = 45;

// Everything the worker needs, copied before it starts, so that it touches nothing the caller owns.
struct Job
{
    std::string url;
    std::string from;
    std::string to;
    std::vector<std::string> headers;
    std::string body;
    QString attachmentPath;
    std::string attachmentType;
    std::string disposition;
    long connectMs = 0;
    long totalMs = 0;
};

using SteadyClock = std::chrono::steady_clock;

struct Outcome
{
    CURLcode code = CURLE_OK;
    std::string description;
};

struct CurlDeleter
{
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

template <typename T> using CurlPtr = std::unique_ptr<T, CurlDeleter>;

CURLcode globalInit()
{
    // A function-local static is initialised exactly once, even when two threads get here together.
    static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    return result;
}

bool isPlainHeaderChar(QChar c)
{
    return c.unicode() >= 0x20 && c.unicode() <= 0x7E;
}

// libcurl reports the server's replies line by line; the last refusal explains a failure better than the code alone.
int keepRefusal(CURL* /*curl*/, curl_infotype type, char* data, size_t size, void* user)
{
    if (type == CURLINFO_HEADER_IN && size > 0 && (data[0] == '4' || data[0] == '5')) {
        std::string line(data, size);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
            line.pop_back();
        }
        *static_cast<std::string*>(user) = line;
    }
    return 0;
}

// libcurl's overall time-out does not cover the wait for the QUIT reply when the connection closes, so the progress
// callback, which libcurl also calls about once a second while it waits for any reply, enforces the one deadline.
int abortAfterDeadline(void* deadline, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return SteadyClock::now() >= *static_cast<const SteadyClock::time_point*>(deadline) ? 1 : 0;
}

std::string describe(CURLcode code, const char* detail, const std::string& refusal)
{
    std::string text = curl_easy_strerror(code);
    std::string extra = detail;
    while (!extra.empty() && (extra.back() == '\n' || extra.back() == '\r')) {
        extra.pop_back();
    }
    if (!extra.empty() && extra != text) {
        text += ": " + extra;
    }
    if (!refusal.empty() && extra.find(refusal) == std::string::npos) {
        text += " (" + refusal + ")";
    }
    return text;
}

CurlPtr<curl_slist> makeList(const std::vector<std::string>& lines, CURLcode& code)
{
    curl_slist* list = nullptr;
    for (const std::string& line : lines) {
        curl_slist* grown = curl_slist_append(list, line.c_str());
        if (grown == nullptr) {
            code = CURLE_OUT_OF_MEMORY;
            break;
        }
        list = grown;
    }
    return CurlPtr<curl_slist>(list);
}

Outcome perform(const Job& job)
{
    const SteadyClock::time_point deadline = SteadyClock::now() + std::chrono::milliseconds(job.totalMs);
    CurlPtr<CURL> curl(curl_easy_init());
    if (!curl) {
        return {CURLE_FAILED_INIT, curl_easy_strerror(CURLE_FAILED_INIT)};
    }
    char detail[CURL_ERROR_SIZE] = {};
    std::string refusal;
    CURLcode code = CURLE_OK;
    const auto set = [&](CURLoption option, auto value) {
        if (code == CURLE_OK) {
            code = curl_easy_setopt(curl.get(), option, value);
        }
    };

    CurlPtr<curl_slist> recipients = makeList({job.to}, code);
    CurlPtr<curl_slist> headers = makeList(job.headers, code);
    CurlPtr<curl_mime> mime(curl_mime_init(curl.get()));
    if (code == CURLE_OK && !mime) {
        code = CURLE_OUT_OF_MEMORY;
    }

    if (code == CURLE_OK) {
        curl_mimepart* body = curl_mime_addpart(mime.get());
        code = body == nullptr ? CURLE_OUT_OF_MEMORY : curl_mime_data(body, job.body.data(), job.body.size());
        if (code == CURLE_OK) {
            code = curl_mime_type(body, "text/plain; charset=UTF-8");
        }
    }
    if (code == CURLE_OK) {
        curl_mimepart* attachment = curl_mime_addpart(mime.get());
        if (attachment == nullptr) {
            code = CURLE_OUT_OF_MEMORY;
        } else {
            // Read here rather than by libcurl, which opens a Windows path in the ANSI code page or as UTF-8
            // depending on its build; QFile opens any name on every platform.
            QFile file(job.attachmentPath);
            const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            if (file.error() != QFileDevice::NoError) {
                const QString detail =
                    QDir::toNativeSeparators(job.attachmentPath) + QStringLiteral(": ") + file.errorString();
                return {CURLE_READ_ERROR, describe(CURLE_READ_ERROR, detail.toUtf8().constData(), {})};
            }
            code = curl_mime_data(attachment, bytes.constData(), size_t(bytes.size()));
        }
        if (code == CURLE_OK) {
            code = curl_mime_type(attachment, job.attachmentType.c_str());
        }
        if (code == CURLE_OK) {
            // base64 carries the file's bytes unchanged, line ends and cp932 included.
            code = curl_mime_encoder(attachment, "base64");
        }
        CurlPtr<curl_slist> partHeaders = makeList({job.disposition}, code);
        if (code == CURLE_OK) {
            // Our own Content-Disposition replaces libcurl's, which would write a non-ASCII name as raw bytes.
            code = curl_mime_headers(attachment, partHeaders.get(), 1);
            if (code == CURLE_OK) {
                partHeaders.release();
            }
        }
    }

    set(CURLOPT_ERRORBUFFER, detail);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_URL, job.url.c_str());
    set(CURLOPT_MAIL_FROM, job.from.c_str());
    set(CURLOPT_MAIL_RCPT, recipients.get());
    set(CURLOPT_HTTPHEADER, headers.get());
    set(CURLOPT_MIMEPOST, mime.get());
    set(CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    set(CURLOPT_CONNECTTIMEOUT_MS, job.connectMs);
    set(CURLOPT_TIMEOUT_MS, job.totalMs);
    // Without it each reply, QUIT's included, may take libcurl's default of 120 s.
    set(CURLOPT_SERVER_RESPONSE_TIMEOUT, (job.totalMs + 999) / 1000);
    // The connection is closed inside curl_easy_perform, under the deadline, instead of later in curl_easy_cleanup.
    set(CURLOPT_FORBID_REUSE, 1L);
    // A host lookup still running at the time-out is left to finish on its own instead of being waited for.
    set(CURLOPT_QUICK_EXIT, 1L);
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, &abortAfterDeadline);
    set(CURLOPT_XFERINFODATA, static_cast<const void*>(&deadline));
    set(CURLOPT_DEBUGFUNCTION, &keepRefusal);
    set(CURLOPT_DEBUGDATA, static_cast<void*>(&refusal));
    set(CURLOPT_VERBOSE, 1L);
    if (code != CURLE_OK) {
        return {code, describe(code, detail, {})};
    }
    code = curl_easy_perform(curl.get());
    if (code == CURLE_ABORTED_BY_CALLBACK) {
        code = CURLE_OPERATION_TIMEDOUT;
        return {code, describe(code, ("Mail not finished within " + std::to_string(job.totalMs) + " ms").c_str(), {})};
    }
    if (code != CURLE_OK) {
        return {code, describe(code, detail, refusal)};
    }
    return {};
}

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

QByteArray messageIdDomain(const QString& from)
{
    const qsizetype at = from.lastIndexOf(QLatin1Char('@'));
    const QString domain = at >= 0 ? from.mid(at + 1).trimmed() : QString();
    for (const QChar c : domain) {
        if (!isPlainHeaderChar(c) || c == QLatin1Char('>') || c == QLatin1Char(' ')) {
            return "localhost";
        }
    }
    return domain.isEmpty() ? QByteArray("localhost") : domain.toLatin1();
}

} // namespace

void MailSender::setTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total)
{
    m_connectTimeout = connect;
    m_totalTimeout = total;
}

bool MailSender::send(const Mail& mail, QString& mailError) const
{
    const auto report = [&mailError](CURLcode code, const std::string& description) {
        mailError =
            QString::number(int(code)) + QLatin1Char(' ') + QString::fromUtf8(description) + QStringLiteral("「SMTP」");
        return false;
    };

    if (const CURLcode init = globalInit(); init != CURLE_OK) {
        return report(init, curl_easy_strerror(init));
    }

    Job job;
    job.url = serverUrl(mail.server).toStdString();
    if (isReservedInvalidHost(QString::fromStdString(job.url))) {
        return report(CURLE_COULDNT_RESOLVE_HOST, std::string(curl_easy_strerror(CURLE_COULDNT_RESOLVE_HOST)) + ": " +
                                                      QUrl(QString::fromStdString(job.url)).host().toStdString());
    }
    job.from = mail.from.trimmed().toStdString();
    job.to = mail.to.trimmed().toStdString();
    job.body = mail.body.toStdString();
    job.attachmentPath = mail.attachmentPath;
    job.attachmentType = "text/plain; charset=Shift_JIS";
    job.disposition =
        ("Content-Disposition: attachment;\r\n " + fileNameParameter(QFileInfo(mail.attachmentPath).fileName()))
            .toStdString();
    const QByteArray subject = encodeHeaderText(mail.subject);
    job.headers = {
        "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toStdString(),
        "From: " + job.from,
        "To: " + job.to,
        (subject.isEmpty() ? QByteArray("Subject:") : "Subject: " + subject).toStdString(),
        ("Message-ID: <" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + "@" + messageIdDomain(mail.from) +
         ">")
            .toStdString(),
    };
    job.connectMs = long(m_connectTimeout.count());
    job.totalMs = long(m_totalTimeout.count());

    Outcome outcome;
    const auto run = [&job, &outcome]() noexcept {
        try {
            outcome = perform(job);
        } catch (const std::exception& error) {
            outcome = {CURLE_OUT_OF_MEMORY, error.what()};
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

    if (outcome.code != CURLE_OK) {
        return report(outcome.code, outcome.description);
    }
    return true;
}

QString MailSender::serverUrl(const QString& mailServer)
{
    const QString server = mailServer.trimmed();
    if (server.startsWith(QLatin1String("smtp://"), Qt::CaseInsensitive) ||
        server.startsWith(QLatin1String("smtps://"), Qt::CaseInsensitive)) {
        return server;
    }
    const QString scheme = QStringLiteral("smtp://");
    const QString defaultPort = QStringLiteral(":25");
    if (server.startsWith(QLatin1Char('['))) {
        return scheme + server + (server.endsWith(QLatin1Char(']')) ? defaultPort : QString());
    }
    switch (server.count(QLatin1Char(':'))) {
    case 0:
        return scheme + server + defaultPort;
    case 1:
        return scheme + server;
    default:
        // A bare IPv6 address: its colons are not a port separator.
        return scheme + QLatin1Char('[') + server + QLatin1Char(']') + defaultPort;
    }
}

QByteArray MailSender::encodeHeaderText(const QString& text)
{
    const bool plain = text.size() <= PlainHeaderMaxChars && !text.contains(QLatin1String("=?")) &&
                       std::all_of(text.cbegin(), text.cend(), isPlainHeaderChar);
    if (plain) {
        return text.toLatin1();
    }
    QByteArray encoded;
    QByteArray chunk;
    const auto emitWord = [&]() {
        if (!encoded.isEmpty()) {
            encoded += "\r\n ";
        }
        encoded += "=?UTF-8?B?" + chunk.toBase64() + "?=";
        chunk.clear();
    };
    // Words are cut between characters, never inside one, so each decodes on its own.
    for (const char32_t ucs : text.toUcs4()) {
        const QByteArray bytes = QString::fromUcs4(&ucs, 1).toUtf8();
        if (chunk.size() + bytes.size() > EncodedWordMaxBytes) {
            emitWord();
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty()) {
        emitWord();
    }
    return encoded;
}

QByteArray MailSender::fileNameParameter(const QString& fileName)
{
    const bool plain = std::all_of(fileName.cbegin(), fileName.cend(), [](QChar c) {
        return isPlainHeaderChar(c) && c != QLatin1Char('"') && c != QLatin1Char('\\');
    });
    if (plain) {
        return "filename=\"" + fileName.toLatin1() + "\"";
    }
    QByteArray parameter = "filename*=UTF-8''";
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (const char byte : fileName.toUtf8()) {
        const auto c = static_cast<unsigned char>(byte);
        const bool attributeChar = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                   QByteArrayView("!#$&+-.^_`|~").contains(char(c));
        if (attributeChar) {
            parameter += char(c);
        } else {
            parameter += '%';
            parameter += Hex[c >> 4];
            parameter += Hex[c & 0x0F];
        }
    }
    return parameter;
}
