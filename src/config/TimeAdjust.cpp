#include "config/TimeAdjust.h"

#include "base/TextNumber.h"

bool isClockAdjustOn(QStringView timeAdjust)
{
    return leadingNumber(timeAdjust) == 1.0;
}
