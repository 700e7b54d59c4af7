#pragma once
// CR LF, the line end of the files the program writes and of the texts its boxes show, on every platform.

#include <QString>

inline const QString CrLf = QStringLiteral("\r\n");
