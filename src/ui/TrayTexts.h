#pragma once
// The notification area's texts as Windows shows them: it keeps the first 127 UTF-16 units of a tooltip and the
// first 255 of a notice and drops the rest, so what matters goes first and a long path gives way in its middle. Pure.

#include <QString>

inline constexpr qsizetype TrayToolTipLimit = 127;
inline constexpr qsizetype TrayNoticeLimit = 255;

// text within limit UTF-16 units. First a path in it (from a drive letter, "\\" or "/" after a blank to the end of
// its last word with a separator, on its line) gives up its middle for "…", keeping its root and its last folders;
// what is still too long is cut at the end with "…". A surrogate pair is never cut in two.
QString fitTrayText(const QString& text, qsizetype limit);
