#pragma once
// The values that stand beside the settings record and are never written to the settings file.

#include <QString>

struct ProgramPaths
{
    QString ProgramFolder;          // folder of the executable, native separators, no trailing separator
    QString IniPath;                // <ProgramFolder>/zelbo_udp.ini
    QString BackFilePath;           // <ProgramFolder>/Back.txt
    QString journalPath;            // <ProgramFolder>/Cycle.jnl: the cycle journal, present while a cycle is unanswered
    bool IsVersion6OrLater = false; // Windows: major version 6 or later; elsewhere: a documents folder exists
    QString historyPath;            // <ProgramFolder>/History.csv: one line per cycle, for people to read
    QString noticesPath;            // <ProgramFolder>/THIRD-PARTY-NOTICES.txt: the licences of the libraries shipped

    // Paths beside the given executable; the documents-folder flag is probed from the platform.
    static ProgramPaths forExecutable(const QString& executablePath);
};
