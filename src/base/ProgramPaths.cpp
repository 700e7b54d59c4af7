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

bool isFileIn(const QString& folder, const QString& name)
{
    return !folder.isEmpty() && QFileInfo(QDir(folder).filePath(name)).isFile();
}

QString withProfile(const QString& folder, const QString& profile)
{
    return profile.isEmpty() ? folder : QDir(folder).filePath(QStringLiteral("profiles/") + profile);
}

} // namespace

DataFolderChoice chooseDataFolder(const InstallFacts& facts)
{
    // A per-machine install that an administrator, SYSTEM or a PC without UAC can write to is still shared by every
    // user of the PC, and its uninstall would leave their files behind.
    if (facts.machineInstall) {
        return {true, false};
    }
    // A share every PC of the office may write would hold one lock, one Back.txt and one history for all of them.
    if (facts.onNetwork) {
        return {true, true};
    }
    return {!facts.writable, false};
}

ProgramPaths::Surroundings ProgramPaths::Surroundings::ofSystem()
{
    return {userDataFolder(), perUserInstallFolder(), userStartupFolder(), isNetworkPath};
}

ProgramPaths ProgramPaths::forExecutable(const QString& executablePath, const QString& profile,
                                         const Surroundings& user)
{
    const QFileInfo exe(executablePath);
    const QString programFolder = exe.absolutePath();
    const QString baseName = exe.completeBaseName();
    const QString iniName = baseName + QStringLiteral(".ini");
    InstallFacts facts;
    facts.machineInstall = isFileIn(programFolder, baseName + QLatin1String(MachineMarkerSuffix));
    facts.onNetwork = !facts.machineInstall && user.isNetwork != nullptr && user.isNetwork(programFolder);
    // Probed only where the kind of install leaves it open: no probe file in Program Files or on a share.
    facts.writable = !facts.machineInstall && !facts.onNetwork && canCreateFilesIn(programFolder);
    const DataFolderChoice choice = chooseDataFolder(facts);

    const QString data = withProfile(choice.userFolder ? user.data : programFolder, profile);
    // A folder that cannot be made shows itself as the settings file that cannot be written, with the system's text.
    QDir().mkpath(data);
    ProgramPaths paths = inDataFolder(data, baseName);
    paths.ProgramFolder = QDir::toNativeSeparators(programFolder);
    paths.presetPath =
        QDir::toNativeSeparators(QDir(programFolder).filePath(baseName + QStringLiteral(".defaults.ini")));
    paths.IsVersion6OrLater = systemIsVersion6OrLater();
    paths.noticesPath =
        QDir::toNativeSeparators(QDir(programFolder).filePath(QStringLiteral("THIRD-PARTY-NOTICES.txt")));
    paths.programFolderOnNetwork = choice.networkNote;

    // Where the user's settings were before this start chose the user's folder: a per-user install of the program,
    // present or uninstalled (its data folder is its program folder, which keeps the settings file), or the program
    // folder itself, where an earlier version kept them.
    QStringList earlier;
    if (facts.machineInstall && !user.perUserInstall.isEmpty()) {
        earlier << withProfile(user.perUserInstall, profile);
        // The shortcut counts only beside the install that made it: one of the user's own may have the same name.
        if (isFileIn(user.perUserInstall, exe.fileName())) {
            paths.perUserInstall = QDir::toNativeSeparators(user.perUserInstall);
            // Windows' QFileInfo looks through a shortcut to its target: the file itself is what counts here.
            const QFileInfo shortcut(QDir(user.startup).filePath(QLatin1String(PerUserStartupShortcut)));
            if (!user.startup.isEmpty() && (shortcut.isShortcut() || shortcut.isFile())) {
                paths.perUserStartup = QDir::toNativeSeparators(shortcut.filePath());
            }
        }
    }
    if (facts.machineInstall || facts.onNetwork) {
        earlier << withProfile(programFolder, profile);
    }
    for (const QString& folder : earlier) {
        if (isFileIn(folder, iniName)) {
            paths.earlierSettingsPath = QDir::toNativeSeparators(QDir(folder).filePath(iniName));
            break;
        }
    }
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
