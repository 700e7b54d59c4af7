#pragma once
// The one error type of every layer where a failure shows both a number and a text: a file, socket or folder call
// that failed, with the system's or Qt's number and text for it. Qt Core only; the two constructors below live with
// the other OS calls (PlatformPosix.cpp, PlatformWin.cpp), as each system has its own texts.

#include <QString>

struct SystemError
{
    int number = 0;      // errno, the system's own code (GetLastError on Windows), or Qt's error code
    QString description; // the system's or Qt's text for it

    // An errno value with the C library's text for it.
    static SystemError fromErrno(int number);
    // The system's own code of a failed call (GetLastError on Windows, errno elsewhere) with the system's text for it,
    // in the user's language on Windows. Never an errno value on Windows: the two number the same faults differently.
    static SystemError fromSystemCode(int code);
};
