#include "output/CurlMailJob.h"

#include <QDir>
#include <QFile>

#include <chrono>
#include <memory>

namespace {

using SteadyClock = std::chrono::steady_clock;

struct CurlDeleter
{
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

template <typename T> using CurlPtr = std::unique_ptr<T, CurlDeleter>;

struct Replies
{
    std::string refusal; // the last 4xx or 5xx line
    std::string last;    // the last line before QUIT
    bool quitting = false;
};

std::string trimLineEnd(const char* data, size_t size)
{
    std::string line(data, size);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.pop_back();
    }
    return line;
}

// libcurl reports the server's replies line by line; the last refusal explains a failure better than the code alone,
// and the last answer before QUIT is the server's word on the message.
int keepReplies(CURL* /*curl*/, curl_infotype type, char* data, size_t size, void* user)
{
    auto& replies = *static_cast<Replies*>(user);
    if (type == CURLINFO_HEADER_OUT && size >= 4 && std::string(data, 4) == "QUIT") {
        replies.quitting = true;
    }
    if (type != CURLINFO_HEADER_IN || size == 0) {
        return 0;
    }
    const std::string line = trimLineEnd(data, size);
    if (data[0] == '4' || data[0] == '5') {
        replies.refusal = line;
    }
    if (!replies.quitting) {
        replies.last = line;
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

// The attachment's part: read here rather than by libcurl, which opens a Windows path in the ANSI code page or as
// UTF-8 depending on its build; QFile opens any name on every platform.
CURLcode addAttachment(curl_mime* mime, const CurlMailJob& job, std::string& readError)
{
    curl_mimepart* attachment = curl_mime_addpart(mime);
    if (attachment == nullptr) {
        return CURLE_OUT_OF_MEMORY;
    }
    QFile file(job.attachmentPath);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (file.error() != QFileDevice::NoError) {
        readError = (QDir::toNativeSeparators(job.attachmentPath) + QStringLiteral(": ") + file.errorString())
                        .toUtf8()
                        .toStdString();
        return CURLE_READ_ERROR;
    }
    CURLcode code = curl_mime_data(attachment, bytes.constData(), size_t(bytes.size()));
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
    return code;
}

CURLcode buildMime(curl_mime* mime, const CurlMailJob& job, std::string& readError)
{
    if (mime == nullptr) {
        return CURLE_OUT_OF_MEMORY;
    }
    curl_mimepart* body = curl_mime_addpart(mime);
    CURLcode code = body == nullptr ? CURLE_OUT_OF_MEMORY : curl_mime_data(body, job.body.data(), job.body.size());
    if (code == CURLE_OK) {
        code = curl_mime_type(body, "text/plain; charset=UTF-8");
    }
    if (code == CURLE_OK && !job.attachmentPath.isEmpty()) {
        code = addAttachment(mime, job, readError);
    }
    return code;
}

} // namespace

CURLcode curlGlobalInit()
{
    // A function-local static is initialised exactly once, even when two threads get here together.
    static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    return result;
}

CurlMailOutcome performMailJob(const CurlMailJob& job)
{
    const SteadyClock::time_point deadline = SteadyClock::now() + std::chrono::milliseconds(job.totalMs);
    CurlPtr<CURL> curl(curl_easy_init());
    if (!curl) {
        return {CURLE_FAILED_INIT, curl_easy_strerror(CURLE_FAILED_INIT), {}};
    }
    char detail[CURL_ERROR_SIZE] = {};
    Replies replies;
    CURLcode code = CURLE_OK;
    const auto set = [&](CURLoption option, auto value) {
        if (code == CURLE_OK) {
            code = curl_easy_setopt(curl.get(), option, value);
        }
    };

    CurlPtr<curl_slist> recipients = makeList({job.to}, code);
    CurlPtr<curl_slist> headers = makeList(job.headers, code);
    CurlPtr<curl_mime> mime(curl_mime_init(curl.get()));
    if (code == CURLE_OK) {
        std::string readError;
        code = buildMime(mime.get(), job, readError);
        if (code == CURLE_READ_ERROR) {
            return {code, describe(code, readError.c_str(), {}), {}};
        }
    }

    const bool signIn = !job.user.empty();
    set(CURLOPT_ERRORBUFFER, detail);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_URL, job.url.c_str());
    set(CURLOPT_MAIL_FROM, job.from.c_str());
    set(CURLOPT_MAIL_RCPT, recipients.get());
    set(CURLOPT_HTTPHEADER, headers.get());
    set(CURLOPT_MIMEPOST, mime.get());
    // With a user, TLS or nothing: libcurl stops after EHLO, before AUTH, when the server offers no STARTTLS.
    set(CURLOPT_USE_SSL, static_cast<long>(signIn ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    if (signIn) {
        set(CURLOPT_USERNAME, job.user.c_str());
        set(CURLOPT_PASSWORD, job.password.c_str());
    }
    if (!job.caFile.empty()) {
        set(CURLOPT_CAINFO, job.caFile.c_str());
    }
    // Schannel fails the handshake when it cannot reach the revocation servers, as on a closed office network; it
    // still refuses a certificate it finds revoked. Other TLS backends ignore the bit.
    set(CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
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
    set(CURLOPT_DEBUGFUNCTION, &keepReplies);
    set(CURLOPT_DEBUGDATA, static_cast<void*>(&replies));
    set(CURLOPT_VERBOSE, 1L);
    if (code != CURLE_OK) {
        return {code, describe(code, detail, {}), {}};
    }
    code = curl_easy_perform(curl.get());
    if (code == CURLE_ABORTED_BY_CALLBACK) {
        code = CURLE_OPERATION_TIMEDOUT;
        const std::string limit = "Mail not finished within " + std::to_string(job.totalMs) + " ms";
        return {code, describe(code, limit.c_str(), {}), replies.last};
    }
    if (code != CURLE_OK) {
        return {code, describe(code, detail, replies.refusal), replies.last};
    }
    return {CURLE_OK, {}, replies.last};
}
