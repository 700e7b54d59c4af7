#pragma once
// The extended-length form of a Windows path, which takes Win32 file calls past MAX_PATH (260 characters). A pure
// string function, built and tested on every platform; only the Windows sources of base hand its result to the system.

#include <QString>

// "\\?\C:\dir\file" for a drive path and "\\?\UNC\server\share\file" for a network path, with '/' or '\' in the
// input, "." and ".." resolved (the prefix turns off the system's own clean-up) and native separators. A path that
// is not absolute, or already is a "\\?\" or "\\.\" device path, comes back unchanged.
QString win32LongPath(const QString& absolutePath);
