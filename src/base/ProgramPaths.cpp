#include "base/ProgramPaths.h"

#include "base/FileNameRule.h"
#include "base/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

// Whether a file can be made in folder; asked by making one, since permissions (ACLs, a read-only share, a
// write-protected medium) do not show in the folder's attributes.
bool canCreateFilesIn(const QString& folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("zelbo_probe_XXXXXX.tmp")));
    return probe.open();
}

} // namespace

ProgramPaths ProgramPaths::forExecutable(const QString& executablePath, const QString& profile)
{
    const QFileInfo exe(executablePath);
    const QString programFolder = exe.absolutePath();
    QString data = canCreateFilesIn(programFolder) ? programFolder : userDataFolder();
    if (!profile.isEmpty()) {
        data = QDir(data).filePath(QStringLiteral("profiles/") + profile);
    }
    // A folder that cannot be made shows itself as the settings file that cannot be written, with the system's text.
    QDir().mkpath(data);
    ProgramPaths paths = inDataFolder(data, exe.completeBaseName());
    paths.ProgramFolder = QDir::toNativeSeparators(programFolder);
    paths.presetPath = QDir::toNativeSeparators(
        QDir(programFolder).filePath(exe.completeBaseName() + QStringLiteral(".defaults.ini")));
    paths.IsVersion6OrLater = systemIsVersion6OrLater();
    paths.noticesPath =
        QDir::toNativeSeparators(QDir(programFolder).filePath(QStringLiteral("THIRD-PARTY-NOTICES.txt")));
    return paths;
}

ProgramPaths ProgramPaths::inDataFolder(const QString& dataFolder, const QString& baseName)
{
    ProgramPaths paths;
    const QString folder = QDir::toNativeSeparators(QDir::cleanPath(dataFolder));
    paths.ProgramFolder = folder;
    paths.dataFolder = folder;
    const QString sep = QDir::separator();
    paths.IniPath = folder + sep + baseName + QStringLiteral(".ini");
    paths.BackFilePath = folder + sep + QStringLiteral("Back.txt");
    paths.journalPath = folder + sep + QStringLiteral("Cycle.jnl");
    paths.historyPath = folder + sep + QStringLiteral("History.csv");
    paths.extraPath = folder + sep + baseName + QStringLiteral(".extra.ini");
    paths.statusPath = folder + sep + QStringLiteral("status.json");
    paths.presetPath = folder + sep + baseName + QStringLiteral(".defaults.ini");
    paths.noticesPath = folder + sep + QStringLiteral("THIRD-PARTY-NOTICES.txt");
    return paths;
}

bool ProgramPaths::isProfileName(const QString& name)
{
    return !name.isEmpty() && safeFileName(name) == name && name != QStringLiteral(".");
}
