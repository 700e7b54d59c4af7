#pragma once
// The one number-reading rule shared by the terminal's frames and the settings' TimeAdjust flag. Pure text.

#include <QStringView>

// Leading number of a text, read as the terminal's counts and the TimeAdjust flag are read: leading blanks skipped,
// optional sign, digits, optional fraction; reading stops at the first character that cannot continue it. 0 if none.
double leadingNumber(QStringView text);
