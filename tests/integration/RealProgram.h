#pragma once
// Starts the real zelbo_udp (a copy in a test's folder) off screen, with no test hook unless pauseAt names one.

#include <QProcess>
#include <QTest>

inline void startRealProgram(QProcess& program, const QString& exe, const QString& pauseAt = QString())
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
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
