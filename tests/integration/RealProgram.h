#pragma once
// Starts the real zelbo_udp (a copy in a test's folder) off screen, with the arguments already given to program.
// pauseAt is for zelbo_udp_pausing only: the checkpoint where it stands still to be killed. extra adds to the
// environment (QT_QPA_PLATFORM in it puts the program on a real display).

#include "fakes/TestFiles.h"

#include <QDirIterator>
#include <QMap>
#include <QProcess>
#include <QTest>

inline void startRealProgram(QProcess& program, const QString& exe, const QString& pauseAt = QString(),
                             const QProcessEnvironment& extra = QProcessEnvironment())
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(extra);
    if (pauseAt.isEmpty()) {
        environment.remove(QStringLiteral("ZELBO_TEST_PAUSE_AT"));
    } else {
        environment.insert(QStringLiteral("ZELBO_TEST_PAUSE_AT"), pauseAt);
    }
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.setProgram(exe);
    program.start();
    QVERIFY(program.waitForStarted(10000));
}

// Every file under folder (the lock file apart, which the system keeps open) with its bytes.
inline QMap<QString, QByteArray> filesUnder(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.endsWith(QStringLiteral("zelbo_udp.lock"))) {
            files.insert(QDir(folder).relativeFilePath(path), readTestFile(path));
        }
    }
    return files;
}
