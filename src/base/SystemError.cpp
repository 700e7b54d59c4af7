#include "base/SystemError.h"

// fromErrno lives with the other OS calls in PlatformPosix.cpp / PlatformWin.cpp: Windows' CRT has its own texts.

SystemError SystemError::fromSystemCode(int code)
{
    return {code, qt_error_string(code)};
}
