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
    QString attachmentPath;
    std::string attachmentType;
    std::string disposition;
    long connectMs = 0;
    long totalMs = 0;
};

struct CurlMailOutcome
{
    CURLcode code = CURLE_OK;
    std::string description;
};

// curl_global_init, done once per process whichever thread comes first.
CURLcode curlGlobalInit();
// Reads the attachment and holds the whole SMTP dialogue, closing included, within job.totalMs.
CurlMailOutcome performMailJob(const CurlMailJob& job);
