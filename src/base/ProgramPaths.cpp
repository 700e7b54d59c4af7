#include "base/ProgramPaths.h"

#include "base/FolderHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QOperatingSystemVersion>

ProgramPaths ProgramPaths::forExecutable(const QString& executablePath)
{
    const QFileInfo exe(executablePath);
    ProgramPaths paths;
    paths.ProgramFolder = QDir::toNativeSeparators(exe.absolutePath());
    const QString sep = QDir::separator();
    paths.IniPath = paths.ProgramFolder + sep + exe.completeBaseName() + QStringLiteral(".ini");
    paths.BackFilePath = paths.ProgramFolder + sep + QStringLiteral("Back.txt");
#ifdef Q_OS_WIN
    // The system's own version (Qt asks RtlGetVersion, which no compatibility manifest can lower below 6).
    paths.IsVersion6OrLater = QOperatingSystemVersion::current().majorVersion() >= 6;
#else
    paths.IsVersion6OrLater = !GetSpecialFolderPath(1, 5).isEmpty();
#endif
    return paths;
}
