#pragma once
// The mail's header texts, encoded so that any subject, file name or sender address makes a well-formed header:
// pure functions, text in and bytes out. No libcurl, no clock.

#include <QByteArray>
#include <QString>

namespace MailHeaders {

// "host" (port 25), "host:port", an IPv6 address with or without brackets, or a full smtp:// or smtps:// URL, as the
// URL libcurl is given; any "user:password@" in it is dropped.
QString serverUrl(const QString& mailServer);
// The name the password of a user on a server is stored under: the server's URL with the user in it
// ("smtp://taro%40example.jp@mail.example.jp:587"), so each server and user pair has its own and a glance at the
// system's credential list tells which is which.
QString passwordKey(const QString& mailServer, const QString& user);
// Unstructured header text: unchanged when plain printable ASCII, otherwise RFC 2047 UTF-8 "B" encoded-words.
QByteArray encodeHeaderText(const QString& text);
// The file-name parameter of Content-Disposition: quoted when plain ASCII, RFC 2231 UTF-8 otherwise.
QByteArray fileNameParameter(const QString& fileName);
// The part of a Message-ID after the "@": the sender address's domain, or "localhost" when it has none that a header
// can carry as it is.
QByteArray messageIdDomain(const QString& from);

} // namespace MailHeaders
