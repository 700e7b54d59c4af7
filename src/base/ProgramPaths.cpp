#include "base/ProgramPaths.h"

#include "base/Platform.h"

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
    paths.journalPath = paths.ProgramFolder + sep + QStringLiteral("Cycle.jnl");
    paths.IsVersion6OrLater = systemIsVersion6OrLater();
    paths.historyPath = paths.ProgramFolder + sep + QStringLiteral("History.csv");
    paths.noticesPath = paths.ProgramFolder + sep + QStringLiteral("THIRD-PARTY-NOTICES.txt");
    return paths;
}
