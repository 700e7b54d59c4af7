#pragma once
// What the Windows sources of base (PlatformWin.cpp, SafeFileWin.cpp) share; nothing else includes it.

#include <QString>

#include <string>

// path as every Win32 file call here takes it: made absolute and cleaned the way Windows cleans a path
// (GetFullPathNameW: the current directory, "..", trailing dots, device names), then in its extended-length form, so
// that a path past MAX_PATH works as well as a short one.
std::wstring win32FilePath(const QString& path);
