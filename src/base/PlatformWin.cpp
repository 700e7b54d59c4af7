#include "base/Platform.h"

#include "base/SystemError.h"

#include <string.h>

// Qt's texts are for GetLastError codes; errno values have the C runtime's own.
SystemError SystemError::fromErrno(int number)
{
    return {number, QString::fromWCharArray(_wcserror(number)).trimmed()};
}
