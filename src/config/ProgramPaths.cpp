#include "config/ProgramPaths.h"

#include "config/FolderHelpers.h"

#include <QDir>
#include <QFileInfo>

ProgramPaths ProgramPaths::forExecutable(const QString& executablePath)
{
    const QFileInfo exe(executablePath);
    ProgramPaths paths;
    paths.ProgramFolder = QDir::toNativeSeparators(exe.absolutePath());
    const QString sep = QDir::separator();
    paths.IniPath = paths.ProgramFolder + sep + exe.completeBaseName() + QStringLiteral(".ini");
    paths.BackFilePath = paths.ProgramFolder + sep + QStringLiteral("Back.txt");
    paths.IsVersion6OrLater = !GetSpecialFolderPath(1, 5).isEmpty();
    return paths;
}
