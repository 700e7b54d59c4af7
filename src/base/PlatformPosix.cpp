#include "base/Platform.h"

#include "base/SystemError.h"

SystemError SystemError::fromErrno(int number)
{
    return {number, qt_error_string(number)};
}
