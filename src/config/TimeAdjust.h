#pragma once
// How the settings' TimeAdjust text is read, by the settings dialog's tick and by the run's clock setting alike.

#include <QStringView>

// True when the TimeAdjust text reads as the number 1.
bool isClockAdjustOn(QStringView timeAdjust);
