#pragma once
// Files for the tests, all in a test's own temporary folder: whole files written and read back, and the program's
// paths with its settings and staging files in that folder.

#include "base/Cp932.h"
#include "base/ProgramPaths.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

// Writes bytes as the whole file name in folder and returns its path; empty when that failed.
inline QString writeTestFile(const QDir& folder, const QString& name, const QByteArray& bytes)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        return QString();
    }
    return path;
}

// Lines as the terminal's files and the upload file hold them: cp932, each ended by CR LF.
inline QByteArray cp932Lines(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += Cp932::encode(line) + "\r\n";
    }
    return bytes;
}

// The file's bytes; "<missing>" when it cannot be read.
inline QByteArray readTestFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<missing>");
}

// The program folder (native separators, as the program keeps it), settings file and staging file in folder.
inline ProgramPaths testProgramPaths(const QString& folder)
{
    ProgramPaths paths;
    paths.ProgramFolder = QDir::toNativeSeparators(folder);
    paths.IniPath = QDir(folder).filePath(QStringLiteral("zelbo_udp.ini"));
    paths.BackFilePath = QDir(folder).filePath(QStringLiteral("Back.txt"));
    paths.journalPath = QDir(folder).filePath(QStringLiteral("Cycle.jnl"));
    paths.historyPath = QDir(folder).filePath(QStringLiteral("History.csv"));
    paths.noticesPath = QDir(folder).filePath(QStringLiteral("THIRD-PARTY-NOTICES.txt"));
    return paths;
}
