#pragma once
// The values that stand beside the settings record and are never written to the settings file: where the program's
// own files live. They lie in the data folder, chosen by the kind of install: the user's local application data
// folder for the per-machine install and for a program folder on a network, else beside the executable when the user
// may write there (the portable case), else the user's folder again; a profile has a folder of its own under it.

#include <QString>

// How the data folder is chosen. machineInstall: the per-machine installer's marker lies beside the executable;
// onNetwork: the program folder is on another computer; writable: a file can be made in the program folder.
struct InstallFacts
{
    bool machineInstall = false;
    bool onNetwork = false;
    bool writable = false;
};

struct DataFolderChoice
{
    bool userFolder = false;  // the user's own folder rather than the program folder
    bool networkNote = false; // the user's folder because the program folder is on a network: said once
};

DataFolderChoice chooseDataFolder(const InstallFacts& facts);

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

    // What the start found out about the install, for a first start in the data folder to say and to take.
    bool programFolderOnNetwork = false; // the data folder is the user's because the program folder is on a network
    QString perUserInstall;              // beside the per-machine install: the folder of a per-user install, if any
    QString perUserStartup;              // and that install's shortcut in the user's Startup folder, if there
    QString earlierSettingsPath;         // a settings file a first start takes in place of presets and defaults

    // The per-machine installer puts this beside the executable (<base name>.machine).
    static constexpr char MachineMarkerSuffix[] = ".machine";
    // The per-user installer's Startup shortcut, named after the product.
    static constexpr char PerUserStartupShortcut[] = "ZELBO_UDP.lnk";

    // What the choice looks at besides the program folder: the system's, or a test's own.
    struct Surroundings
    {
        QString data;           // userDataFolder()
        QString perUserInstall; // perUserInstallFolder()
        QString startup;        // userStartupFolder()
        // isNetworkPath(); none: every folder is local
        bool (*isNetwork)(const QString& path) = nullptr;
        static Surroundings ofSystem();
    };

    // Paths for the given executable and profile (empty: none); the documents-folder flag is probed from the platform.
    // The data folder (and the profile's folder) is made if need be.
    static ProgramPaths forExecutable(const QString& executablePath, const QString& profile = QString(),
                                      const Surroundings& user = Surroundings::ofSystem());
    // The same files in a given data folder, the presets and the notices beside them.
    static ProgramPaths inDataFolder(const QString& dataFolder, const QString& baseName = QStringLiteral("zelbo_udp"));
    // Whether name can be a profile's folder on every system: a file name the upload file rule keeps as it is.
    static bool isProfileName(const QString& name);
};
