#pragma once
// The values that stand beside the settings record and are never written to the settings file: where the program's
// own files live. They lie in the data folder: beside the executable when the user may write there (the portable
// case), else in the user's local application data folder; a profile has a folder of its own under it.

#include <QString>

struct ProgramPaths
{
    QString ProgramFolder;          // folder of the executable, native separators, no trailing separator
    QString dataFolder;             // folder of the files below: ProgramFolder, or the user's own; native separators
    QString IniPath;                // <dataFolder>/zelbo_udp.ini
    QString BackFilePath;           // <dataFolder>/Back.txt
    QString journalPath;            // <dataFolder>/Cycle.jnl: the cycle journal, present while a cycle is unanswered
    bool IsVersion6OrLater = false; // Windows: major version 6 or later; elsewhere: a documents folder exists
    QString historyPath;            // <dataFolder>/History.csv: one line per cycle, for people to read
    QString extraPath;              // <dataFolder>/zelbo_udp.extra.ini: the settings without a place in the line
    QString statusPath;             // <dataFolder>/status.json: what this copy is doing, for IT's scripts
    QString presetPath;             // <ProgramFolder>/zelbo_udp.defaults.ini: IT's presets for a first start
    QString noticesPath;            // <ProgramFolder>/THIRD-PARTY-NOTICES.txt: the licences of the libraries shipped

    // Paths for the given executable and profile (empty: none); the documents-folder flag is probed from the platform.
    // The data folder (and the profile's folder) is made if need be.
    static ProgramPaths forExecutable(const QString& executablePath, const QString& profile = QString());
    // The same files in a given data folder, the presets and the notices beside them.
    static ProgramPaths inDataFolder(const QString& dataFolder, const QString& baseName = QStringLiteral("zelbo_udp"));
    // Whether name can be a profile's folder on every system: a file name the upload file rule keeps as it is.
    static bool isProfileName(const QString& name);
};
