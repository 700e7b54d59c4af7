#pragma once
// The system's own text for an error code, asked for here rather than through base/, for the tests to check what the
// program shows against.

#include <QString>

#ifdef Q_OS_WIN
#include <windows.h>

#include <iterator>
#else
#include <cerrno>
#include <cstring>
#endif

// The system's own code for a file in a folder that is not there.
#ifdef Q_OS_WIN
constexpr int MissingFolderError = ERROR_PATH_NOT_FOUND;
#else
constexpr int MissingFolderError = ENOENT;
#endif

inline QString systemErrorText(int code)
{
#ifdef Q_OS_WIN
    wchar_t text[1024];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        DWORD(code), 0, text, DWORD(std::size(text)), nullptr);
    return QString::fromWCharArray(text, int(length)).trimmed();
#else
    return QString::fromLocal8Bit(std::strerror(code));
#endif
}
