#include "config/TimeAdjust.h"

#include "base/LeadingNumber.h"

bool isClockAdjustOn(QStringView timeAdjust)
{
    return leadingNumber(timeAdjust) == 1.0;
}
