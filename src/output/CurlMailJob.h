#pragma once
// One SMTP send through libcurl, run to its end on the calling thread and bounded by its own time limits. No Qt event
// loop and no widgets: MailSender runs it on a worker thread.

#include <QString>

#include <curl/curl.h>

#include <string>
#include <vector>

// Everything the worker needs, copied before it starts, so that it touches nothing the caller owns.
struct CurlMailJob
{
    std::string url;
    std::string from;
    std::string to;
    std::vector<std::string> headers;
    std::string body;
    // Empty: no attachment (the settings dialog's test message).
    QString attachmentPath;
    std::string attachmentType;
    std::string disposition;
    // A user signs in, and then only over TLS: the password never crosses the network in clear.
    std::string user;
    std::string password;
    // Certificates to trust instead of the system's; empty in the program.
    std::string caFile;
    long connectMs = 0;
    long totalMs = 0;
};

struct CurlMailOutcome
{
    CURLcode code = CURLE_OK;
    std::string description;
    // The server's last answer before QUIT: on success, its acceptance of the message.
    std::string reply;
};

// curl_global_init, done once per process whichever thread comes first.
CURLcode curlGlobalInit();
// Reads the attachment and holds the whole SMTP dialogue, closing included, within job.totalMs.
CurlMailOutcome performMailJob(const CurlMailJob& job);
