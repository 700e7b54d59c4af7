#pragma once
// The rule that turns a terminal or fixed name into one path component that Windows, a file share and Linux all
// accept the same way. Pure text; the upload run names its file with it and the settings dialog refuses a fixed
// name it would change.

#include <QString>
#include <QStringView>

// Separators, drive colons, * ? " < > |, and control characters become "_"; every ".." becomes "__", so no name can
// reach outside the save folder; trailing dots and blanks go (Windows drops them and a share refuses them); a device
// name (CON, PRN, AUX, NUL, COM1-9, LPT1-9 in any case, before any dot) gets "_" after it so it names a file.
QString safeFileName(QStringView name);
