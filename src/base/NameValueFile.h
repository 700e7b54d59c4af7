#pragma once
// The NAME=value files IT writes for the program (the presets beside it, the policy file of a POSIX system): read
// into names and values, nothing checked. Qt Core only.

#include <QByteArray>
#include <QMap>
#include <QString>

// NAME, in capitals, to value, both trimmed, one a line; a later line wins. UTF-8 (a BOM allowed); UTF-16LE after
// its BOM, FF FE, what Windows PowerShell 5.1 writes; or code page 932 where the bytes are not UTF-8 (what an
// installer's INI writer leaves on Japanese Windows). Blank lines, comments (; or #) and [section] lines are passed
// over; a line without a name is kept whole as a name with an empty value, so that it can be named as unknown.
QMap<QString, QString> readNameValueFile(const QByteArray& bytes);
