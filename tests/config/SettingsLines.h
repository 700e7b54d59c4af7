#pragma once
// Settings lines for the settings-file tests, and the settings file put where a test's program reads it.

#include "base/Cp932.h"
#include "base/ProgramPaths.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

inline const QByteArray DefaultTail =
    R"("6000","192.168.0.111","6001",0,"",0,0,0,0,0,0,"","",1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,"","","1","")";

inline QByteArray defaultLine(const QString& folder)
{
    return "\"" + Cp932::encode(folder) + "\"," + DefaultTail + "\r\n";
}

// One line of 38 values with the given item replaced (1-based position), for reading-rule cases.
inline QByteArray lineWithItem(int position, const QByteArray& item)
{
    QList<QByteArray> items = defaultLine(QStringLiteral("C:\\Data")).trimmed().split(',');
    items[position - 1] = item;
    return items.join(',') + "\r\n";
}

inline void writeIni(const ProgramPaths& paths, const QByteArray& bytes)
{
    QFile file(paths.IniPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Points the settings file below a regular file, where nothing can be created, even as root.
inline void blockIniPath(const QTemporaryDir& dir, ProgramPaths& paths, const QString& blocker)
{
    QFile file(dir.filePath(blocker));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    paths.IniPath = dir.filePath(blocker + QStringLiteral("/zelbo_udp.ini"));
}
