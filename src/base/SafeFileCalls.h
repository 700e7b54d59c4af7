#pragma once
// The low-level file calls behind SafeFile, one implementation per OS (SafeFilePosix.cpp, SafeFileWin.cpp, chosen by
// CMake). Only SafeFile's sources include this; descriptors are the C runtime's int handles on both.

#include "base/SystemError.h"

#include <QString>
#include <QtGlobal>

#include <optional>

namespace SafeFileCalls {

constexpr unsigned OpenRead = 1;
constexpr unsigned OpenWrite = 2;
constexpr unsigned OpenCreate = 4;
constexpr unsigned OpenCreateNew = 8; // fails when the file exists
constexpr unsigned OpenAppend = 16;

// Within what one read or write call takes on every platform.
constexpr qint64 MaxChunk = qint64(1) << 30;

// Whether a failed open says the file is not there, or that the name a new file should take is taken.
bool fileNotFound(const SystemError& error);
bool fileExists(const SystemError& error);

// Opens path with the Open* flags, refusing folders, FIFOs and devices. On Windows a file another program holds is
// tried again for a moment; so are renames and removals.
std::optional<SystemError> openDescriptor(const QString& path, unsigned flags, int& fd);
std::optional<SystemError> syncDescriptor(int fd);
std::optional<SystemError> truncateTo(int fd, qint64 length);
std::optional<SystemError> seekTo(int fd, qint64 position);
std::optional<SystemError> lengthOf(int fd, qint64& length);
// One write or read call of at most MaxChunk bytes: the count done, or -1 with errno set.
qint64 writeChunk(int fd, const char* data, qint64 size);
qint64 readChunk(int fd, char* data, qint64 size);
std::optional<SystemError> closeDescriptor(int fd);
void removeFile(const QString& path);
std::optional<SystemError> renameOver(const QString& from, const QString& to);
// Puts a new or renamed entry of path's folder on disk.
std::optional<SystemError> syncFolderOf(const QString& path);
void copyPermissions(int from, int to);
bool sameFile(int fd, const QString& path);

} // namespace SafeFileCalls
