#include "base/Platform.h"

#include "base/SystemError.h"

#include <QDir>
#include <QFileInfo>
#include <QOperatingSystemVersion>
#include <QProcess>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string.h>

// Qt's texts are for GetLastError codes; errno values have the C runtime's own.
SystemError SystemError::fromErrno(int number)
{
    return {number, QString::fromWCharArray(_wcserror(number)).trimmed()};
}

std::optional<SystemError> CheckFolder(const QString& folder)
{
    const QString native = QDir::toNativeSeparators(folder);
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(native.utf16()));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        const int code = attributes == INVALID_FILE_ATTRIBUTES ? static_cast<int>(GetLastError()) : ERROR_DIRECTORY;
        return SystemError::fromSystemCode(code);
    }
    return std::nullopt;
}

EditorStart StartSystemTextEditor(const QString& path)
{
    // By full path: a bare name is looked up in the program's folder and the current folder (the save folder)
    // before the system folder. Started detached, as the user may close the editor at any time.
    const UINT size = GetSystemDirectoryW(nullptr, 0);
    std::wstring folder(size, L'\0');
    const UINT length = size == 0 ? 0 : GetSystemDirectoryW(folder.data(), size);
    if (length == 0 || length >= size) {
        return EditorStart::Failed;
    }
    const QString notepad = QString::fromWCharArray(folder.data(), length) + QStringLiteral("\\notepad.exe");
    return QProcess::startDetached(notepad, {QDir::toNativeSeparators(path)}) ? EditorStart::Started
                                                                              : EditorStart::Failed;
}

QStringList SystemVolumeRoots()
{
    QStringList roots;
    for (const QFileInfo& drive : QDir::drives()) {
        roots << drive.absoluteFilePath();
    }
    return roots;
}

bool SystemIsVersion6OrLater()
{
    // The system's own version (Qt asks RtlGetVersion, which no compatibility manifest can lower below 6).
    return QOperatingSystemVersion::current().majorVersion() >= 6;
}
